#pragma once

#include "framework/Collections.h"
#include "framework/Grids.h"

#include <QString>

#include <cstdint>
#include <list>

enum TAlignment : std::uint8_t { taLeftJustify = 0, taRightJustify = 1, taCenter = 2 };

class TZQDataGrid;
class TZQDataGridColumn;
class TZQDataGridColumns;

// The records that one or more data grids show. A concrete source answers how many records there
// are and what text a datum of a record shows, and tells the base of every change after making
// it; the base passes each notification on to the attached grids, in the order they came.
class TZQGridData {
public:
    TZQGridData();
    // Detaches every grid first, so that no grid is left asking a source that is gone.
    virtual ~TZQGridData();
    TZQGridData(const TZQGridData&) = delete;
    TZQGridData& operator=(const TZQGridData&) = delete;

    virtual int GetRecordCount() const = 0;
    virtual QString GetDataText(int Record, int DataIndex) const = 0;

    // Called by the grid itself when its Data is set; application code sets Data instead.
    void AddGrid(TZQDataGrid* Grid);
    void RemoveGrid(TZQDataGrid* Grid);

    void RecordInserted(int Index);
    void RecordRemoved(int Index);
    void RecordChanged(int Index);
    // Notifications between the two are dropped; the end of the outermost bracket refreshes
    // every grid fully instead.
    void BeginUpdate();
    void EndUpdate();

    // What each walk of the grid list does to one grid.
    void NullDataHelper(TZQDataGrid* Grid);
    void InsertedHelper(TZQDataGrid* Grid);
    void RemovedHelper(TZQDataGrid* Grid);
    void ChangedHelper(TZQDataGrid* Grid);
    void FullUpdateHelper(TZQDataGrid* Grid);

private:
    using TStep = void (TZQGridData::*)(TZQDataGrid* Grid);
    void Notify(int Index, TStep Step);
    void ForEachGrid(TStep Step);
    void EndWalk();

    std::list<TZQDataGrid*> FGrids;
    int FUpdateCount = 0;
    int FPendingRecord = 0;
    // While a walk is going on, removed grids are blanked rather than unlinked, so that no walk
    // loses its place; the outermost walk drops the blanks when it ends.
    int FWalkDepth = 0;
    bool FHasBlanks = false;
};

// A grid showing the records of a source: a title row, then one row per record, and one grid
// column per item of Columns. It follows the source's notifications, keeping the current record
// current, and repaints only what a change can show.
class TZQDataGrid : public TCustomGrid {
    Q_OBJECT
    Q_PROPERTY(TZQDataGridColumns* Columns READ Columns WRITE SetColumns DESIGNABLE false STORED false)
    // The columns as a form description stores them (JSON); reading them is a load of the grid.
    Q_PROPERTY(QString ColumnList READ ColumnList WRITE SetColumnList)
    Q_PROPERTY(bool FollowNewRecords READ FollowNewRecords WRITE SetFollowNewRecords)
    Q_PROPERTY(int FixedRows READ FixedRows WRITE SetFixedRows)
    // A form description leaves out a property that holds its declared default. Options declares
    // the base's set, to which the constructor adds goColSizing, so a new grid stores its options.
    Q_CLASSINFO("Default:FollowNewRecords", "false")
    Q_CLASSINFO("Default:FixedRows", "1")
    Q_CLASSINFO("Default:DefaultColWidth", "64")
    Q_CLASSINFO("Default:DefaultRowHeight", "16")
    Q_CLASSINFO("Default:DefaultDrawing", "true")
    Q_CLASSINFO("Default:GridLineWidth", "1")
    Q_CLASSINFO("Default:ScrollBars", "3")
    Q_CLASSINFO("Default:Options", "31")

public:
    explicit TZQDataGrid(QWidget* Parent = nullptr);
    ~TZQDataGrid() override;

    void Loaded() override;

    TZQGridData* Data() const { return FData; }
    void SetData(TZQGridData* Value);
    // The current row as a record index.
    int DataRow() const { return GetDataRow(); }
    int GetDataRow() const;
    void SetDataRow(int Value);
    TZQDataGridColumns* Columns() const { return FColumns; }
    void SetColumns(TZQDataGridColumns* Value);
    QString ColumnList() const;
    void SetColumnList(const QString& Value);
    bool FollowNewRecords() const { return FFollowNewRecords; }
    void SetFollowNewRecords(bool Value) { FFollowNewRecords = Value; }
    // The rows below the fixed ones are the grid's to count, so it recounts them.
    void SetFixedRows(int Value);

