#include "framework/Grids.h"

#include "framework/Application.h"
#include "framework/StringTable.h"

#include <QCursor>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

using namespace Exceptions;

namespace {

constexpr int SizingMargin = 3; // pixels either side of a column border that start sizing
constexpr int MinColWidth = 4;
// Texts kept between paints beyond those of the last paint: enough for every cell of a large grid.
constexpr int KeptTexts = 1024;
// The size of a cell's rectangle is cut here, far beyond any screen, so that the rectangle's
// edges and the texts placed in it stay within an int.
constexpr int MaxCellSpan = INT_MAX / 4;

int ClampToInt(qint64 Value)
{
    return int(std::clamp<qint64>(Value, INT_MIN, INT_MAX));
}

// A rectangle given in 64 bits, cut to the client area.
QRect ClientPart(qint64 X, qint64 Y, qint64 Width, qint64 Height, const QSize& Client)
{
    const qint64 Left = std::max<qint64>(X, 0);
    const qint64 Top = std::max<qint64>(Y, 0);
    const qint64 Right = std::min<qint64>(X + Width, Client.width());
    const qint64 Bottom = std::min<qint64>(Y + Height, Client.height());
    if (Right <= Left || Bottom <= Top)
        return QRect();
    return QRect(int(Left), int(Top), int(Right - Left), int(Bottom - Top));
}

[[noreturn]] void InvalidOperation(TFrameworkString Message)
{
    throw EInvalidGridOperation(FrameworkString(Message));
}

} // namespace

const TGridCanvas::TFontData& TGridCanvas::FontData() const
{
    if (FFont && FFont->Font == Font)
        return *FFont;
    const QFontMetrics Metrics(Font);
    FFont = TFontData{Font, Metrics.height(), Metrics.ascent()};
    // What was measured in another font has other widths.
    FTexts.clear();
    FLast = nullptr;
    return *FFont;
}

TGridCanvas::TText& TGridCanvas::Known(const QString& Text) const
{
    FontData();
    if (FLast && Text.constData() == FLastText.constData() && Text.size() == FLastText.size())
        return *FLast;
    auto Found = FTexts.find(Text);
    if (Found == FTexts.end()) {
        const QFontMetrics Metrics(Font);
        TText Known;
        Known.Width = Metrics.horizontalAdvance(Text);
        if (!Text.isEmpty()) {
            Known.InkLeft = std::min(0, Metrics.leftBearing(Text.front()));
            Known.InkRight = std::min(0, Metrics.rightBearing(Text.back()));
        }
        Found = FTexts.insert(Text, Known);
    }
    FLastText = Text;
    FLast = &*Found;
    return *Found;
}

int TGridCanvas::TextWidth(const QString& Text) const
{
    // Outside a paint nothing is kept, so that the texts cannot pile up.
    return FPainter ? Known(Text).Width : QFontMetrics(Font).horizontalAdvance(Text);
}

int TGridCanvas::TextHeight(const QString&) const
{
    return FontData().Height;
}

void TGridCanvas::FillRect(const QRect& Rect)
{
    if (Rect == FFilled && Brush.Color == FFilledColor)
        return;
    FPainter->fillRect(Rect, Brush.Color);
    FFilled = Rect;
    FFilledColor = Brush.Color;
}

void TGridCanvas::TextRect(const QRect& Rect, int X, int Y, const QString& Text)
{
    FillRect(Rect);
    if (FOnText)
        FOnText(Rect, X, Y, Text);
    if (Text.isEmpty())
        return;
    FFilled = QRect();
    const TFontData& Data = FontData();
    TText& Known = this->Known(Text);
    if (!(FPainterFont == Font) || !(FPainter->font() == FPainterCopy)) {
        FPainter->setFont(Font);
        FPainterFont = Font;
        FPainterCopy = FPainter->font();
    }
    if (const QPen& Pen = FPainter->pen();
        Pen.style() != Qt::SolidLine || Pen.brush().style() != Qt::SolidPattern || Pen.color() != FontColor)
        FPainter->setPen(FontColor);
    // Clipping costs a save and a restore of the painter: only a text that may reach out of its
    // cell pays for it.
    const bool Inside = X + Known.InkLeft >= Rect.left() && X + Known.Width - Known.InkRight <= Rect.right() + 1 &&
                        Y >= Rect.top() && Y + Data.Height <= Rect.bottom() + 1;
    if (!Inside) {
        FPainter->save();
        FPainter->setClipRect(Rect, Qt::IntersectClip);
    }
    // Laying a text out to keep it costs more than writing it once: only a text met again is kept.
    if (Known.LastPaint == 0) {
        FPainter->drawText(QPoint(X, Y + Data.Ascent), Text);
    } else {
        if (!Known.Repeated) {
            Known.Glyphs.setTextFormat(Qt::PlainText);
            Known.Glyphs.setText(Text);
            Known.Glyphs.prepare(FPainter->transform(), Font);
            Known.Repeated = true;
        }
        FPainter->drawStaticText(QPoint(X, Y), Known.Glyphs);
    }
    Known.LastPaint = FPaint;
    if (!Inside)
        FPainter->restore();
}

