#pragma once

// Not part of the library's interface: this header is never installed, and what it declares may
// change from one version to the next. Only the library's own code and its tests built in the tree
// include it.
#ifdef ZQ_TESTS_OF_THE_SHARED_LIBRARY
#error "a test of the shared library sees only what a program sees: the installed headers"
#endif

#include "components/ZQDataGrid.h"
#include "components/ZQGridDataObserver.h"

#include <list>

// What a data source holds.
class TZQGridDataPrivate {
public:
    // What the observers are told in a walk, after the grids.
    enum class TObserverEvent { Inserted, Removed, Changed, UpdateBegun, UpdateEnded, Destroyed };

    std::list<TZQDataGrid*> FGrids;
    std::list<TZQGridDataObserver*> FObservers;
    int FUpdateCount = 0;
    int FPendingRecord = 0;
    // While a walk is going on, removed grids and observers are blanked rather than unlinked, so
    // that no walk loses its place; the outermost walk drops the blanks when it ends.
    int FWalkDepth = 0;
    bool FHasBlanks = false;

    // Tells the observers there now, in order; the caller holds a walk open.
    void WalkObservers(TZQGridData* Data, TObserverEvent Event, int Index);
    void EndWalk();
};

// What a data grid holds.
class TZQDataGridPrivate {
public:
    TZQGridData* FData = nullptr;
    TZQDataGridColumns* FColumns = nullptr;
    bool FFollowNewRecords = false;
    TDrawCellEvent FOnDrawCell;
};

// What a column holds; its width is its grid's.
class TZQDataGridColumnPrivate {
public:
    QString FTitle;
    TAlignment FTitleAlignment = taLeftJustify;
    TAlignment FDataAlignment = taLeftJustify;
    int FDataIndex = -1;
};

// What the columns of a grid hold.
class TZQDataGridColumnsPrivate {
public:
    explicit TZQDataGridColumnsPrivate(TZQDataGrid* Grid) : FGrid(Grid) {}

    TZQDataGrid* const FGrid;
};
