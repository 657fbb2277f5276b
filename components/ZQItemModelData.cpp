#include "components/ZQItemModelData.h"
#include "components/ZQItemModelData_p.h"

#include <algorithm>
#include <climits>

namespace {

// Above this many rows, one refresh of each grid is cheaper than a repaint per row.
constexpr qint64 ChangedRowsPassedOneByOne = 64;

bool ShowsTopLevel(const QList<QPersistentModelIndex>& Parents)
{
    return Parents.isEmpty() || Parents.contains(QPersistentModelIndex());
}

} // namespace

TZQItemModelDataPrivate::TZQItemModelDataPrivate(TZQItemModelData* Data, QAbstractItemModel* Model)
    : FData(Data), FModel(Model)
{
}

void TZQItemModelDataPrivate::Connect()
{
    QAbstractItemModel* Model = FModel;
    if (!Model)
        return;
    using M = QAbstractItemModel;
    QObject::connect(Model, &M::rowsAboutToBeInserted, &FContext, [this](const QModelIndex& Parent, int First, int Last) {
        if (Parent.isValid())
            return;
        BeginBurst(First == Last ? TBurst::None : TBurst::Insert, First);
    });
    QObject::connect(Model, &M::rowsInserted, &FContext, [this](const QModelIndex& Parent, int First, int) {
        if (Parent.isValid())
            return;
        if (!FBursts.empty() && FBursts.back() == TBurst::None) {
            FBursts.pop_back();
            FBurstFirst.pop_back();
            FData->RecordInserted(First);
        } else
            EndBurst();
    });
    QObject::connect(Model, &M::rowsAboutToBeRemoved, &FContext, [this](const QModelIndex& Parent, int First, int Last) {
        if (Parent.isValid())
            return;
        BeginBurst(First == Last ? TBurst::None : TBurst::Remove, First);
    });
    QObject::connect(Model, &M::rowsRemoved, &FContext, [this](const QModelIndex& Parent, int First, int) {
        if (Parent.isValid())
            return;
        if (!FBursts.empty() && FBursts.back() == TBurst::None) {
            FBursts.pop_back();
            FBurstFirst.pop_back();
            FData->RecordRemoved(First);
        } else
            EndBurst();
    });
    QObject::connect(Model, &M::rowsAboutToBeMoved, &FContext,
                     [this](const QModelIndex& From, int, int, const QModelIndex& To, int) {
                         if (!From.isValid() || !To.isValid())
                             BeginBurst(TBurst::Keep, 0);
                     });
    QObject::connect(Model, &M::rowsMoved, &FContext, [this](const QModelIndex& From, int, int, const QModelIndex& To, int) {
        if (!From.isValid() || !To.isValid())
            EndBurst();
    });
    QObject::connect(Model, &M::layoutAboutToBeChanged, &FContext,
                     [this](const QList<QPersistentModelIndex>& Parents, M::LayoutChangeHint) {
                         if (ShowsTopLevel(Parents))
                             BeginBurst(TBurst::Keep, 0);
                     });
    QObject::connect(Model, &M::layoutChanged, &FContext, [this](const QList<QPersistentModelIndex>& Parents, M::LayoutChangeHint) {
        if (ShowsTopLevel(Parents))
            EndBurst();
    });
    QObject::connect(Model, &M::modelAboutToBeReset, &FContext, [this] { BeginBurst(TBurst::Refresh, 0); });
    QObject::connect(Model, &M::modelReset, &FContext, [this] { EndBurst(); });
    QObject::connect(Model, &M::dataChanged, &FContext, [this](const QModelIndex& TopLeft, const QModelIndex& BottomRight) {
        if (!TopLeft.isValid() || TopLeft.parent().isValid())
            return;
        const int First = TopLeft.row();
        const int Last = BottomRight.isValid() ? BottomRight.row() : First;
        if (qint64(Last) - First + 1 > ChangedRowsPassedOneByOne) {
            FData->BeginUpdate();
            FData->EndUpdate();
            return;
        }
        for (int Row = First; Row <= Last; ++Row)
            FData->RecordChanged(Row);
    });
    // Columns are data indexes: every grid may show other data, and titles other texts.
    const auto ColumnsChanged = [this](const QModelIndex& Parent) {
        if (Parent.isValid())
            return;
        FData->BeginUpdate();
        FData->EndUpdate();
        HeadersChanged(Qt::Horizontal, 0, INT_MAX);
    };
    QObject::connect(Model, &M::columnsInserted, &FContext, ColumnsChanged);
    QObject::connect(Model, &M::columnsRemoved, &FContext, ColumnsChanged);
    QObject::connect(Model, &M::columnsMoved, &FContext, [ColumnsChanged](const QModelIndex& From, int, int, const QModelIndex& To, int) {
        ColumnsChanged(From.isValid() ? To : From);
    });
    QObject::connect(Model, &M::headerDataChanged, &FContext,
                     [this](Qt::Orientation Orientation, int First, int Last) { HeadersChanged(Orientation, First, Last); });
    QObject::connect(Model, &QObject::destroyed, &FContext, [this] { ModelDestroyed(); });
}

