/// \file
/// The data grid unit: the data source TZQGridData, the grid TZQDataGrid with its columns
/// TZQDataGridColumn and TZQDataGridColumns, and ZQDataGrid::Register(). Unlike the bit grid, the
/// unit's classes are at global scope.
#pragma once

#include <zq/framework/Collections.h>
#include <zq/framework/Export.h>
#include <zq/framework/Grids.h>

#include <QList>
#include <QString>

#include <cstdint>
#include <memory>

/// The horizontal alignment of a column's title or data in their cells. With the grid's BiDiMode()
/// bdRightToLeft, left and right change places (TCustomGrid::AlignedTextX()).
enum TAlignment : std::uint8_t {
    taLeftJustify = 0,  ///< Left, 2 pixels from the cell's left edge.
    taRightJustify = 1, ///< Right, 2 pixels from the cell's right edge.
    taCenter = 2        ///< Centred.
};

class TZQDataGrid;
class TZQDataGridColumn;
class TZQDataGridColumns;
class TZQGridDataObserver;
class TZQGridDataPrivate;
class TZQDataGridPrivate;
class TZQDataGridColumnPrivate;
class TZQDataGridColumnsPrivate;

/// The records that one or more data grids show. A concrete source answers how many records there
/// are and what text a datum of a record shows, and tells the base of every change after making
/// it; the base passes each notification on to the attached grids, in the order they came.
///
/// A grid shows a source once its TZQDataGrid::SetData() is given it. The source is the
/// application's to create and delete; neither it nor the grids own each other. Everything
/// happens synchronously on the GUI thread: every grid has handled a notification when the call
/// that made it returns.
class ZQ_EXPORT TZQGridData {
public:
    /// A source with no grids attached.
    TZQGridData();
    /// Detaches every grid first, so that no grid is left asking a source that is gone.
    virtual ~TZQGridData();
    /// Not copyable: grids are attached to one source.
    ///@{
    TZQGridData(const TZQGridData&) = delete;
    TZQGridData& operator=(const TZQGridData&) = delete;
    ///@}

    /// The number of records the source holds now, 0 or more.
    virtual int GetRecordCount() const = 0;
    /// The text that datum DataIndex of record Record shows in a cell. A grid asks only for
    /// records from 0 to GetRecordCount() - 1 and for a DataIndex of 0 or more, a column's
    /// TZQDataGridColumn::DataIndex(); what it selects in a record is the source's own business.
    virtual QString GetDataText(int Record, int DataIndex) const = 0;

    /// Add a grid to the list of grids told of changes, or take every entry of it out.
    /// Called by the grid itself when its Data is set; application code sets Data instead.
    ///@{
    void AddGrid(TZQDataGrid* Grid);
    void RemoveGrid(TZQDataGrid* Grid);
    ///@}
    /// The grids attached now, in the order they were attached. A source that changes many records
    /// at once reads it to keep each grid's current record across the refresh.
    QList<TZQDataGrid*> Grids() const;

    /// Add an observer other than a grid (a model over the source, a log), or take every entry of
    /// it out. Observers are told after the grids, in each walk, and only of what the grids are
    /// told; see TZQGridDataObserver. The source does not own them; an observer that is destroyed
    /// takes itself out of every source it observes. A null Observer does nothing.
    ///@{
    void AddObserver(TZQGridDataObserver* Observer);
    void RemoveObserver(TZQGridDataObserver* Observer);
    ///@}

    /// To be called after a record was inserted at Index, which GetRecordCount() already counts:
    /// tells every attached grid.
    void RecordInserted(int Index);
    /// To be called after the record that had Index was removed, which GetRecordCount() no
    /// longer counts: tells every attached grid.
    void RecordRemoved(int Index);
    /// To be called after the data of record Index changed, the count unchanged: tells every
    /// attached grid.
    void RecordChanged(int Index);
    /// Bracket a series of changes (a load, a sort, a clear); brackets nest.
    /// Notifications between the two are dropped; the end of the outermost bracket refreshes
    /// every grid fully instead.
    ///@{
    void BeginUpdate();
    void EndUpdate();
    ///@}

