/// \file
/// TZQItemModelData: any of Qt's item models as a data source of the data grids.
#pragma once

#include <zq/ZQDataGrid.h>
#include <zq/framework/Export.h>

#include <memory>

class QAbstractItemModel;
class TZQItemModelDataPrivate;

/// A data source (TZQGridData) over a Qt item model: record r is the model's top-level row r, and
/// datum c of it (a column's TZQDataGridColumn::DataIndex()) is the Qt::DisplayRole of the
/// model's column c, as text.
///
/// The source follows the model's signals and tells its grids as cheaply as the change allows:
/// - one row inserted or removed: TZQGridData::RecordInserted() or TZQGridData::RecordRemoved();
/// - several rows inserted or removed, or moved: one bracket of changes, so that each grid is
///   refreshed once whatever the number of rows, and each grid's current record stays current
///   (the record before the removed rows when it was among them; with
///   TZQDataGrid::FollowNewRecords() the first inserted row becomes current);
/// - data changed: TZQGridData::RecordChanged() per row, or one refresh for a wide range;
/// - a change of layout (a sort) keeps each grid's current record current; a reset and a change
///   of columns refresh every grid;
/// - headers: ApplyHeaderTitles() gives a grid's columns the model's horizontal header texts, and
///   the grid follows later changes of those headers.
///
/// Children of top-level rows are not shown. The source does not own the model; a model destroyed
/// before the source leaves the source empty, and its grids are refreshed.
class ZQ_EXPORT TZQItemModelData : public TZQGridData {
public:
    /// A source over Model, which may be null for an empty source.
    explicit TZQItemModelData(QAbstractItemModel* Model);
    /// Stops following the model, which it leaves alone, and detaches the grids.
    ~TZQItemModelData() override;

    /// The model; null for none, also once it was destroyed.
    QAbstractItemModel* Model() const;

    /// The model's top-level row count; 0 without a model.
    int GetRecordCount() const override;
    /// The Qt::DisplayRole of the model's row Record and column DataIndex, as text; empty for a
    /// cell the model does not have.
    QString GetDataText(int Record, int DataIndex) const override;

    /// Sets the title of each column of Grid whose TZQDataGridColumn::DataIndex() is a column of
    /// the model to the model's horizontal header text of that column, and from then on follows
    /// the model's changes of its headers in that grid, until the grid or the source is
    /// destroyed. Columns with another DataIndex keep their titles. Grid need not show this
    /// source; a null Grid does nothing.
    void ApplyHeaderTitles(TZQDataGrid* Grid);

protected:
    /// Reserved: lets a later version add a virtual function without changing the virtual
    /// table. Passes every id on to TZQGridData for now.
    void virtual_hook(int Id, void* Data) override;

private:
    friend class TZQItemModelDataPrivate;
    std::unique_ptr<TZQItemModelDataPrivate> const d;
};
