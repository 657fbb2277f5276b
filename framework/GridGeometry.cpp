// The grid's sizes, the rows and columns in view, scrolling and hit-testing.
#include "framework/Grids_p.h"

#include <QEvent>
#include <QLineEdit>
#include <QScrollBar>

using namespace GridParts;

int TCustomGrid::DefaultColWidth() const
{
    return d->FDefaultColWidth;
}

int TCustomGrid::DefaultRowHeight() const
{
    return d->FDefaultRowHeight;
}

bool TCustomGrid::ColWidthsStreamed() const
{
    return d->FColWidthsStreamed;
}

int TCustomGrid::GridLineWidth() const
{
    return d->FGridLineWidth;
}

int TCustomGrid::TopRow() const
{
    return d->FTopRow;
}

int TCustomGrid::LeftCol() const
{
    return d->FLeftCol;
}

qint64 TCustomGrid::ColExtent(int ACol) const
{
    return qint64(ColWidths(ACol)) + d->FGridLineWidth;
}

qint64 TCustomGrid::RowExtent() const
{
    return qint64(d->FDefaultRowHeight) + d->FGridLineWidth;
}

void TCustomGrid::SetDefaultColWidth(int Value)
{
    Value = std::max(Value, 0);
    if (Value == d->FDefaultColWidth)
        return;
    d->FDefaultColWidth = Value;
    d->FColWidths.clear();
    UpdateScrollBars();
    InvalidateGrid();
}

void TCustomGrid::SetDefaultRowHeight(int Value)
{
    if (Value == d->FDefaultRowHeight)
        return;
    d->FDefaultRowHeight = std::max(Value, 1);
    d->FTopRow = std::clamp(d->FTopRow, d->FFixedRows, MaxTopRow());
    UpdateScrollBars();
    PlaceEditor();
    InvalidateGrid();
}

int TCustomGrid::ColWidths(int ACol) const
{
    const auto Width = d->FColWidths.find(ACol);
    return Width != d->FColWidths.end() ? Width->second : d->FDefaultColWidth;
}

void TCustomGrid::SetColWidths(int ACol, int Value)
{
    if (ACol < 0 || ACol >= d->FColCount)
        InvalidOperation(SIndexOutOfRange);
    Value = std::max(Value, 0);
    if (ColWidths(ACol) == Value)
        return;
    if (Value == d->FDefaultColWidth)
        d->FColWidths.erase(ACol);
    else
        d->FColWidths[ACol] = Value;
    UpdateScrollBars();
    PlaceEditor();
    InvalidateGrid();
}

QString TCustomGrid::ColWidthList() const
{
    // Up to the last column with a width of its own: the columns after it have the default.
    QStringList Widths;
    const int Count = d->FColWidths.empty() ? 0 : d->FColWidths.rbegin()->first + 1;
    for (int Col = 0; Col < Count; ++Col)
        Widths << QString::number(ColWidths(Col));
    return Widths.join(u' ');
}

void TCustomGrid::SetColWidthList(const QString& Widths)
{
    const QStringList Items = Widths.split(u' ', Qt::SkipEmptyParts);
    d->FColWidthsStreamed = true;
    d->FPendingColWidths.clear();
    for (const QString& Item : Items)
        d->FPendingColWidths.append(Item.toInt());
    for (int I = 0; I < d->FPendingColWidths.size() && I < d->FColCount; ++I)
        SetColWidths(I, d->FPendingColWidths[I]);
}

void TCustomGrid::SetGridLineWidth(int Value)
{
    if (Value == d->FGridLineWidth)
        return;
    d->FGridLineWidth = std::max(Value, 0);
    UpdateScrollBars();
    InvalidateGrid();
}

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
    qint64 Width = qint64(d->FFixedCols) * (qint64(d->FDefaultColWidth) + d->FGridLineWidth);
    for (auto Own = d->FColWidths.begin(); Own != d->FColWidths.end() && Own->first < d->FFixedCols; ++Own)
        Width += qint64(Own->second) - d->FDefaultColWidth;
    return Width;
}