    /// What each walk of the grid list does to one grid: set its Data to null, or pass it the
    /// notification being walked (TZQDataGrid::FullUpdate() for FullUpdateHelper()).
    ///@{
    void NullDataHelper(TZQDataGrid* Grid);
    void InsertedHelper(TZQDataGrid* Grid);
    void RemovedHelper(TZQDataGrid* Grid);
    void ChangedHelper(TZQDataGrid* Grid);
    void FullUpdateHelper(TZQDataGrid* Grid);
    ///@}

protected:
    /// Reserved: lets a later version add a virtual function without changing the virtual
    /// table. Does nothing yet; an override passes the ids it does not know on to its base.
    virtual void virtual_hook(int Id, void* Data);

private:
    using TStep = void (TZQGridData::*)(TZQDataGrid* Grid);
    void Notify(int Index, TStep Step);
    void ForEachGrid(TStep Step);
    void EndWalk();

    std::unique_ptr<TZQGridDataPrivate> const d;
};

/// A grid showing the records of a source: a title row, then one row per record, and one grid
/// column per item of Columns. It follows the source's notifications, keeping the current record
/// current, and repaints only what a change can show.
///
/// Grid column c shows column c of Columns(), the fixed column included; grid row r at or below
/// FixedRows() shows record r - FixedRows(). Without a source, or with an empty one, one blank
/// placeholder row stands below the titles. The grid keeps no copy of the data: every painted
/// cell asks the source. Its rows are 16 pixels high by default, and it lets the user size
/// columns (goColSizing). Qt Designer offers it on the palette page "ZQ"
/// (ZQDataGrid::Register()), with "Edit Columns..." on its context menu.
class ZQ_EXPORT TZQDataGrid : public TCustomGrid {
    Q_OBJECT
    /// The columns, for a program; Designer and form descriptions use ColumnList instead.
    Q_PROPERTY(TZQDataGridColumns* Columns READ Columns WRITE SetColumns DESIGNABLE false STORED false)
    /// The columns as a form description stores them (JSON); reading them is a load of the grid.
    Q_PROPERTY(QString ColumnList READ ColumnList WRITE SetColumnList)
    Q_PROPERTY(bool FollowNewRecords READ FollowNewRecords WRITE SetFollowNewRecords) ///< Default false.
    Q_PROPERTY(int FixedRows READ FixedRows WRITE SetFixedRows) ///< Default 1.
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
    /// A grid without source or columns: two grid columns (one fixed) and two rows (the title
    /// row and the placeholder row).
    explicit TZQDataGrid(QWidget* Parent = nullptr);
    /// Deletes the columns and detaches the grid from its source, which it leaves alone.
    ~TZQDataGrid() override;

    /// Ends the load, then gives each column its grid column's width again.
    void Loaded() override;

    /// The source shown, which the grid does not own; null for none. Setting another source
    /// detaches the grid from the old one, attaches it to the new one and refreshes it fully;
    /// setting the same source does nothing.
    ///@{
    TZQGridData* Data() const;
    void SetData(TZQGridData* Value);
    ///@}
    /// The current row as a record index: Row() - FixedRows(). Setting it moves the current
    /// cell, if SelectCell() allows; raises Exceptions::EInvalidGridOperation "Grid index out of
    /// range" for a record that has no row.
    ///@{
    int DataRow() const { return GetDataRow(); }
    int GetDataRow() const;
    void SetDataRow(int Value);
    ///@}
    /// The grid's columns, which it owns. Setting copies the given collection's columns into
    /// them, in one bulk change.
    ///@{
    TZQDataGridColumns* Columns() const;
    void SetColumns(TZQDataGridColumns* Value);
    ///@}
    /// The columns as JSON, as a form description stores them. Setting loads them as a grid read
    /// from a form: the grid's own streamed column widths win over those given with the columns.
    ///@{
    QString ColumnList() const;
    void SetColumnList(const QString& Value);
    ///@}
    /// Whether an inserted record becomes the current row.
    ///@{
    bool FollowNewRecords() const;
    void SetFollowNewRecords(bool Value);
    ///@}
    /// Sets the number of fixed rows, the first of them the title row.
    /// The rows below the fixed ones are the grid's to count, so it recounts them.
    /// Raises Exceptions::EInvalidGridOperation for a negative count.
    void SetFixedRows(int Value);