QPainter* TGridCanvas::Painter()
{
    // Whoever draws directly may draw over the last fill or change the painter's font.
    ForgetPainterState();
    return FPainter;
}

void TGridCanvas::BeginPaint(QPainter* Painter)
{
    FPainter = Painter;
    // 0 marks a text never written.
    if (++FPaint == 0) {
        FTexts.clear();
        FPaint = 1;
    }
    FLast = nullptr;
    ForgetPainterState();
}

void TGridCanvas::EndPaint()
{
    FPainter = nullptr;
    ForgetPainterState();
    if (FTexts.size() <= KeptTexts)
        return;
    FLast = nullptr;
    for (auto Text = FTexts.begin(); Text != FTexts.end();)
        Text = Text->LastPaint == FPaint ? std::next(Text) : FTexts.erase(Text);
}

void TGridCanvas::ForgetPainterState()
{
    FFilled = QRect();
    FPainterFont = QFont();
    FPainterCopy = QFont();
}

TCustomGrid::TCustomGrid(QWidget* Parent) : QAbstractScrollArea(Parent)
{
    FColor = palette().color(QPalette::Base);
    FFixedColor = palette().color(QPalette::Button);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setMouseTracking(true);
    verticalScrollBar()->setSingleStep(1);
    horizontalScrollBar()->setSingleStep(1);
    UpdateScrollBars();
}

TCustomGrid::~TCustomGrid() = default;

// Counts and fixed counts ------------------------------------------------------------------------

void TCustomGrid::SetColCount(int Value)
{
    Value = std::max(Value, 1);
    if (Value == FColCount)
        return;
    const TGridCoord From = FCurrent;
    if (Value <= FFixedCols)
        FFixedCols = Value - 1;
    const int Old = FColCount;
    FColWidths.erase(FColWidths.lower_bound(Value), FColWidths.end());
    for (int Col = Old; Col < Value && Col < FPendingColWidths.size(); ++Col)
        if (const int Width = std::max(FPendingColWidths[Col], 0); Width != FDefaultColWidth)
            FColWidths[Col] = Width;
    FColCount = Value;
    FCurrent.X = std::clamp(FCurrent.X, FFixedCols, FColCount - 1);
    FAnchor.X = std::clamp(FAnchor.X, FFixedCols, FColCount - 1);
    FLeftCol = std::clamp(FLeftCol, FFixedCols, MaxLeftCol());
    UpdateScrollBars();
    InvalidateGrid();
    CurrentCellMoved(From);
}

void TCustomGrid::SetRowCount(qint64 Value)
{
    Value = std::clamp<qint64>(Value, 1, MaxRowCount);
    if (Value == FRowCount)
        return;
    if (Value <= FFixedRows)
        FFixedRows = int(Value - 1);
    const TGridCoord From = FCurrent;
    const qint64 OldCount = FRowCount;
    FRowCount = Value;
    const int LastRow = int(FRowCount - 1);
    FCurrent.Y = std::clamp(FCurrent.Y, FFixedRows, LastRow);
    FAnchor.Y = std::clamp(FAnchor.Y, FFixedRows, LastRow);
    const int OldTop = FTopRow;
    FTopRow = std::clamp(FTopRow, FFixedRows, MaxTopRow());
    UpdateScrollBars();
    CurrentCellMoved(From);
    // Only the rows that appear or disappear need painting, unless the view moved.
    if (FTopRow != OldTop) {
        InvalidateGrid();
        return;
    }
    const qint64 First = std::min(OldCount, FRowCount);
    for (const TSpan& Row : VisibleRows())
        if (Row.Index >= First - 1 && Row.Index >= FFixedRows) {
            InvalidateRect(QRect(0, Row.Start, ClientSize().width(), ClientSize().height() - Row.Start));
            return;
        }
    const QList<TSpan> Rows = VisibleRows();
    if (!Rows.isEmpty() && Rows.last().Index < First - 1)
        return;
    const qint64 Bottom = Rows.isEmpty() ? 0 : qint64(Rows.last().Start) + Rows.last().Size + FGridLineWidth;
    InvalidateRect(ClientPart(0, Bottom, ClientSize().width(), ClientSize().height() - Bottom, ClientSize()));
}

void TCustomGrid::SetFixedCols(int Value)
{
    if (Value == FFixedCols)
        return;
    if (Value < 0 || Value >= FColCount)
        InvalidOperation(SFixedColTooBig);
    const TGridCoord From = FCurrent;
    FFixedCols = Value;
    FCurrent.X = std::max(FCurrent.X, FFixedCols);
    FAnchor.X = std::max(FAnchor.X, FFixedCols);
    FLeftCol = std::clamp(FLeftCol, FFixedCols, MaxLeftCol());
    UpdateScrollBars();
    InvalidateGrid();
    CurrentCellMoved(From);
}

void TCustomGrid::SetFixedRows(int Value)
{
    if (Value == FFixedRows)
        return;
    if (Value < 0 || Value >= FRowCount)
        InvalidOperation(SFixedRowTooBig);
    const TGridCoord From = FCurrent;
    FFixedRows = Value;
    FCurrent.Y = std::max(FCurrent.Y, FFixedRows);
    FAnchor.Y = std::max(FAnchor.Y, FFixedRows);
    FTopRow = std::clamp(FTopRow, FFixedRows, MaxTopRow());
    UpdateScrollBars();
    InvalidateGrid();
    CurrentCellMoved(From);
}

