// Painting: the cells through DrawCell, the lines between them, the focus rectangle, and the
// parts of the client area asked to paint again.
#include "framework/Grids_p.h"

#include "framework/Application.h"

#include <QPaintEvent>
#include <QPainter>

using namespace GridParts;

TGridCanvas& TCustomGrid::CellCanvas()
{
    return d->FCanvas;
}

TGridCanvas& TCustomGrid::Canvas()
{
    return d->FCanvas;
}

void TCustomGrid::InvalidateRect(const QRect& Rect)
{
    if (Rect.isEmpty())
        return;
    if (d->FOnInvalidateRect)
        d->FOnInvalidateRect(Rect);
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
            InvalidateRect(TMirror::Of(*this)(QRect(Col.Start, 0, Col.Size, ClientSize().height())));
}

void TCustomGrid::InvalidateGrid()
{
    InvalidateRect(QRect(QPoint(0, 0), ClientSize()));
}

// Fills every gap between the cells, with the line colour where the options draw a line and with
// the grid's colour elsewhere, so that no pixel of the lines is painted twice over.
void TCustomGrid::DrawLines(QPainter& Painter, const QList<TSpan>& Cols, const QList<TSpan>& Rows)
{
    if (d->FGridLineWidth <= 0 || Cols.isEmpty() || Rows.isEmpty())
        return;
    const QSize Client = ClientSize();
    const TMirror Mirror = TMirror::Of(*this);
    const auto Fill = [&](const QRect& Rect, const QColor& Color) { Painter.fillRect(Mirror(Rect), Color); };
    const qint64 Right = qint64(Cols.last().Start) + Cols.last().Size + d->FGridLineWidth;
    const qint64 Bottom = qint64(Rows.last().Start) + Rows.last().Size + d->FGridLineWidth;
    const QColor FixedLine = palette().color(QPalette::Dark);
    const QColor Line = palette().color(QPalette::Midlight);
    const qint64 FixedTop = std::min(FixedHeight(), Bottom);
    const qint64 FixedLeft = std::min(FixedWidth(), Right);
    for (const TSpan& Col : Cols) {
        const bool Fixed = Col.Index < d->FFixedCols;
        const qint64 X = qint64(Col.Start) + Col.Size;
        if (d->FOptions & (Fixed ? goFixedVertLine : goVertLine)) {
            Fill(ClientPart(X, 0, d->FGridLineWidth, Bottom, Client), Fixed ? FixedLine : Line);
        } else if (!Fixed && d->FOptions & goFixedVertLine) {
            Fill(ClientPart(X, 0, d->FGridLineWidth, FixedTop, Client), FixedLine);
            Fill(ClientPart(X, FixedTop, d->FGridLineWidth, Bottom - FixedTop, Client), d->FColor);
        } else {
            Fill(ClientPart(X, 0, d->FGridLineWidth, Bottom, Client), d->FColor);
        }
    }
    for (const TSpan& Row : Rows) {
        const bool Fixed = Row.Index < d->FFixedRows;
        const qint64 Y = qint64(Row.Start) + Row.Size;
        if (d->FOptions & (Fixed ? goFixedHorzLine : goHorzLine)) {
            Fill(ClientPart(0, Y, Right, d->FGridLineWidth, Client), Fixed ? FixedLine : Line);
        } else if (!Fixed && d->FOptions & goFixedHorzLine) {
            Fill(ClientPart(0, Y, FixedLeft, d->FGridLineWidth, Client), FixedLine);
            Fill(ClientPart(FixedLeft, Y, Right - FixedLeft, d->FGridLineWidth, Client), d->FColor);
        } else {
            Fill(ClientPart(0, Y, Right, d->FGridLineWidth, Client), d->FColor);
        }
    }
}

// The part of the client area beyond the last column and the last row.
void TCustomGrid::DrawBeyondCells(QPainter& Painter, const QList<TSpan>& Cols, const QList<TSpan>& Rows)
{
    const QSize Client = ClientSize();
    const TMirror Mirror = TMirror::Of(*this);
    const qint64 Right = Cols.isEmpty() ? 0 : qint64(Cols.last().Start) + Cols.last().Size + d->FGridLineWidth;
    const qint64 Bottom = Rows.isEmpty() ? 0 : qint64(Rows.last().Start) + Rows.last().Size + d->FGridLineWidth;
    Painter.fillRect(Mirror(ClientPart(Right, 0, Client.width() - Right, Client.height(), Client)), d->FColor);
    Painter.fillRect(Mirror(ClientPart(0, Bottom, Right, Client.height() - Bottom, Client)), d->FColor);
}

