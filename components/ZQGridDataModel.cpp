#include "components/ZQGridDataModel.h"
#include "components/ZQGridDataModel_p.h"

#include "components/ZQDataGrid.h"

#include <algorithm>

TZQGridDataModelPrivate::TZQGridDataModelPrivate(TZQGridDataModel* Model, TZQGridData* Data, int ColumnCount)
    : FModel(Model), FData(Data), FColumnCount(std::max(ColumnCount, 0))
{
    FRowCount = SourceCount();
}

int TZQGridDataModelPrivate::SourceCount() const
{
    return FData ? std::max(FData->GetRecordCount(), 0) : 0;
}

void TZQGridDataModelPrivate::RecordInserted(TZQGridData*, int Index)
{
    // An index the model cannot place (a source breaking its contract) is followed by a reset.
    if (Index < 0 || Index > FRowCount) {
        UpdateEnded(FData);
        return;
    }
    FShift = TShift::Inserted;
    FShiftIndex = Index;
    FModel->beginInsertRows(QModelIndex(), Index, Index);
    ++FRowCount;
    FShift = TShift::None;
    FModel->endInsertRows();
}

void TZQGridDataModelPrivate::RecordRemoved(TZQGridData*, int Index)
{
    if (Index < 0 || Index >= FRowCount) {
        UpdateEnded(FData);
        return;
    }
    FShift = TShift::Removed;
    FShiftIndex = Index;
    FModel->beginRemoveRows(QModelIndex(), Index, Index);
    --FRowCount;
    FShift = TShift::None;
    FModel->endRemoveRows();
}

int TZQGridDataModelPrivate::SourceRow(int Row) const
{
    switch (FShift) {
    case TShift::Inserted:
        return Row < FShiftIndex ? Row : Row + 1;
    case TShift::Removed:
        return Row < FShiftIndex ? Row : Row == FShiftIndex ? -1 : Row - 1;
    case TShift::None:
        break;
    }
    return Row;
}

void TZQGridDataModelPrivate::RecordChanged(TZQGridData*, int Index)
{
    if (Index < 0 || Index >= FRowCount || FColumnCount == 0)
        return;
    emit FModel->dataChanged(FModel->index(Index, 0), FModel->index(Index, FColumnCount - 1));
}

void TZQGridDataModelPrivate::UpdateBegun(TZQGridData*)
{
    if (FResetting)
        return;
    FResetting = true;
    FModel->beginResetModel();
}

void TZQGridDataModelPrivate::UpdateEnded(TZQGridData*)
{
    // A model made inside a bracket sees its end without its beginning.
    if (!FResetting)
        FModel->beginResetModel();
    FRowCount = SourceCount();
    FResetting = false;
    FModel->endResetModel();
}

void TZQGridDataModelPrivate::SourceDestroyed(TZQGridData*)
{
    if (!FResetting)
        FModel->beginResetModel();
    // The source is only its base now: it is not asked for its count.
    FData = nullptr;
    FRowCount = 0;
    FResetting = false;
    FModel->endResetModel();
}

TZQGridDataModel::TZQGridDataModel(TZQGridData* Data, int ColumnCount, QObject* Parent)
    : QAbstractTableModel(Parent), d(std::make_unique<TZQGridDataModelPrivate>(this, Data, ColumnCount))
{
    if (Data)
        Data->AddObserver(d.get());
}

// The observer's own destructor takes it out of the source.
TZQGridDataModel::~TZQGridDataModel() = default;

TZQGridData* TZQGridDataModel::Data() const
{
    return d->FData;
}

int TZQGridDataModel::rowCount(const QModelIndex& Parent) const
{
    return Parent.isValid() ? 0 : d->FRowCount;
}

int TZQGridDataModel::columnCount(const QModelIndex& Parent) const
{
    return Parent.isValid() ? 0 : d->FColumnCount;
}

QVariant TZQGridDataModel::data(const QModelIndex& Index, int Role) const
{
    if (Role != Qt::DisplayRole || !checkIndex(Index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    // Inside a bracket the source may hold fewer records than the model has told.
    const int Row = d->SourceRow(Index.row());
    if (!d->FData || Row < 0 || Row >= d->FData->GetRecordCount())
        return {};
    return d->FData->GetDataText(Row, Index.column());
}

QVariant TZQGridDataModel::headerData(int Section, Qt::Orientation Orientation, int Role) const
{
    if (Orientation == Qt::Horizontal && Role == Qt::DisplayRole) {
        const auto Title = d->FTitles.constFind(Section);
        if (Title != d->FTitles.constEnd())
            return *Title;
    }
    return QAbstractTableModel::headerData(Section, Orientation, Role);
}

bool TZQGridDataModel::setHeaderData(int Section, Qt::Orientation Orientation, const QVariant& Value, int Role)
{
    if (Orientation != Qt::Horizontal || Section < 0 || Section >= d->FColumnCount ||
        (Role != Qt::DisplayRole && Role != Qt::EditRole))
        return false;
    d->FTitles.insert(Section, Value.toString());
    emit headerDataChanged(Orientation, Section, Section);
    return true;
}

Qt::ItemFlags TZQGridDataModel::flags(const QModelIndex& Index) const
{
    if (!Index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
}

void TZQGridDataModel::virtual_hook(int, void*) {}