    /// Recounts the rows and repaints the whole grid. The source calls it at the end of a
    /// bracket of changes; a program may call it after changing data behind the source's back.
    void FullUpdate();
    /// Sets RowCount() to the source's record count, at least 1 (the placeholder row), plus
    /// FixedRows().
    void UpdateRecordCount();
    /// Called by the source: a record was inserted at Index. The same record stays current (with
    /// FollowNewRecords(), the new one becomes current), and the grid is repainted when the new
    /// row lies above the end of the fully visible rows.
    void RecordInserted(int Index);
    /// Called by the source: the record that had Index is gone. The same record stays current,
    /// or the one before it when the current one went; repainted as for RecordInserted().
    void RecordRemoved(int Index);
    /// Called by the source: the data of record Index changed; repaints its row.
    void RecordChanged(int Index);

    /// With DefaultDrawing(), writes the cell's text, centred vertically and aligned as its
    /// column says: the column's title in row 0 when FixedRows() is at least 1, the source's
    /// GetDataText() in a record's row; grid columns without a column show nothing. Then calls
    /// OnDrawCell.
    void DrawCell(int ACol, int ARow, const QRect& Rect, TGridDrawState State) override;
    /// Asks OnSelectCell(), when it is assigned; a refusal also keeps the current row where it is
    /// when records come and go.
    using TCustomGrid::SelectCell;

    /// Told after each cell was drawn, also when DefaultDrawing() is off.
    ///@{
    const TDrawCellEvent& OnDrawCell() const;
    void SetOnDrawCell(const TDrawCellEvent& Value);
    ///@}

protected:
    /// Reserved: lets a later version add a virtual function without changing the virtual
    /// table. Answers CellTextHook with the cell's title or datum and TextMarginsHook with the
    /// 2 pixels left either side of a text; passes every other id on to the grid base.
    void virtual_hook(int Id, void* Data) override;

private:
    void DrawCellText(const TZQDataGridColumn& Column, int ARow, const QRect& Rect);
    void RepaintIfVisible(int Index);

    std::unique_ptr<TZQDataGridPrivate> const d;
};

/// A column of a data grid: which datum of a record it shows, its title and both alignments. Its
/// width is the grid's width of the grid column at the column's Index.
///
/// Setting a property to another value repaints the column in its grid.
class ZQ_EXPORT TZQDataGridColumn : public TCollectionItem {
    Q_OBJECT
    Q_PROPERTY(QString Title READ Title WRITE SetTitle) ///< Default empty.
    /// Default taLeftJustify.
    Q_PROPERTY(TAlignment TitleAlignment READ TitleAlignment WRITE SetTitleAlignment)
    /// Default taLeftJustify.
    Q_PROPERTY(TAlignment DataAlignment READ DataAlignment WRITE SetDataAlignment)
    Q_PROPERTY(int DataIndex READ DataIndex WRITE SetDataIndex) ///< Default -1.
    Q_PROPERTY(int Width READ GetWidth WRITE SetWidth) ///< Default 0.
    Q_CLASSINFO("Default:Title", "")
    Q_CLASSINFO("Default:TitleAlignment", "0")
    Q_CLASSINFO("Default:DataAlignment", "0")
    Q_CLASSINFO("Default:DataIndex", "-1")
    Q_CLASSINFO("Default:Width", "0")

public:
    /// A column appended to Collection, with an empty title, DataIndex -1 and both alignments
    /// taLeftJustify.
    explicit TZQDataGridColumn(TCollection* Collection);
    /// Takes the column out of its collection.
    ~TZQDataGridColumn() override;

