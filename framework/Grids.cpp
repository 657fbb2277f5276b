#include "framework/Grids.h"

#include "framework/Application.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

int TGridCanvas::TextWidth(const QString& Text) const
{
    return QFontMetrics(Font).horizontalAdvance(Text);
}

int TGridCanvas::TextHeight(const QString&) const
{
    return QFontMetrics(Font).height();
}

void TGridCanvas::FillRect(const QRect& Rect)
{
    Painter->fillRect(Rect, Brush.Color);
}

void TGridCanvas::TextRect(const QRect& Rect, int X, int Y, const QString& Text)
{
    FillRect(Rect);
    if (OnText)
        OnText(Rect, X, Y, Text);
    Painter->save();
    Painter->setClipRect(Rect);
    Painter->setFont(Font);
    Painter->setPen(FontColor);
    Painter->drawText(QPoint(X, Y + QFontMetrics(Font).ascent()), Text);
    Painter->restore();
}

TCustomGrid::TCustomGrid(QWidget* Parent) : QAbstractScrollArea(Parent)
{
    FColor = palette().color(QPalette::Base);
    FFixedColor = palette().color(QPalette::Button);
    viewport()->setAutoFillBackground(false);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    FColWidths = QList<int>(FColCount, FDefaultColWidth);
}

void TCustomGrid::SetColCount(int Value)
{
    Value = std::max(Value, 1);
    if (Value == FColCount)
        return;
    FColWidths.resize(Value, FDefaultColWidth);
    FColCount = Value;
    if (FFixedCols >= FColCount)
        FFixedCols = FColCount - 1;
    FLeftCol = std::max(FLeftCol, FFixedCols);
    InvalidateGrid();
}

void TCustomGrid::SetRowCount(int Value)
{
    Value = std::max(Value, 1);
    if (Value == FRowCount)
        return;
    FRowCount = Value;
    if (FFixedRows >= FRowCount)
        FFixedRows = FRowCount - 1;
    FTopRow = std::max(std::min(FTopRow, FRowCount - 1), FFixedRows);
    InvalidateGrid();
}

void TCustomGrid::SetFixedCols(int Value)
{
    if (Value == FFixedCols)
        return;
    FFixedCols = std::clamp(Value, 0, FColCount - 1);
    FLeftCol = FFixedCols;
    InvalidateGrid();
}

void TCustomGrid::SetFixedRows(int Value)
{
    if (Value == FFixedRows)
        return;
    FFixedRows = std::clamp(Value, 0, FRowCount - 1);
    FTopRow = FFixedRows;
    InvalidateGrid();
}

void TCustomGrid::SetDefaultColWidth(int Value)
{
    if (Value == FDefaultColWidth)
        return;
    FDefaultColWidth = Value;
    FColWidths.fill(Value);
    InvalidateGrid();
}

void TCustomGrid::SetDefaultRowHeight(int Value)
{
    if (Value == FDefaultRowHeight)
        return;
    FDefaultRowHeight = Value;
    InvalidateGrid();
}

int TCustomGrid::ColWidths(int ACol) const
{
    return ACol >= 0 && ACol < FColCount ? FColWidths[ACol] : FDefaultColWidth;
}

void TCustomGrid::SetColWidths(int ACol, int Value)
{
    if (ACol < 0 || ACol >= FColCount || FColWidths[ACol] == Value)
        return;
    FColWidths[ACol] = Value;
    InvalidateGrid();
}

QString TCustomGrid::ColWidthList() const
{
    QStringList Widths;
    for (int Width : FColWidths)
        Widths << QString::number(Width);
    return Widths.join(u' ');
}

void TCustomGrid::SetColWidthList(const QString& Widths)
{
    const QStringList Items = Widths.split(u' ', Qt::SkipEmptyParts);
    for (int I = 0; I < Items.size() && I < FColCount; ++I)
        SetColWidths(I, Items[I].toInt());
}

void TCustomGrid::SetGridLineWidth(int Value)
{
    if (Value == FGridLineWidth)
        return;
    FGridLineWidth = std::max(Value, 0);
    InvalidateGrid();
}

void TCustomGrid::SetColor(const QColor& Value)
{
    if (Value == FColor)
        return;
    FColor = Value;
    InvalidateGrid();
}

void TCustomGrid::SetFixedColor(const QColor& Value)
{
    if (Value == FFixedColor)
        return;
    FFixedColor = Value;
    InvalidateGrid();
}

void TCustomGrid::SetDefaultDrawing(bool Value)
{
    if (Value == FDefaultDrawing)
        return;
    FDefaultDrawing = Value;
    InvalidateGrid();
}