qint64 TCustomGrid::FixedHeight() const
{
    return d->FFixedRows * RowExtent();
}

int TCustomGrid::VisibleRowCount() const
{
    const qint64 Room = ClientSize().height() - FixedHeight();
    const qint64 Fit = Room > 0 ? (Room + d->FGridLineWidth) / RowExtent() : 0;
    return int(std::min(Fit, d->FRowCount - d->FTopRow));
}

// Columns of no width between lines of no width take no room; a view counts no more of them
// than it has pixels.
int TCustomGrid::VisibleColCount() const
{
    qint64 Room = ClientSize().width() - FixedWidth() + d->FGridLineWidth;
    const int Limit = std::max(ClientSize().width(), 0) + 1;
    int Count = 0;
    for (int Col = d->FLeftCol; Col < d->FColCount && Count < Limit && Room >= ColExtent(Col); ++Col, ++Count)
        Room -= ColExtent(Col);
    return Count;
}

int TCustomGrid::MaxTopRow() const
{
    const qint64 Room = ClientSize().height() - FixedHeight();
    const qint64 Fit = std::max<qint64>(1, Room > 0 ? (Room + d->FGridLineWidth) / RowExtent() : 1);
    return int(std::max<qint64>(d->FFixedRows, d->FRowCount - Fit));
}

int TCustomGrid::LeftColShowing(int ACol) const
{
    qint64 Room = ClientSize().width() - FixedWidth() + d->FGridLineWidth - ColExtent(ACol);
    const int Limit = std::max(ClientSize().width(), 0) + 1;
    int Col = ACol;
    while (Col - 1 >= d->FFixedCols && ACol - Col < Limit && Room >= ColExtent(Col - 1)) {
        --Col;
        Room -= ColExtent(Col);
    }
    return std::max(d->FFixedCols, Col);
}

int TCustomGrid::MaxLeftCol() const
{
    return LeftColShowing(d->FColCount - 1);
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
    for (int Col = 0; Col < d->FFixedCols && Room(); ++Col)
        Add(Col);
    for (int Col = d->FLeftCol; Col < d->FColCount && Room(); ++Col)
        Add(Col);
    return Spans;
}

QList<TCustomGrid::TSpan> TCustomGrid::VisibleRows() const
{
    QList<TSpan> Spans;
    const int Limit = ClientSize().height();
    const qint64 Step = RowExtent();
    const int Height = std::min(d->FDefaultRowHeight, MaxCellSpan);
    qint64 Y = 0;
    for (int Row = 0; Row < d->FFixedRows && Y < Limit; ++Row, Y += Step)
        Spans.append({Row, int(Y), Height});
    // The last row may be row INT_MAX, so the count runs in 64 bits.
    for (qint64 Row = d->FTopRow; Row < d->FRowCount && Y < Limit; ++Row, Y += Step)
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
    return Rect.width() > 0 && Rect.height() > 0 ? TMirror::Of(*this)(Rect) : QRect();
}