// Sizes and looks ---------------------------------------------------------------------------------

void TCustomGrid::SetDefaultColWidth(int Value)
{
    Value = std::max(Value, 0);
    if (Value == FDefaultColWidth)
        return;
    FDefaultColWidth = Value;
    FColWidths.clear();
    UpdateScrollBars();
    InvalidateGrid();
}

void TCustomGrid::SetDefaultRowHeight(int Value)
{
    if (Value == FDefaultRowHeight)
        return;
    FDefaultRowHeight = std::max(Value, 1);
    FTopRow = std::clamp(FTopRow, FFixedRows, MaxTopRow());
    UpdateScrollBars();
    PlaceEditor();
    InvalidateGrid();
}

int TCustomGrid::ColWidths(int ACol) const
{
    const auto Width = FColWidths.find(ACol);
    return Width != FColWidths.end() ? Width->second : FDefaultColWidth;
}

void TCustomGrid::SetColWidths(int ACol, int Value)
{
    if (ACol < 0 || ACol >= FColCount)
        InvalidOperation(SIndexOutOfRange);
    Value = std::max(Value, 0);
    if (ColWidths(ACol) == Value)
        return;
    if (Value == FDefaultColWidth)
        FColWidths.erase(ACol);
    else
        FColWidths[ACol] = Value;
    UpdateScrollBars();
    PlaceEditor();
    InvalidateGrid();
}

QString TCustomGrid::ColWidthList() const
{
    // Up to the last column with a width of its own: the columns after it have the default.
    QStringList Widths;
    const int Count = FColWidths.empty() ? 0 : FColWidths.rbegin()->first + 1;
    for (int Col = 0; Col < Count; ++Col)
        Widths << QString::number(ColWidths(Col));
    return Widths.join(u' ');
}

void TCustomGrid::SetColWidthList(const QString& Widths)
{
    const QStringList Items = Widths.split(u' ', Qt::SkipEmptyParts);
    FColWidthsStreamed = true;
    FPendingColWidths.clear();
    for (const QString& Item : Items)
        FPendingColWidths.append(Item.toInt());
    for (int I = 0; I < FPendingColWidths.size() && I < FColCount; ++I)
        SetColWidths(I, FPendingColWidths[I]);
}

void TCustomGrid::SetGridLineWidth(int Value)
{
    if (Value == FGridLineWidth)
        return;
    FGridLineWidth = std::max(Value, 0);
    UpdateScrollBars();
    InvalidateGrid();
}

void TCustomGrid::SetColor(const QColor& Value)
{
    FColorSet = true;
    if (Value == FColor)
        return;
    FColor = Value;
    InvalidateGrid();
}

