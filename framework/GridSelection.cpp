// The current cell and the selection, and the one place that asks whether a cell may become current.
#include "framework/Grids_p.h"

#include <utility>

using namespace GridParts;

int TCustomGrid::Col() const
{
    return d->FCurrent.X;
}

int TCustomGrid::Row() const
{
    return d->FCurrent.Y;
}

const TSelectCellEvent& TCustomGrid::OnSelectCell() const
{
    return d->FOnSelectCell;
}

void TCustomGrid::SetOnSelectCell(const TSelectCellEvent& Value)
{
    d->FOnSelectCell = Value;
}

TGridRect TCustomGrid::Selection() const
{
    if (d->FAllSelected && (d->FOptions & goRangeSelect))
        return {d->FFixedCols, d->FFixedRows, d->FColCount - 1, int(d->FRowCount - 1)};
    const TGridCoord& Current = d->FCurrent;
    const TGridCoord& Anchor = d->FAnchor;
    TGridRect Sel{std::min(Current.X, Anchor.X), std::min(Current.Y, Anchor.Y), std::max(Current.X, Anchor.X),
                  std::max(Current.Y, Anchor.Y)};
    if (d->FOptions & goRowSelect) {
        Sel.Left = d->FFixedCols;
        Sel.Right = d->FColCount - 1;
    }
    return Sel;
}

bool TCustomGrid::SelectCell(int ACol, int ARow)
{
    bool CanSelect = true;
    if (d->FOnSelectCell)
        d->FOnSelectCell(this, ACol, ARow, CanSelect);
    return CanSelect;
}

void TCustomGrid::SetCol(int Value)
{
    FocusCell(Value, d->FCurrent.Y);
}

void TCustomGrid::SetRow(int Value)
{
    FocusCell(d->FCurrent.X, Value);
}

void TCustomGrid::FocusCell(int ACol, int ARow, bool MoveAnchor)
{
    if (ACol < d->FFixedCols || ACol >= d->FColCount || ARow < d->FFixedRows || ARow >= d->FRowCount)
        InvalidOperation(SIndexOutOfRange);
    MoveCurrent(ACol, ARow, MoveAnchor);
}

void TCustomGrid::MoveCurrent(int ACol, int ARow, bool MoveAnchor)
{
    // After SelectAll() even a click on the current cell ends the selection of all the cells.
    if (ACol == d->FCurrent.X && ARow == d->FCurrent.Y && (!MoveAnchor || d->FAnchor == d->FCurrent) &&
        !d->FAllSelected)
        return;
    if (!SelectCell(ACol, ARow))
        return;
    // A handler of SelectCell may have shrunk the grid under the cell.
    if (ACol >= d->FColCount || ARow >= d->FRowCount)
        return;
    HideEditor();
    InvalidateSelection();
    const bool WasAllSelected = std::exchange(d->FAllSelected, false);
    const TGridCoord From = d->FCurrent;
    const TGridRect Before = Selection();
    d->FCurrent = {ACol, ARow};
    if (MoveAnchor || !(d->FOptions & goRangeSelect))
        d->FAnchor = d->FCurrent;
    ScrollToCurrent();
    InvalidateSelection();
    if (d->FOptions & goAlwaysShowEditor)
        ShowEditor();
    if (WasAllSelected)
        GridAccessibility::SelectionReplaced(*this);
    else
        GridAccessibility::SelectionChanged(*this, From, Before);
    CurrentCellMoved(From);
}

void TCustomGrid::CurrentCellMoved(const TGridCoord& From)
{
    if (d->FCurrent == From)
        return;
    GridAccessibility::CurrentCellMoved(*this);
    emit currentCellChanged(d->FCurrent.X, d->FCurrent.Y);
}

void TCustomGrid::ScrollToCurrent()
{
    if (d->FCurrent.Y < d->FTopRow)
        SetTopRow(d->FCurrent.Y);
    else if (const int Visible = std::max(1, VisibleRowCount()); d->FCurrent.Y >= qint64(d->FTopRow) + Visible)
        SetTopRow(d->FCurrent.Y - Visible + 1);
    if (d->FCurrent.X < d->FLeftCol)
        SetLeftCol(d->FCurrent.X);
    else if (d->FCurrent.X >= qint64(d->FLeftCol) + std::max(1, VisibleColCount()))
        SetLeftCol(LeftColShowing(d->FCurrent.X));
}

void TCustomGrid::InvalidateSelection()
{
    const TGridRect Sel = Selection();
    for (const TSpan& Row : VisibleRows())
        if (Row.Index >= Sel.Top && Row.Index <= Sel.Bottom) {
            if (d->FOptions & goRowSelect) {
                InvalidateRow(Row.Index);
                continue;
            }
            for (const TSpan& Col : VisibleCols())
                if (Col.Index >= Sel.Left && Col.Index <= Sel.Right)
                    InvalidateRect(TMirror::Of(*this)(QRect(Col.Start, Row.Start, Col.Size, Row.Size)));
        }
}