TGridCoord TCustomGrid::MouseCoord(int X, int Y) const
{
    X = TMirror::Of(*this).X(X);
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

void TCustomGrid::SetTopRow(int Value)
{
    Value = std::clamp(Value, d->FFixedRows, MaxTopRow());
    if (Value == d->FTopRow)
        return;
    d->FTopRow = Value;
    UpdateScrollBars();
    PlaceEditor();
    InvalidateGrid();
}

void TCustomGrid::SetLeftCol(int Value)
{
    Value = std::clamp(Value, d->FFixedCols, MaxLeftCol());
    if (Value == d->FLeftCol)
        return;
    d->FLeftCol = Value;
    UpdateScrollBars();
    PlaceEditor();
    InvalidateGrid();
}

void TCustomGrid::UpdateScrollBars()
{
    // The bars count rows and columns, not pixels, so no count of rows can overflow them.
    d->FSyncingScrollBars = true;
    QScrollBar* V = verticalScrollBar();
    V->setRange(0, MaxTopRow() - d->FFixedRows);
    V->setPageStep(std::max(1, VisibleRowCount()));
    V->setValue(d->FTopRow - d->FFixedRows);
    QScrollBar* H = horizontalScrollBar();
    H->setRange(0, MaxLeftCol() - d->FFixedCols);
    H->setPageStep(std::max(1, VisibleColCount()));
    H->setValue(d->FLeftCol - d->FFixedCols);
    d->FSyncingScrollBars = false;
}

void TCustomGrid::scrollContentsBy(int, int)
{
    if (d->FSyncingScrollBars)
        return;
    SetTopRow(verticalScrollBar()->value() + d->FFixedRows);
    SetLeftCol(horizontalScrollBar()->value() + d->FFixedCols);
}

void TCustomGrid::resizeEvent(QResizeEvent* Event)
{
    QAbstractScrollArea::resizeEvent(Event);
    d->FTopRow = std::clamp(d->FTopRow, d->FFixedRows, MaxTopRow());
    d->FLeftCol = std::clamp(d->FLeftCol, d->FFixedCols, MaxLeftCol());
    UpdateScrollBars();
    PlaceEditor();
}

// Right to left --------------------------------------------------------------------------------

TCustomGrid::TBiDiMode TCustomGrid::BiDiMode() const
{
    return d->BiDiMode(isRightToLeft());
}

void TCustomGrid::SetBiDiMode(TBiDiMode Value)
{
    d->FBiDiMode = Value;
    const bool RightToLeft = Value == bdRightToLeft || Value == bdRightToLeftNoAlign;
    // A change of direction comes back through changeEvent; the two right-to-left modes, and the
    // two left-to-right ones, differ without one.
    if (RightToLeft != isRightToLeft())
        setLayoutDirection(RightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
    else {
        setLayoutDirection(layoutDirection());
        d->FollowDirection(*this);
    }
}

bool TCustomGrid::ParentBiDiMode() const
{
    return !testAttribute(Qt::WA_SetLayoutDirection);
}

void TCustomGrid::SetParentBiDiMode(bool Value)
{
    if (Value == ParentBiDiMode())
        return;
    if (!Value) {
        setLayoutDirection(layoutDirection());
        return;
    }
    // What follows the parent is plainly left to right or right to left.
    d->FBiDiMode = bdLeftToRight;
    unsetLayoutDirection();
    d->FollowDirection(*this);
}

int TCustomGrid::AlignedTextX(const QRect& Rect, int TextWidth, Qt::Alignment Alignment, int Margin) const
{
    if (!(Alignment & Qt::AlignAbsolute) && (Alignment & (Qt::AlignLeft | Qt::AlignRight)) &&
        d->BiDiMode(isRightToLeft()) == bdRightToLeft)
        Alignment ^= Qt::AlignLeft | Qt::AlignRight;
    if (Alignment & Qt::AlignRight)
        return Rect.x() + (Rect.width() - TextWidth - Margin);
    if (Alignment & Qt::AlignHCenter)
        return Rect.x() + (Rect.width() - TextWidth) / 2;
    return Rect.x() + Margin;
}

// The mode holds only with the direction it was set with, so that a later change of the direction
// leaves a plain one; the texts learnt in the other reading order are laid out anew.
void TCustomGridPrivate::FollowDirection(TCustomGrid& Grid)
{
    FBiDiMode = BiDiMode(Grid.isRightToLeft());
    TGridCanvasPrivate& Cells = TGridCanvasPrivate::Of(FCanvas);
    Cells.FTexts.clear();
    Cells.FLast = nullptr;
    Grid.PlaceEditor();
    Grid.InvalidateGrid();
}
