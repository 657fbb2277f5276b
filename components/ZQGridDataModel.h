/// \file
/// TZQGridDataModel: a data source shown through Qt's model/view, in a QTableView, a
/// QSortFilterProxyModel or QML, beside the data grids that show it.
#pragma once

#include <zq/framework/Export.h>

#include <QAbstractTableModel>

#include <memory>

class TZQGridData;
class TZQGridDataModelPrivate;

/// A read-only table model over a data source (TZQGridData): row r is record r, column c shows
/// datum c of each record (TZQGridData::GetDataText() with DataIndex c) as its Qt::DisplayRole.
///
/// The model observes the source (TZQGridDataObserver) and follows each of its changes as Qt's
/// views expect: an inserted or removed record is a row inserted or removed, a changed record a
/// dataChanged() over its row, and a bracket of changes (TZQGridData::BeginUpdate() to
/// TZQGridData::EndUpdate()) a reset of the model. Since a source tells after the fact, the model
/// counts its rows itself and changes that count only between the begin and end signals, so a
/// view never sees rowCount() disagree with what it was told. A source destroyed under the model
/// leaves it empty.
///
/// The model does not own the source. Column titles are the section numbers from 1, as Qt's
/// own table models show them, until setHeaderData() gives a column one of its own.
class ZQ_EXPORT TZQGridDataModel : public QAbstractTableModel {
    Q_OBJECT

public:
    /// A model of ColumnCount columns (0 for a negative count) over Data, which may be null for
    /// an empty model.
    TZQGridDataModel(TZQGridData* Data, int ColumnCount, QObject* Parent = nullptr);
    /// Stops observing the source, which it leaves alone.
    ~TZQGridDataModel() override;

    /// The source shown; null for none, also after the source was destroyed.
    TZQGridData* Data() const;

    /// The number of records, as the model has told its views; 0 under a valid Parent.
    int rowCount(const QModelIndex& Parent = QModelIndex()) const override;
    /// The column count given to the constructor; 0 under a valid Parent.
    int columnCount(const QModelIndex& Parent = QModelIndex()) const override;
    /// The text of datum Index.column() of record Index.row() for Qt::DisplayRole; nothing for
    /// other roles and for a record the source no longer holds.
    QVariant data(const QModelIndex& Index, int Role = Qt::DisplayRole) const override;
    /// A horizontal title given by setHeaderData(), otherwise the base's section number from 1.
    QVariant headerData(int Section, Qt::Orientation Orientation, int Role = Qt::DisplayRole) const override;
    /// Gives horizontal Section a title of its own (Qt::DisplayRole or Qt::EditRole) and tells the
    /// views; false for anything else.
    bool setHeaderData(int Section, Qt::Orientation Orientation, const QVariant& Value,
                       int Role = Qt::EditRole) override;
    /// Selectable and enabled, never editable: the source changes its records itself.
    Qt::ItemFlags flags(const QModelIndex& Index) const override;

protected:
    /// Reserved: lets a later version add a virtual function without changing the virtual
    /// table. Does nothing yet; an override passes the ids it does not know on to its base.
    virtual void virtual_hook(int Id, void* Data);

private:
    friend class TZQGridDataModelPrivate;
    std::unique_ptr<TZQGridDataModelPrivate> const d;
};