void TCustomGrid::SetClientSize(int Width, int Height)
{
    const QMargins Frame = contentsMargins();
    resize(Width + Frame.left() + Frame.right(), Height + Frame.top() + Frame.bottom());
}

QSize TCustomGrid::ClientSize() const
{
    // A hidden scroll area lays out its viewport only when it is shown.
    return isVisible() ? viewport()->size() : maximumViewportSize();
}

QList<TCustomGrid::TSpan> TCustomGrid::VisibleCols() const
{
    QList<TSpan> Spans;
    const int Limit = ClientSize().width();
    int X = 0;
    auto Add = [&](int Col) {
        Spans.append({Col, X, FColWidths[Col]});
        X += FColWidths[Col] + FGridLineWidth;
    };
    for (int Col = 0; Col < FFixedCols && X < Limit; ++Col)
        Add(Col);
    for (int Col = FLeftCol; Col < FColCount && X < Limit; ++Col)
        Add(Col);
    return Spans;
}

QList<TCustomGrid::TSpan> TCustomGrid::VisibleRows() const
{
    QList<TSpan> Spans;
    const int Limit = ClientSize().height();
    const int Step = FDefaultRowHeight + FGridLineWidth;
    int Y = 0;
    for (int Row = 0; Row < FFixedRows && Y < Limit; ++Row, Y += Step)
        Spans.append({Row, Y, FDefaultRowHeight});
    for (int Row = FTopRow; Row < FRowCount && Y < Limit; ++Row, Y += Step)
        Spans.append({Row, Y, FDefaultRowHeight});
    return Spans;
}

QRect TCustomGrid::CellRect(int ACol, int ARow) const
{
    QRect Rect;
    for (const TSpan& Col : VisibleCols())
        if (Col.Index == ACol)
            Rect.setX(Col.Start), Rect.setWidth(Col.Size);
    for (const TSpan& Row : VisibleRows())
        if (Row.Index == ARow)
            Rect.setY(Row.Start), Rect.setHeight(Row.Size);
    return Rect.width() > 0 && Rect.height() > 0 ? Rect : QRect();
}

void TCustomGrid::InvalidateRect(const QRect& Rect)
{
    if (!Rect.isEmpty())
        viewport()->update(Rect);
}

void TCustomGrid::InvalidateCell(int ACol, int ARow)
{
    InvalidateRect(CellRect(ACol, ARow));
}

void TCustomGrid::InvalidateRow(int ARow)
{
    for (const TSpan& Row : VisibleRows())
        if (Row.Index == ARow)
            InvalidateRect(QRect(0, Row.Start, ClientSize().width(), Row.Size));
}

void TCustomGrid::InvalidateCol(int ACol)
{
    for (const TSpan& Col : VisibleCols())
        if (Col.Index == ACol)
            InvalidateRect(QRect(Col.Start, 0, Col.Size, ClientSize().height()));
}

void TCustomGrid::InvalidateGrid()
{
    viewport()->update();
}

void TCustomGrid::paintEvent(QPaintEvent* Event)
{
    QPainter Painter(viewport());
    const QList<TSpan> Rows = VisibleRows();
    const QList<TSpan> Cols = VisibleCols();
    // Grid lines are what the cells leave uncovered within their extent.
    Painter.fillRect(Event->rect(), FColor);
    if (!Rows.isEmpty() && !Cols.isEmpty())
        Painter.fillRect(QRect(0, 0, Cols.last().Start + Cols.last().Size + FGridLineWidth,
                               Rows.last().Start + Rows.last().Size + FGridLineWidth),
                         palette().color(QPalette::Mid));
    FCanvas.Painter = &Painter;
    Guarded([&] {
        for (const TSpan& Row : Rows)
            for (const TSpan& Col : Cols) {
                const QRect Rect(Col.Start, Row.Start, Col.Size, Row.Size);
                if (!Event->region().intersects(Rect))
                    continue;
                const bool Fixed = Row.Index < FFixedRows || Col.Index < FFixedCols;
                FCanvas.Font = font();
                FCanvas.FontColor = palette().color(QPalette::WindowText);
                FCanvas.Brush.Color = Fixed ? FFixedColor : FColor;
                if (FDefaultDrawing)
                    FCanvas.FillRect(Rect);
                DrawCell(Col.Index, Row.Index, Rect, Fixed ? TGridDrawState(gdFixed) : TGridDrawState());
            }
    });
    FCanvas.Painter = nullptr;
}

TDrawGrid::TDrawGrid(QWidget* Parent) : TCustomGrid(Parent) {}

void TDrawGrid::DrawCell(int ACol, int ARow, const QRect& Rect, TGridDrawState State)
{
    emit OnDrawCell(this, ACol, ARow, Rect, State);
}