void TCustomGrid::SetFixedColor(const QColor& Value)
{
    FFixedColorSet = true;
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

void TCustomGrid::SetOptions(TGridOptions Value)
{
    if (Value == FOptions)
        return;
    FOptions = Value;
    if (!(FOptions & goRangeSelect))
        FAnchor = FCurrent;
    if ((FOptions & goAlwaysShowEditor) && (FOptions & goEditing))
        ShowEditor();
    else if (!(FOptions & goEditing))
        HideEditor();
    InvalidateGrid();
}

TCustomGrid::TScrollStyle TCustomGrid::ScrollBars() const
{
    const bool Vertical = verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOff;
    const bool Horizontal = horizontalScrollBarPolicy() != Qt::ScrollBarAlwaysOff;
    return Vertical ? (Horizontal ? ssBoth : ssVertical) : (Horizontal ? ssHorizontal : ssNone);
}

void TCustomGrid::SetScrollBars(TScrollStyle Value)
{
    // A bar that stays on keeps its policy: always shown stays always shown.
    const auto Policy = [](bool On, Qt::ScrollBarPolicy Now) {
        return !On ? Qt::ScrollBarAlwaysOff : Now == Qt::ScrollBarAlwaysOff ? Qt::ScrollBarAsNeeded : Now;
    };
    setVerticalScrollBarPolicy(Policy(Value == ssVertical || Value == ssBoth, verticalScrollBarPolicy()));
    setHorizontalScrollBarPolicy(Policy(Value == ssHorizontal || Value == ssBoth, horizontalScrollBarPolicy()));
    UpdateScrollBars();
}

// Geometry ----------------------------------------------------------------------------------------

QSize TCustomGrid::ClientSize() const
{
    // A hidden scroll area lays out its viewport only when it is shown.
    return isVisible() ? viewport()->size() : maximumViewportSize();
}

void TCustomGrid::SetClientSize(int Width, int Height)
{
    const QMargins Frame = contentsMargins();
    resize(Width + Frame.left() + Frame.right(), Height + Frame.top() + Frame.bottom());
}

// At most 2^31 columns of at most 2^32 pixels each: the sum fits in 64 bits.
qint64 TCustomGrid::FixedWidth() const
{
    qint64 Width = qint64(FFixedCols) * (qint64(FDefaultColWidth) + FGridLineWidth);
    for (auto Own = FColWidths.begin(); Own != FColWidths.end() && Own->first < FFixedCols; ++Own)
        Width += qint64(Own->second) - FDefaultColWidth;
    return Width;
}

qint64 TCustomGrid::FixedHeight() const
{
    return FFixedRows * RowExtent();
}

int TCustomGrid::VisibleRowCount() const
{
    const qint64 Room = ClientSize().height() - FixedHeight();
    const qint64 Fit = Room > 0 ? (Room + FGridLineWidth) / RowExtent() : 0;
    return int(std::min(Fit, FRowCount - FTopRow));
}

// Columns of no width between lines of no width take no room; a view counts no more of them
// than it has pixels.
int TCustomGrid::VisibleColCount() const
{
    qint64 Room = ClientSize().width() - FixedWidth() + FGridLineWidth;
    const int Limit = std::max(ClientSize().width(), 0) + 1;
    int Count = 0;
    for (int Col = FLeftCol; Col < FColCount && Count < Limit && Room >= ColExtent(Col); ++Col, ++Count)
        Room -= ColExtent(Col);
    return Count;
}

int TCustomGrid::MaxTopRow() const
{
    const qint64 Room = ClientSize().height() - FixedHeight();
    const qint64 Fit = std::max<qint64>(1, Room > 0 ? (Room + FGridLineWidth) / RowExtent() : 1);
    return int(std::max<qint64>(FFixedRows, FRowCount - Fit));
}

int TCustomGrid::LeftColShowing(int ACol) const
{
    qint64 Room = ClientSize().width() - FixedWidth() + FGridLineWidth - ColExtent(ACol);
    const int Limit = std::max(ClientSize().width(), 0) + 1;
    int Col = ACol;
    while (Col - 1 >= FFixedCols && ACol - Col < Limit && Room >= ColExtent(Col - 1)) {
        --Col;
        Room -= ColExtent(Col);
    }
    return std::max(FFixedCols, Col);
}

int TCustomGrid::MaxLeftCol() const
{
    return LeftColShowing(FColCount - 1);
}

QList<TCustomGrid::TSpan> TCustomGrid::VisibleCols() const
{
    QList<TSpan> Spans;
    const int Limit = ClientSize().width();
    qint64 X = 0;
    // Columns that take no room would otherwise all be listed.
    auto Room = [&] { return X < Limit && Spans.size() <= Limit; };
    auto Add = [&](int Col) {
        Spans.append({Col, int(X), std::min(ColWidths(Col), MaxCellSpan)});
        X += ColExtent(Col);
    };
    for (int Col = 0; Col < FFixedCols && Room(); ++Col)
        Add(Col);
    for (int Col = FLeftCol; Col < FColCount && Room(); ++Col)
        Add(Col);
    return Spans;
}

QList<TCustomGrid::TSpan> TCustomGrid::VisibleRows() const
{
    QList<TSpan> Spans;
    const int Limit = ClientSize().height();
    const qint64 Step = RowExtent();
    const int Height = std::min(FDefaultRowHeight, MaxCellSpan);
    qint64 Y = 0;
    for (int Row = 0; Row < FFixedRows && Y < Limit; ++Row, Y += Step)
        Spans.append({Row, int(Y), Height});
    // The last row may be row INT_MAX, so the count runs in 64 bits.
    for (qint64 Row = FTopRow; Row < FRowCount && Y < Limit; ++Row, Y += Step)
        Spans.append({int(Row), int(Y), Height});
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

TGridCoord TCustomGrid::MouseCoord(int X, int Y) const
{
    TGridCoord Cell{-1, -1};
    for (const TSpan& Col : VisibleCols())
        if (X >= Col.Start && X < Col.Start + Col.Size)
            Cell.X = Col.Index;
    for (const TSpan& Row : VisibleRows())
        if (Y >= Row.Start && Y < Row.Start + Row.Size)
            Cell.Y = Row.Index;
    if (Cell.X < 0 || Cell.Y < 0)
        return {-1, -1};
    return Cell;
}

// Repainting --------------------------------------------------------------------------------------

void TCustomGrid::InvalidateRect(const QRect& Rect)
{
    if (Rect.isEmpty())
        return;
    if (FOnInvalidateRect)
        FOnInvalidateRect(Rect);
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
    InvalidateRect(QRect(QPoint(0, 0), ClientSize()));
}

void TCustomGrid::InvalidateSelection()
{
    const TGridRect Sel = Selection();
    for (const TSpan& Row : VisibleRows())
        if (Row.Index >= Sel.Top && Row.Index <= Sel.Bottom) {
            if (FOptions & goRowSelect) {
                InvalidateRow(Row.Index);
                continue;
            }
            for (const TSpan& Col : VisibleCols())
                if (Col.Index >= Sel.Left && Col.Index <= Sel.Right)
                    InvalidateRect(QRect(Col.Start, Row.Start, Col.Size, Row.Size));
        }
}

// The current cell --------------------------------------------------------------------------------

TGridRect TCustomGrid::Selection() const
{
    TGridRect Sel{std::min(FCurrent.X, FAnchor.X), std::min(FCurrent.Y, FAnchor.Y), std::max(FCurrent.X, FAnchor.X),
                  std::max(FCurrent.Y, FAnchor.Y)};
    if (FOptions & goRowSelect) {
        Sel.Left = FFixedCols;
        Sel.Right = FColCount - 1;
    }
    return Sel;
}

bool TCustomGrid::SelectCell(int, int)
{
    return true;
}

void TCustomGrid::SetCol(int Value)
{
    FocusCell(Value, FCurrent.Y);
}

void TCustomGrid::SetRow(int Value)
{
    FocusCell(FCurrent.X, Value);
}

void TCustomGrid::FocusCell(int ACol, int ARow, bool MoveAnchor)
{
    if (ACol < FFixedCols || ACol >= FColCount || ARow < FFixedRows || ARow >= FRowCount)
        InvalidOperation(SIndexOutOfRange);
    MoveCurrent(ACol, ARow, MoveAnchor);
}

void TCustomGrid::MoveCurrent(int ACol, int ARow, bool MoveAnchor)
{
    if (ACol == FCurrent.X && ARow == FCurrent.Y && (!MoveAnchor || FAnchor == FCurrent))
        return;
    if (!SelectCell(ACol, ARow))
        return;
    // A handler of SelectCell may have shrunk the grid under the cell.
    if (ACol >= FColCount || ARow >= FRowCount)
        return;
    HideEditor();
    InvalidateSelection();
    const TGridCoord From = FCurrent;
    FCurrent = {ACol, ARow};
    if (MoveAnchor || !(FOptions & goRangeSelect))
        FAnchor = FCurrent;
    ScrollToCurrent();
    InvalidateSelection();
    if (FOptions & goAlwaysShowEditor)
        ShowEditor();
    CurrentCellMoved(From);
}

void TCustomGrid::CurrentCellMoved(const TGridCoord& From)
{
    if (!(FCurrent == From))
        emit currentCellChanged(FCurrent.X, FCurrent.Y);
}

void TCustomGrid::ScrollToCurrent()
{
    if (FCurrent.Y < FTopRow)
        SetTopRow(FCurrent.Y);
    else if (const int Visible = std::max(1, VisibleRowCount()); FCurrent.Y >= qint64(FTopRow) + Visible)
        SetTopRow(FCurrent.Y - Visible + 1);
    if (FCurrent.X < FLeftCol)
        SetLeftCol(FCurrent.X);
    else if (FCurrent.X >= qint64(FLeftCol) + std::max(1, VisibleColCount()))
        SetLeftCol(LeftColShowing(FCurrent.X));
}

void TCustomGrid::SetTopRow(int Value)
{
    Value = std::clamp(Value, FFixedRows, MaxTopRow());
    if (Value == FTopRow)
        return;
    FTopRow = Value;
    UpdateScrollBars();
    PlaceEditor();
    InvalidateGrid();
}

void TCustomGrid::SetLeftCol(int Value)
{
    Value = std::clamp(Value, FFixedCols, MaxLeftCol());
    if (Value == FLeftCol)
        return;
    FLeftCol = Value;
    UpdateScrollBars();
    PlaceEditor();
    InvalidateGrid();
}

void TCustomGrid::UpdateScrollBars()
{
    // The bars count rows and columns, not pixels, so no count of rows can overflow them.
    FSyncingScrollBars = true;
    QScrollBar* V = verticalScrollBar();
    V->setRange(0, MaxTopRow() - FFixedRows);
    V->setPageStep(std::max(1, VisibleRowCount()));
    V->setValue(FTopRow - FFixedRows);
    QScrollBar* H = horizontalScrollBar();
    H->setRange(0, MaxLeftCol() - FFixedCols);
    H->setPageStep(std::max(1, VisibleColCount()));
    H->setValue(FLeftCol - FFixedCols);
    FSyncingScrollBars = false;
}

void TCustomGrid::scrollContentsBy(int, int)
{
    if (FSyncingScrollBars)
        return;
    SetTopRow(verticalScrollBar()->value() + FFixedRows);
    SetLeftCol(horizontalScrollBar()->value() + FFixedCols);
}

void TCustomGrid::resizeEvent(QResizeEvent* Event)
{
    QAbstractScrollArea::resizeEvent(Event);
    FTopRow = std::clamp(FTopRow, FFixedRows, MaxTopRow());
    FLeftCol = std::clamp(FLeftCol, FFixedCols, MaxLeftCol());
    UpdateScrollBars();
    PlaceEditor();
}

// The in-place editor -----------------------------------------------------------------------------

QString TCustomGrid::GetEditText(int, int)
{
    return QString();
}

void TCustomGrid::SetEditText(int, int, const QString&) {}

void TCustomGrid::ShowEditor()
{
    if (FEditor || !(FOptions & goEditing) || FCurrent.X < FFixedCols || FCurrent.Y < FFixedRows)
        return;
    FEditor = new QLineEdit(viewport());
    FEditor->setFrame(false);
    FEditor->setText(GetEditText(FCurrent.X, FCurrent.Y));
    PlaceEditor();
    FEditor->show();
    FEditor->setFocus();
    FEditor->selectAll();
    connect(FEditor, &QLineEdit::textEdited, this,
            [this](const QString& Text) { Guarded([&] { SetEditText(FCurrent.X, FCurrent.Y, Text); }); });
}

void TCustomGrid::HideEditor()
{
    if (!FEditor)
        return;
    QLineEdit* Editor = FEditor;
    FEditor = nullptr;
    const bool HadFocus = Editor->hasFocus();
    Editor->hide();
    Editor->deleteLater();
    if (HadFocus)
        setFocus();
}

void TCustomGrid::PlaceEditor()
{
    if (!FEditor)
        return;
    const QRect Rect = CellRect(FCurrent.X, FCurrent.Y);
    FEditor->setVisible(!Rect.isEmpty());
    FEditor->setGeometry(Rect);
}

// Keys and mouse ----------------------------------------------------------------------------------

void TCustomGrid::KeyPress(QChar& Key)
{
    if (OnKeyPress)
        OnKeyPress(this, Key);
    if (!(FOptions & goAlwaysShowEditor) && Key == u'\r') {
        if (EditorMode())
            HideEditor();
        else
            ShowEditor();
        Key = QChar(0);
    }
}

void TCustomGrid::DblClick()
{
    if (OnDblClick)
        OnDblClick(this);
}

void TCustomGrid::MoveByKey(QKeyEvent* Event)
{
    const bool Extend = (Event->modifiers() & Qt::ShiftModifier) && (FOptions & goRangeSelect);
    const bool Control = Event->modifiers() & Qt::ControlModifier;
    // In 64 bits: a move from the last row or column goes past INT_MAX before it is clamped.
    qint64 ACol = FCurrent.X;
    qint64 ARow = FCurrent.Y;
    const int Page = std::max(1, VisibleRowCount());
    switch (Event->key()) {
    case Qt::Key_Up: --ARow; break;
    case Qt::Key_Down: ++ARow; break;
    case Qt::Key_Left: --ACol; break;
    case Qt::Key_Right: ++ACol; break;
    case Qt::Key_PageUp: ARow -= Page; SetTopRow(FTopRow - Page); break;
    case Qt::Key_PageDown: ARow += Page; SetTopRow(ClampToInt(qint64(FTopRow) + Page)); break;
    case Qt::Key_Home: Control ? void(ARow = FFixedRows) : void(ACol = FFixedCols); break;
    case Qt::Key_End: Control ? void(ARow = FRowCount - 1) : void(ACol = FColCount - 1); break;
    case Qt::Key_Tab:
        if (ACol + 1 < FColCount) ++ACol;
        else if (ARow + 1 < FRowCount) { ACol = FFixedCols; ++ARow; }
        break;
    case Qt::Key_Backtab:
        if (ACol - 1 >= FFixedCols) --ACol;
        else if (ARow - 1 >= FFixedRows) { ACol = FColCount - 1; --ARow; }
        break;
    default: return;
    }
    ACol = std::clamp<qint64>(ACol, FFixedCols, FColCount - 1);
    ARow = std::clamp<qint64>(ARow, FFixedRows, FRowCount - 1);
    MoveCurrent(int(ACol), int(ARow), !Extend);
}

void TCustomGrid::keyPressEvent(QKeyEvent* Event)
{
    // Keys that a child control passes on are not the grid's, except those of its own editor.
    if (!hasFocus() && !(FEditor && FEditor->hasFocus())) {
        Event->ignore();
        return;
    }
    Guarded([&] {
        switch (Event->key()) {
        case Qt::Key_Up: case Qt::Key_Down: case Qt::Key_Left: case Qt::Key_Right:
        case Qt::Key_PageUp: case Qt::Key_PageDown: case Qt::Key_Home: case Qt::Key_End:
            MoveByKey(Event);
            return;
        case Qt::Key_Tab: case Qt::Key_Backtab:
            if (FOptions & goTabs) {
                MoveByKey(Event);
                return;
            }
            break;
        case Qt::Key_F2:
            ShowEditor();
            return;
        case Qt::Key_Escape:
            if (EditorMode()) {
                HideEditor();
                return;
            }
            break;
        default:
            break;
        }
        const QString Text = Event->text();
        if (Text.size() == 1 && (Text[0].isPrint() || Text[0] == u'\r')) {
            QChar Key = Text[0];
            KeyPress(Key);
            return;
        }
        Event->ignore();
    });
}

int TCustomGrid::SizingBorder(int X, int Y) const
{
    if (!(FOptions & goColSizing) || Y >= FixedHeight())
        return -1;
    for (const TSpan& Col : VisibleCols()) {
        const qint64 Border = qint64(Col.Start) + Col.Size;
        if (X >= Border - SizingMargin && X <= Border + FGridLineWidth + SizingMargin)
            return Col.Index;
    }
    return -1;
}

void TCustomGrid::mousePressEvent(QMouseEvent* Event)
{
    Guarded([&] {
        if (!hasFocus())
            setFocus();
        if (Event->button() != Qt::LeftButton)
            return;
        const QPoint At = Event->position().toPoint();
        FSizingCol = SizingBorder(At.x(), At.y());
        if (FSizingCol >= 0) {
            FSizingStartX = At.x();
            FSizingStartWidth = ColWidths(FSizingCol);
            return;
        }
        const TGridCoord Cell = MouseCoord(At.x(), At.y());
        if (Cell.X >= FFixedCols && Cell.Y >= FFixedRows)
            MoveCurrent(Cell.X, Cell.Y, !(Event->modifiers() & Qt::ShiftModifier));
    });
}

void TCustomGrid::mouseMoveEvent(QMouseEvent* Event)
{
    Guarded([&] {
        const QPoint At = Event->position().toPoint();
        if (FSizingCol >= 0) {
            SetColWidths(FSizingCol,
                         ClampToInt(std::max<qint64>(MinColWidth, qint64(FSizingStartWidth) + At.x() - FSizingStartX)));
            return;
        }
        viewport()->setCursor(SizingBorder(At.x(), At.y()) >= 0 ? Qt::SplitHCursor : Qt::ArrowCursor);
        if (Event->buttons() & Qt::LeftButton && FOptions & goRangeSelect) {
            const TGridCoord Cell = MouseCoord(At.x(), At.y());
            if (Cell.X >= FFixedCols && Cell.Y >= FFixedRows)
                MoveCurrent(Cell.X, Cell.Y, false);
        }
    });
}

void TCustomGrid::mouseReleaseEvent(QMouseEvent*)
{
    FSizingCol = -1;
}

void TCustomGrid::mouseDoubleClickEvent(QMouseEvent*)
{
    Guarded([&] { DblClick(); });
}

// The focus changes how the current cell is drawn, and with goRowSelect the frame of its row.
void TCustomGrid::focusInEvent(QFocusEvent* Event)
{
    QAbstractScrollArea::focusInEvent(Event);
    InvalidateFocus();
}

void TCustomGrid::focusOutEvent(QFocusEvent* Event)
{
    QAbstractScrollArea::focusOutEvent(Event);
    InvalidateFocus();
}

void TCustomGrid::InvalidateFocus()
{
    if (FOptions & goRowSelect)
        InvalidateRow(FCurrent.Y);
    else
        InvalidateCell(FCurrent.X, FCurrent.Y);
}

// Qt moves the focus on Tab before the key reaches keyPressEvent; with goTabs the key is the grid's.
bool TCustomGrid::focusNextPrevChild(bool Next)
{
    if (FOptions & goTabs)
        return false;
    return QAbstractScrollArea::focusNextPrevChild(Next);
}

void TCustomGrid::changeEvent(QEvent* Event)
{
    QAbstractScrollArea::changeEvent(Event);
    if (Event->type() != QEvent::PaletteChange && Event->type() != QEvent::StyleChange)
        return;
    if (!FColorSet)
        FColor = palette().color(QPalette::Base);
    if (!FFixedColorSet)
        FFixedColor = palette().color(QPalette::Button);
    InvalidateGrid();
}

void TCustomGrid::Loaded()
{
    FLoading = false;
}

// Painting ----------------------------------------------------------------------------------------

// Fills every gap between the cells, with the line colour where the options draw a line and with
// the grid's colour elsewhere, so that no pixel of the lines is painted twice over.
void TCustomGrid::DrawLines(QPainter& Painter, const QList<TSpan>& Cols, const QList<TSpan>& Rows)
{
    if (FGridLineWidth <= 0 || Cols.isEmpty() || Rows.isEmpty())
        return;
    const QSize Client = ClientSize();
    const qint64 Right = qint64(Cols.last().Start) + Cols.last().Size + FGridLineWidth;
    const qint64 Bottom = qint64(Rows.last().Start) + Rows.last().Size + FGridLineWidth;
    const QColor FixedLine = palette().color(QPalette::Dark);
    const QColor Line = palette().color(QPalette::Midlight);
    const qint64 FixedTop = std::min(FixedHeight(), Bottom);
    const qint64 FixedLeft = std::min(FixedWidth(), Right);
    for (const TSpan& Col : Cols) {
        const bool Fixed = Col.Index < FFixedCols;
        const qint64 X = qint64(Col.Start) + Col.Size;
        if (FOptions & (Fixed ? goFixedVertLine : goVertLine)) {
            Painter.fillRect(ClientPart(X, 0, FGridLineWidth, Bottom, Client), Fixed ? FixedLine : Line);
        } else if (!Fixed && FOptions & goFixedVertLine) {
            Painter.fillRect(ClientPart(X, 0, FGridLineWidth, FixedTop, Client), FixedLine);
            Painter.fillRect(ClientPart(X, FixedTop, FGridLineWidth, Bottom - FixedTop, Client), FColor);
        } else {
            Painter.fillRect(ClientPart(X, 0, FGridLineWidth, Bottom, Client), FColor);
        }
    }
    for (const TSpan& Row : Rows) {
        const bool Fixed = Row.Index < FFixedRows;
        const qint64 Y = qint64(Row.Start) + Row.Size;
        if (FOptions & (Fixed ? goFixedHorzLine : goHorzLine)) {
            Painter.fillRect(ClientPart(0, Y, Right, FGridLineWidth, Client), Fixed ? FixedLine : Line);
        } else if (!Fixed && FOptions & goFixedHorzLine) {
            Painter.fillRect(ClientPart(0, Y, FixedLeft, FGridLineWidth, Client), FixedLine);
            Painter.fillRect(ClientPart(FixedLeft, Y, Right - FixedLeft, FGridLineWidth, Client), FColor);
        } else {
            Painter.fillRect(ClientPart(0, Y, Right, FGridLineWidth, Client), FColor);
        }
    }
}

// The part of the client area beyond the last column and the last row.
void TCustomGrid::DrawBeyondCells(QPainter& Painter, const QList<TSpan>& Cols, const QList<TSpan>& Rows)
{
    const QSize Client = ClientSize();
    const qint64 Right = Cols.isEmpty() ? 0 : qint64(Cols.last().Start) + Cols.last().Size + FGridLineWidth;
    const qint64 Bottom = Rows.isEmpty() ? 0 : qint64(Rows.last().Start) + Rows.last().Size + FGridLineWidth;
    Painter.fillRect(ClientPart(Right, 0, Client.width() - Right, Client.height(), Client), FColor);
    Painter.fillRect(ClientPart(0, Bottom, Right, Client.height() - Bottom, Client), FColor);
}

// The focus rectangle around the current cell, or with goRowSelect around the visible part of
// its row; none while the editor stands in the cell.
void TCustomGrid::DrawFocus(QPainter& Painter, const QList<TSpan>& Cols, const QList<TSpan>& Rows)
{
    if (EditorMode())
        return;
    const auto Row = std::find_if(Rows.begin(), Rows.end(), [&](const TSpan& R) { return R.Index == FCurrent.Y; });
    if (Row == Rows.end())
        return;
    const bool WholeRow = FOptions & goRowSelect;
    QRect Focus;
    for (const TSpan& Col : Cols)
        if (WholeRow ? Col.Index >= FFixedCols : Col.Index == FCurrent.X)
            Focus |= QRect(Col.Start, Row->Start, Col.Size, Row->Size);
    if (Focus.isEmpty())
        return;
    const bool Highlighted = FOptions & (goDrawFocusSelected | goRowSelect);
    Painter.setPen(QPen(palette().color(Highlighted ? QPalette::HighlightedText : QPalette::Text), 1, Qt::DotLine));
    Painter.setBrush(Qt::NoBrush);
    Painter.drawRect(Focus.adjusted(0, 0, -1, -1));
}

void TCustomGrid::paintEvent(QPaintEvent* Event)
{
    QPainter Painter(viewport());
    const QList<TSpan> Rows = VisibleRows();
    const QList<TSpan> Cols = VisibleCols();
    // Without default drawing the cells are the handler's to fill, on the grid's colour.
    if (!FDefaultDrawing)
        Painter.fillRect(Event->rect(), FColor);
    DrawBeyondCells(Painter, Cols, Rows);
    DrawLines(Painter, Cols, Rows);
    const TGridRect Sel = Selection();
    const bool Focused = hasFocus();
    // The current cell is part of the selection; with the focus it shows the focus rectangle
    // instead of the highlight, unless the options ask for both.
    const bool FocusSelected = FOptions & (goDrawFocusSelected | goRowSelect);
    const QPalette& Colors = palette();
    const QFont& GridFont = font();
    const QColor Highlight = Colors.color(QPalette::Highlight);
    const QColor HighlightedText = Colors.color(QPalette::HighlightedText);
    const QColor Text = Colors.color(QPalette::Text);
    FCanvas.BeginPaint(&Painter);
    GuardedPaint(this, [&] {
        for (const TSpan& Row : Rows)
            for (const TSpan& Col : Cols) {
                const QRect Rect(Col.Start, Row.Start, Col.Size, Row.Size);
                if (!Event->region().intersects(Rect))
                    continue;
                TGridDrawState State;
                const bool Current = Col.Index == FCurrent.X && Row.Index == FCurrent.Y;
                if (Row.Index < FFixedRows || Col.Index < FFixedCols)
                    State |= gdFixed;
                else if (Sel.Contains(Col.Index, Row.Index) && (!Current || !Focused || FocusSelected))
                    State |= gdSelected;
                if (Current && Focused)
                    State |= gdFocused;
                // Without default drawing the handler draws every cell, on a canvas that does not
                // depend on the cell's state.
                FCanvas.Font = GridFont;
                if (FDefaultDrawing) {
                    FCanvas.FontColor = State & gdSelected ? HighlightedText : Text;
                    FCanvas.Brush.Color = State & gdSelected ? Highlight : State & gdFixed ? FFixedColor : FColor;
                    FCanvas.FillRect(Rect);
                } else {
                    FCanvas.FontColor = Text;
                    FCanvas.Brush.Color = FColor;
                }
                DrawCell(Col.Index, Row.Index, Rect, State);
            }
        if (Focused)
            DrawFocus(Painter, Cols, Rows);
    });
    FCanvas.EndPaint();
}

// The draw grid -----------------------------------------------------------------------------------

TDrawGrid::TDrawGrid(QWidget* Parent) : TCustomGrid(Parent) {}

void TDrawGrid::DrawCell(int ACol, int ARow, const QRect& Rect, TGridDrawState State)
{
    emit OnDrawCell(this, ACol, ARow, Rect, State);
}

bool TDrawGrid::SelectCell(int ACol, int ARow)
{
    bool CanSelect = true;
    if (OnSelectCell)
        OnSelectCell(this, ACol, ARow, CanSelect);
    return CanSelect;
}
