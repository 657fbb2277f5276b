// The grid's construction, counts, looks and options, and the draw grid. The other parts of
// TCustomGrid: GridGeometry.cpp, GridSelection.cpp, GridInput.cpp, GridPainting.cpp, and its
// canvas GridCanvas.cpp.
#include "framework/Grids_p.h"

#include <QEvent>
#include <QScrollBar>

using namespace Exceptions;
using namespace GridParts;

void GridParts::InvalidOperation(TFrameworkString Message)
{
    throw EInvalidGridOperation(FrameworkString(Message));
}

TCustomGrid::TCustomGrid(QWidget* Parent) : QAbstractScrollArea(Parent), d(std::make_unique<TCustomGridPrivate>())
{
    d->FColor = palette().color(QPalette::Base);
    d->FFixedColor = palette().color(QPalette::Button);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setMouseTracking(true);
    verticalScrollBar()->setSingleStep(1);
    horizontalScrollBar()->setSingleStep(1);
    UpdateScrollBars();
    GridAccessibility::InstallFactory();
}

TCustomGrid::~TCustomGrid() = default;

void TCustomGrid::virtual_hook(int, void*) {}

QString TCustomGrid::CellDisplayText(int ACol, int ARow) const
{
    if (ACol < 0 || ACol >= d->FColCount || ARow < 0 || ARow >= d->FRowCount)
        return QString();
    TCellTextQuery Query{ACol, ARow, QString()};
    // Answering may ask a program's handlers for data, which are not const.
    const_cast<TCustomGrid*>(this)->virtual_hook(CellTextHook, &Query);
    return Query.Text;
}

int TCustomGrid::ColCount() const
{
    return d->FColCount;
}

qint64 TCustomGrid::RowCount() const
{
    return d->FRowCount;
}

int TCustomGrid::FixedCols() const
{
    return d->FFixedCols;
}

int TCustomGrid::FixedRows() const
{
    return d->FFixedRows;
}

QColor TCustomGrid::Color() const
{
    return d->FColor;
}

QColor TCustomGrid::FixedColor() const
{
    return d->FFixedColor;
}

bool TCustomGrid::DefaultDrawing() const
{
    return d->FDefaultDrawing;
}

TGridOptions TCustomGrid::Options() const
{
    return d->FOptions;
}

bool TCustomGrid::Loading() const
{
    return d->FLoading;
}

void TCustomGrid::BeginLoading()
{
    d->FLoading = true;
}

// Counts and fixed counts ------------------------------------------------------------------------

void TCustomGrid::SetColCount(int Value)
{
    Value = std::max(Value, 1);
    if (Value == d->FColCount)
        return;
    TCustomGridPrivate::EndSelectAll(*this);
    const TGridCoord From = d->FCurrent;
    if (Value <= d->FFixedCols)
        d->FFixedCols = Value - 1;
    const int Old = d->FColCount;
    d->FColWidths.erase(d->FColWidths.lower_bound(Value), d->FColWidths.end());
    for (int Col = Old; Col < Value && Col < d->FPendingColWidths.size(); ++Col)
        if (const int Width = std::max(d->FPendingColWidths[Col], 0); Width != d->FDefaultColWidth)
            d->FColWidths[Col] = Width;
    d->FColCount = Value;
    d->FCurrent.X = std::clamp(d->FCurrent.X, d->FFixedCols, d->FColCount - 1);
    d->FAnchor.X = std::clamp(d->FAnchor.X, d->FFixedCols, d->FColCount - 1);
    d->FLeftCol = std::clamp(d->FLeftCol, d->FFixedCols, MaxLeftCol());
    GridAccessibility::CountsChanged(*this);
    UpdateScrollBars();
    InvalidateGrid();
    CurrentCellMoved(From);
}

void TCustomGrid::SetRowCount(qint64 Value)
{
    Value = std::clamp<qint64>(Value, 1, MaxRowCount);
    if (Value == d->FRowCount)
        return;
    if (Value <= d->FFixedRows)
        d->FFixedRows = int(Value - 1);
    TCustomGridPrivate::EndSelectAll(*this);
    const TGridCoord From = d->FCurrent;
    const qint64 OldCount = d->FRowCount;
    d->FRowCount = Value;
    const int LastRow = int(d->FRowCount - 1);
    d->FCurrent.Y = std::clamp(d->FCurrent.Y, d->FFixedRows, LastRow);
    d->FAnchor.Y = std::clamp(d->FAnchor.Y, d->FFixedRows, LastRow);
    const int OldTop = d->FTopRow;
    d->FTopRow = std::clamp(d->FTopRow, d->FFixedRows, MaxTopRow());
    GridAccessibility::CountsChanged(*this);
    UpdateScrollBars();
    CurrentCellMoved(From);
    // Only the rows that appear or disappear need painting, unless the view moved.
    if (d->FTopRow != OldTop) {
        InvalidateGrid();
        return;
    }
    const qint64 First = std::min(OldCount, d->FRowCount);
    for (const TSpan& Row : VisibleRows())
        if (Row.Index >= First - 1 && Row.Index >= d->FFixedRows) {
            InvalidateRect(QRect(0, Row.Start, ClientSize().width(), ClientSize().height() - Row.Start));
            return;
        }
    const QList<TSpan> Rows = VisibleRows();
    if (!Rows.isEmpty() && Rows.last().Index < First - 1)
        return;
    const qint64 Bottom = Rows.isEmpty() ? 0 : qint64(Rows.last().Start) + Rows.last().Size + d->FGridLineWidth;
    InvalidateRect(ClientPart(0, Bottom, ClientSize().width(), ClientSize().height() - Bottom, ClientSize()));
}