// The focus rectangle around the current cell, or with goRowSelect around the visible part of
// its row; none while the editor stands in the cell.
void TCustomGrid::DrawFocus(QPainter& Painter, const QList<TSpan>& Cols, const QList<TSpan>& Rows)
{
    if (EditorMode())
        return;
    const auto Row = std::find_if(Rows.begin(), Rows.end(), [&](const TSpan& R) { return R.Index == d->FCurrent.Y; });
    if (Row == Rows.end())
        return;
    const bool WholeRow = d->FOptions & goRowSelect;
    QRect Focus;
    for (const TSpan& Col : Cols)
        if (WholeRow ? Col.Index >= d->FFixedCols : Col.Index == d->FCurrent.X)
            Focus |= QRect(Col.Start, Row->Start, Col.Size, Row->Size);
    if (Focus.isEmpty())
        return;
    const bool Highlighted = d->FOptions & (goDrawFocusSelected | goRowSelect);
    Painter.setPen(QPen(palette().color(Highlighted ? QPalette::HighlightedText : QPalette::Text), 1, Qt::DotLine));
    Painter.setBrush(Qt::NoBrush);
    Painter.drawRect(TMirror::Of(*this)(Focus).adjusted(0, 0, -1, -1));
}

void TCustomGrid::paintEvent(QPaintEvent* Event)
{
    TCustomGridPrivate& D = *d;
    QPainter Painter(viewport());
    const QList<TSpan> Rows = VisibleRows();
    const QList<TSpan> Cols = VisibleCols();
    const TMirror Mirror = TMirror::Of(*this);
    // Texts read as the grid runs, also where only the reading is right to left; a painter
    // starts with the application's direction, not the widget's.
    Painter.setLayoutDirection(D.BiDiMode(Mirror.On) == bdLeftToRight ? Qt::LeftToRight : Qt::RightToLeft);
    // Without default drawing the cells are the handler's to fill, on the grid's colour.
    if (!D.FDefaultDrawing)
        Painter.fillRect(Event->rect(), D.FColor);
    DrawBeyondCells(Painter, Cols, Rows);
    DrawLines(Painter, Cols, Rows);
    const TGridRect Sel = Selection();
    const bool Focused = hasFocus();
    // The current cell is part of the selection; with the focus it shows the focus rectangle
    // instead of the highlight, unless the options ask for both.
    const bool FocusSelected = D.FOptions & (goDrawFocusSelected | goRowSelect);
    const QPalette& Colors = palette();
    const QFont& GridFont = font();
    const QColor Highlight = Colors.color(QPalette::Highlight);
    const QColor HighlightedText = Colors.color(QPalette::HighlightedText);
    const QColor Text = Colors.color(QPalette::Text);
    // The loop sets the canvas's fields itself: the accessors are calls into another file.
    TGridCanvasPrivate& Cells = TGridCanvasPrivate::Of(D.FCanvas);
    D.FCanvas.BeginPaint(&Painter);
    GuardedPaint(this, [&] {
        for (const TSpan& Row : Rows)
            for (const TSpan& Col : Cols) {
                const QRect Rect = Mirror(QRect(Col.Start, Row.Start, Col.Size, Row.Size));
                if (!Event->region().intersects(Rect))
                    continue;
                TGridDrawState State;
                const bool Current = Col.Index == D.FCurrent.X && Row.Index == D.FCurrent.Y;
                if (Row.Index < D.FFixedRows || Col.Index < D.FFixedCols)
                    State |= gdFixed;
                else if (Sel.Contains(Col.Index, Row.Index) && (!Current || !Focused || FocusSelected))
                    State |= gdSelected;
                if (Current && Focused)
                    State |= gdFocused;
                // Without default drawing the handler draws every cell, on a canvas that does not
                // depend on the cell's state.
                Cells.FFont = GridFont;
                if (D.FDefaultDrawing) {
                    Cells.FFontColor = State & gdSelected ? HighlightedText : Text;
                    Cells.FBrush.Color = State & gdSelected ? Highlight : State & gdFixed ? D.FFixedColor : D.FColor;
                    D.FCanvas.FillRect(Rect);
                } else {
                    Cells.FFontColor = Text;
                    Cells.FBrush.Color = D.FColor;
                }
                DrawCell(Col.Index, Row.Index, Rect, State);
            }
        if (Focused)
            DrawFocus(Painter, Cols, Rows);
    });
    D.FCanvas.EndPaint();
}