    void FullUpdate();
    void UpdateRecordCount();
    void RecordInserted(int Index);
    void RecordRemoved(int Index);
    void RecordChanged(int Index);

    void DrawCell(int ACol, int ARow, const QRect& Rect, TGridDrawState State) override;
    bool SelectCell(int ACol, int ARow) override;

    TSelectCellEvent OnSelectCell;
    TDrawCellEvent OnDrawCell;

private:
    void DrawCellText(const TZQDataGridColumn& Column, int ARow, const QRect& Rect);
    void RepaintIfVisible(int Index);

    TZQGridData* FData = nullptr;
    TZQDataGridColumns* FColumns = nullptr;
    bool FFollowNewRecords = false;
};

// A column of a data grid: which datum of a record it shows, its title and both alignments. Its
// width is the grid's width of the grid column at the column's Index.
class TZQDataGridColumn : public TCollectionItem {
    Q_OBJECT
    Q_PROPERTY(QString Title READ Title WRITE SetTitle)
    Q_PROPERTY(TAlignment TitleAlignment READ TitleAlignment WRITE SetTitleAlignment)
    Q_PROPERTY(TAlignment DataAlignment READ DataAlignment WRITE SetDataAlignment)
    Q_PROPERTY(int DataIndex READ DataIndex WRITE SetDataIndex)
    Q_PROPERTY(int Width READ GetWidth WRITE SetWidth)
    Q_CLASSINFO("Default:Title", "")
    Q_CLASSINFO("Default:TitleAlignment", "0")
    Q_CLASSINFO("Default:DataAlignment", "0")
    Q_CLASSINFO("Default:DataIndex", "-1")
    Q_CLASSINFO("Default:Width", "0")

public:
    explicit TZQDataGridColumn(TCollection* Collection);

    QString GetDisplayName() const override;
    // Copies the title, both alignments, the data index and, from a column of a grid, the width.
    void Assign(const TCollectionItem* Source) override;

    const QString& Title() const { return FTitle; }
    void SetTitle(const QString& Value);
    TAlignment TitleAlignment() const { return FTitleAlignment; }
    void SetTitleAlignment(TAlignment Value);
    TAlignment DataAlignment() const { return FDataAlignment; }
    void SetDataAlignment(TAlignment Value);
    int DataIndex() const { return FDataIndex; }
    void SetDataIndex(int Value);
    int Width() const { return GetWidth(); }
    int GetWidth() const;
    void SetWidth(int Value);

    // The grid whose column this is; null for a column of a collection without a grid.
    TZQDataGrid* Grid() const;

private:
    QString FTitle;
    TAlignment FTitleAlignment = taLeftJustify;
    TAlignment FDataAlignment = taLeftJustify;
    int FDataIndex = -1;
};

// The columns of a data grid.
class TZQDataGridColumns : public TCollection {
    Q_OBJECT

public:
    // Grid may be null: such a collection only holds columns to be assigned to a grid.
    explicit TZQDataGridColumns(TZQDataGrid* Grid);

    TZQDataGrid* GetOwner() const override { return FGrid; }
    TZQDataGridColumn* Add() { return static_cast<TZQDataGridColumn*>(TCollection::Add()); }
    TZQDataGridColumn* GetItem(int Index) const { return static_cast<TZQDataGridColumn*>(TCollection::GetItem(Index)); }
    void SetItem(int Index, const TZQDataGridColumn* Value) { TCollection::SetItem(Index, Value); }
    TZQDataGridColumn* Items(int Index) const { return GetItem(Index); }

    void Update(TCollectionItem* Item) override;

private:
    TZQDataGrid* FGrid;
};

// The unit's routines, qualified by the unit as a program calls them: ZQDataGrid::Register().
namespace ZQDataGrid {
// Offers TZQDataGrid on the palette page "ZQ".
void Register();
} // namespace ZQDataGrid