void TCustomGrid::SetFixedCols(int Value)
{
    if (Value == d->FFixedCols)
        return;
    if (Value < 0 || Value >= d->FColCount)
        InvalidOperation(SFixedColTooBig);
    TCustomGridPrivate::EndSelectAll(*this);
    const TGridCoord From = d->FCurrent;
    d->FFixedCols = Value;
    d->FCurrent.X = std::max(d->FCurrent.X, d->FFixedCols);
    d->FAnchor.X = std::max(d->FAnchor.X, d->FFixedCols);
    d->FLeftCol = std::clamp(d->FLeftCol, d->FFixedCols, MaxLeftCol());
    GridAccessibility::CountsChanged(*this);
    UpdateScrollBars();
    InvalidateGrid();
    CurrentCellMoved(From);
}

void TCustomGrid::SetFixedRows(int Value)
{
    if (Value == d->FFixedRows)
        return;
    if (Value < 0 || Value >= d->FRowCount)
        InvalidOperation(SFixedRowTooBig);
    TCustomGridPrivate::EndSelectAll(*this);
    const TGridCoord From = d->FCurrent;
    d->FFixedRows = Value;
    d->FCurrent.Y = std::max(d->FCurrent.Y, d->FFixedRows);
    d->FAnchor.Y = std::max(d->FAnchor.Y, d->FFixedRows);
    d->FTopRow = std::clamp(d->FTopRow, d->FFixedRows, MaxTopRow());
    GridAccessibility::CountsChanged(*this);
    UpdateScrollBars();
    InvalidateGrid();
    CurrentCellMoved(From);
}

// Looks and options ------------------------------------------------------------------------------

void TCustomGrid::SetColor(const QColor& Value)
{
    d->FColorSet = true;
    if (Value == d->FColor)
        return;
    d->FColor = Value;
    InvalidateGrid();
}

void TCustomGrid::SetFixedColor(const QColor& Value)
{
    d->FFixedColorSet = true;
    if (Value == d->FFixedColor)
        return;
    d->FFixedColor = Value;
    InvalidateGrid();
}

void TCustomGrid::SetDefaultDrawing(bool Value)
{
    if (Value == d->FDefaultDrawing)
        return;
    d->FDefaultDrawing = Value;
    InvalidateGrid();
}

void TCustomGrid::SetOptions(TGridOptions Value)
{
    if (Value == d->FOptions)
        return;
    d->FOptions = Value;
    if (!(d->FOptions & goRangeSelect)) {
        d->FAnchor = d->FCurrent;
        TCustomGridPrivate::EndSelectAll(*this);
    }
    if ((d->FOptions & goAlwaysShowEditor) && (d->FOptions & goEditing))
        ShowEditor();
    else if (!(d->FOptions & goEditing))
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

void TCustomGrid::changeEvent(QEvent* Event)
{
    QAbstractScrollArea::changeEvent(Event);
    if (Event->type() == QEvent::LayoutDirectionChange) {
        d->FollowDirection(*this);
        return;
    }
    if (Event->type() != QEvent::PaletteChange && Event->type() != QEvent::StyleChange)
        return;
    if (!d->FColorSet)
        d->FColor = palette().color(QPalette::Base);
    if (!d->FFixedColorSet)
        d->FFixedColor = palette().color(QPalette::Button);
    InvalidateGrid();
}

void TCustomGrid::Loaded()
{
    d->FLoading = false;
}

// The draw grid -----------------------------------------------------------------------------------

TDrawGrid::TDrawGrid(QWidget* Parent) : TCustomGrid(Parent), d(std::make_unique<TDrawGridPrivate>()) {}

TDrawGrid::~TDrawGrid() = default;

void TDrawGrid::DrawCell(int ACol, int ARow, const QRect& Rect, TGridDrawState State)
{
    emit OnDrawCell(this, ACol, ARow, Rect, State);
}