    /// The title, or for a column without one "Column " and its Index: "Column 0".
    QString GetDisplayName() const override;
    /// Copies the title, both alignments, the data index and, from a column of a grid, the width.
    /// Raises Exceptions::EConvertError for a Source that is not a column.
    void Assign(const TCollectionItem* Source) override;

    /// The text of the column's cell in the title row; a column without one has an empty title
    /// cell.
    ///@{
    const QString& Title() const;
    void SetTitle(const QString& Value);
    ///@}
    /// The alignment of the title.
    ///@{
    TAlignment TitleAlignment() const;
    void SetTitleAlignment(TAlignment Value);
    ///@}
    /// The alignment of the data.
    ///@{
    TAlignment DataAlignment() const;
    void SetDataAlignment(TAlignment Value);
    ///@}
    /// The datum of each record that the column shows, passed to TZQGridData::GetDataText();
    /// a negative index shows no data.
    ///@{
    int DataIndex() const;
    void SetDataIndex(int Value);
    ///@}
    /// The width of the grid column at the column's Index; 0 for a column without a grid.
    /// Setting it is ignored while the grid is loading, so that the grid's own streamed widths
    /// count.
    ///@{
    int Width() const { return GetWidth(); }
    int GetWidth() const;
    void SetWidth(int Value);
    ///@}

    /// The grid whose column this is; null for a column of a collection without a grid.
    TZQDataGrid* Grid() const;

protected:
    /// Reserved: lets a later version add a virtual function without changing the virtual
    /// table. Does nothing yet; an override passes the ids it does not know on to its base.
    void virtual_hook(int Id, void* Data) override;

private:
    std::unique_ptr<TZQDataGridColumnPrivate> const d;
};

/// The columns of a data grid.
class ZQ_EXPORT TZQDataGridColumns : public TCollection {
    Q_OBJECT

public:
    /// An empty collection of columns of Grid.
    /// Grid may be null: such a collection only holds columns to be assigned to a grid.
    explicit TZQDataGridColumns(TZQDataGrid* Grid);
    /// Deletes the columns, reporting nothing.
    ~TZQDataGridColumns() override;

    /// The grid; null for a collection without one.
    TZQDataGrid* GetOwner() const override;
    /// Appends a new column and returns it.
    TZQDataGridColumn* Add() { return static_cast<TZQDataGridColumn*>(TCollection::Add()); }
    /// Column Index; raises Exceptions::EListError outside 0 to Count() - 1.
    TZQDataGridColumn* GetItem(int Index) const { return static_cast<TZQDataGridColumn*>(TCollection::GetItem(Index)); }
    /// Makes column Index a copy of Value (TZQDataGridColumn::Assign()).
    void SetItem(int Index, const TZQDataGridColumn* Value) { TCollection::SetItem(Index, Value); }
    /// Column Index, as GetItem() gives it.
    TZQDataGridColumn* Items(int Index) const { return GetItem(Index); }

    /// Repaints the grid column of Item; for null (columns added, deleted or moved, or a bulk
    /// change ended) sets the grid's ColCount() to the number of columns, at least FixedCols() + 1,
    /// and repaints the grid.
    void Update(TCollectionItem* Item) override;

private:
    std::unique_ptr<TZQDataGridColumnsPrivate> const d;
};

/// The unit's routines, qualified by the unit as a program calls them: ZQDataGrid::Register().
namespace ZQDataGrid {
/// Offers TZQDataGrid to a form designer on the palette page "ZQ" (RegisterComponents()).
ZQ_EXPORT void Register();
} // namespace ZQDataGrid
