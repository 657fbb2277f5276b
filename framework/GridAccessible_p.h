#pragma once

// This file is not part of the zq library's interface: it is never installed, and may change
// from one version to the next.
//
// What screen readers see of a grid (GridAccessible.cpp): a table whose cells are the scrolling
// rows and columns, and the events the grids send it. Every call that sends an event does nothing
// while no assistive technology listens (QAccessible::isActive() is false), so that a grid nobody
// reads pays nothing for it.

#include <QAccessible>
#include <QHash>

#include <cstdint>

class TCustomGrid;
struct TGridCoord;
struct TGridRect;

namespace GridAccessibility {

// The cell interfaces a grid handed out, made when asked and kept so that a cell keeps its id;
// a grid holds one of these in its private part. Keys are 64 bits of (row, column) counted in the
// table (fixed rows and columns left out), -1 standing for the header row or column.
class TCellCache {
public:
    TCellCache() = default;
    TCellCache(const TCellCache&) = delete;
    TCellCache& operator=(const TCellCache&) = delete;
    // Unregisters (and so deletes) every cell interface.
    ~TCellCache();

    static std::uint64_t Key(int Row, int Column)
    {
        return (std::uint64_t(std::uint32_t(Row)) << 32) | std::uint32_t(Column);
    }

    QHash<std::uint64_t, QAccessible::Id> FIds;
};

// Installs the factory that gives every TCustomGrid its table interface: once per process, by
// the first grid constructed.
void InstallFactory();

// The current cell moved from From, the selection having been Before: the selection's changes as
// Qt's item views send them.
void SelectionChanged(TCustomGrid& Grid, const TGridCoord& From, const TGridRect& Before);
// The selection changed as a whole (all cells selected, or that ended): one event for the table,
// as Qt's views send for many cells at once, never one per cell.
void SelectionReplaced(TCustomGrid& Grid);
// The current cell moved: a focus event for it when the grid has the focus.
void CurrentCellMoved(TCustomGrid& Grid);
// The grid took the focus: the current cell is announced after Qt's own focus event for the grid.
void FocusIn(TCustomGrid& Grid);
// The text of cell (ACol, ARow) changed; ACol -1 for every cell of row ARow (grid coordinates).
void CellsChanged(TCustomGrid& Grid, int ACol, int ARow);
// Count rows were inserted, or are to be removed, at grid row ARow: sent before the grid's counts
// follow, so that the cells the table handed out move with their rows.
void RowsInserted(TCustomGrid& Grid, qint64 ARow, qint64 Count);
void RowsRemoved(TCustomGrid& Grid, qint64 ARow, qint64 Count);
// Everything may have changed: the cells handed out are dropped.
void Reset(TCustomGrid& Grid);
// The counts changed: cells that no longer exist are dropped.
void CountsChanged(TCustomGrid& Grid);

} // namespace GridAccessibility