void TZQItemModelDataPrivate::BeginBurst(TBurst Kind, int First)
{
    FBursts.push_back(Kind);
    FBurstFirst.push_back(First);
    if (Kind == TBurst::None)
        return;
    // The outermost burst holds the current records: an inner one leaves them to it.
    if ((Kind == TBurst::Insert || Kind == TBurst::Remove || Kind == TBurst::Keep) && FBursts.size() == 1) {
        FCurrent.clear();
        const int Count = FData->GetRecordCount();
        for (TZQDataGrid* Grid : FData->Grids()) {
            const int Row = Grid->DataRow();
            if (Row >= 0 && Row < Count)
                FCurrent.push_back({Grid, QPersistentModelIndex(FModel->index(Row, 0))});
        }
    }
    FData->BeginUpdate();
}

void TZQItemModelDataPrivate::EndBurst()
{
    if (FBursts.empty())
        return;
    const TBurst Kind = FBursts.back();
    const int First = FBurstFirst.back();
    FBursts.pop_back();
    FBurstFirst.pop_back();
    if (Kind == TBurst::None)
        return;
    FData->EndUpdate();
    if (!FBursts.empty() || Kind == TBurst::Refresh)
        return;
    const std::vector<TCurrent> Current = std::move(FCurrent);
    FCurrent.clear();
    const int Count = FData->GetRecordCount();
    for (const TCurrent& Entry : Current) {
        TZQDataGrid* Grid = Entry.Grid;
        if (!Grid || Grid->Data() != FData || Count == 0)
            continue;
        int Row;
        if (Kind == TBurst::Insert && Grid->FollowNewRecords())
            Row = First;
        else if (Entry.Record.isValid())
            Row = Entry.Record.row();
        else if (Kind == TBurst::Remove)
            Row = std::max(First - 1, 0); // the current record went: the one before the gap
        else
            continue;
        if (Row >= 0 && Row < Count && Row != Grid->DataRow())
            Grid->SetDataRow(Row);
    }
}

void TZQItemModelDataPrivate::ApplyTitles(TZQDataGrid* Grid, int First, int Last)
{
    if (!FModel)
        return;
    const int ModelColumns = FModel->columnCount();
    TZQDataGridColumns* Columns = Grid->Columns();
    for (int I = 0; I < Columns->Count(); ++I) {
        TZQDataGridColumn* Column = Columns->GetItem(I);
        const int Index = Column->DataIndex();
        if (Index >= First && Index <= Last && Index < ModelColumns)
            Column->SetTitle(FModel->headerData(Index, Qt::Horizontal, Qt::DisplayRole).toString());
    }
}

void TZQItemModelDataPrivate::HeadersChanged(Qt::Orientation Orientation, int First, int Last)
{
    if (Orientation != Qt::Horizontal)
        return;
    FTitleGrids.removeAll(QPointer<TZQDataGrid>());
    for (const QPointer<TZQDataGrid>& Grid : std::as_const(FTitleGrids))
        if (Grid)
            ApplyTitles(Grid, First, Last);
}

void TZQItemModelDataPrivate::ModelDestroyed()
{
    FModel.clear();
    FCurrent.clear();
    // Brackets the model opened and will never close.
    const bool Open = std::any_of(FBursts.begin(), FBursts.end(), [](TBurst Kind) { return Kind != TBurst::None; });
    for (TBurst Kind : FBursts)
        if (Kind != TBurst::None)
            FData->EndUpdate();
    FBursts.clear();
    FBurstFirst.clear();
    // Each EndUpdate() above refreshed the grids once the last bracket closed.
    if (!Open) {
        FData->BeginUpdate();
        FData->EndUpdate();
    }
}

TZQItemModelData::TZQItemModelData(QAbstractItemModel* Model) : d(std::make_unique<TZQItemModelDataPrivate>(this, Model))
{
    d->Connect();
}

TZQItemModelData::~TZQItemModelData() = default;

QAbstractItemModel* TZQItemModelData::Model() const
{
    return d->FModel;
}

int TZQItemModelData::GetRecordCount() const
{
    return d->FModel ? std::max(d->FModel->rowCount(), 0) : 0;
}

QString TZQItemModelData::GetDataText(int Record, int DataIndex) const
{
    QAbstractItemModel* Model = d->FModel;
    if (!Model || !Model->hasIndex(Record, DataIndex))
        return {};
    return Model->index(Record, DataIndex).data(Qt::DisplayRole).toString();
}

void TZQItemModelData::ApplyHeaderTitles(TZQDataGrid* Grid)
{
    if (!Grid)
        return;
    if (!d->FTitleGrids.contains(Grid))
        d->FTitleGrids.append(Grid);
    d->ApplyTitles(Grid, 0, INT_MAX);
}

void TZQItemModelData::virtual_hook(int Id, void* Data)
{
    TZQGridData::virtual_hook(Id, Data);
}
