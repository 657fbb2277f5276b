#include "components/ZQDataGrid.h"
#include "components/ZQDataGrid_p.h"
#include "components/ZQGridDataObserver_p.h"

#include <QFontMetrics>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "framework/GridAccessible_p.h"
#include "framework/Registry.h"
#include "framework/StringTable.h"

#include <QLoggingCategory>

#include <algorithm>
#include <climits>
#include <iterator>

namespace {

// Where a grid reports what it cannot use, with its object name.
Q_LOGGING_CATEGORY(DataGridLog, "zq.grids")

constexpr int TextMargin = 2; // pixels between a left- or right-aligned text and its cell's edge
constexpr int DataGridRowHeight = 16;

void EraseSource(std::vector<TZQGridData*>& Sources, TZQGridData* Data)
{
    Sources.erase(std::remove(Sources.begin(), Sources.end(), Data), Sources.end());
}

} // namespace

// The data source ---------------------------------------------------------------------------------

TZQGridData::TZQGridData() : d(std::make_unique<TZQGridDataPrivate>()) {}

TZQGridData::~TZQGridData()
{
    ForEachGrid(&TZQGridData::NullDataHelper);
    // Observers added during the walk were not told; they must not take themselves out of a
    // source that is gone.
    for (TZQGridDataObserver* Observer : d->FObservers)
        if (Observer)
            EraseSource(Observer->d->FSources, this);
}

void TZQGridData::AddGrid(TZQDataGrid* Grid)
{
    d->FGrids.push_back(Grid);
}

void TZQGridData::RemoveGrid(TZQDataGrid* Grid)
{
    if (d->FWalkDepth == 0) {
        d->FGrids.remove(Grid);
        return;
    }
    for (TZQDataGrid*& Entry : d->FGrids)
        if (Entry == Grid) {
            Entry = nullptr;
            d->FHasBlanks = true;
        }
}

QList<TZQDataGrid*> TZQGridData::Grids() const
{
    QList<TZQDataGrid*> Result;
    for (TZQDataGrid* Grid : d->FGrids)
        if (Grid)
            Result.append(Grid);
    return Result;
}

void TZQGridData::AddObserver(TZQGridDataObserver* Observer)
{
    if (!Observer)
        return;
    d->FObservers.push_back(Observer);
    Observer->d->FSources.push_back(this);
}

void TZQGridData::RemoveObserver(TZQGridDataObserver* Observer)
{
    if (!Observer)
        return;
    EraseSource(Observer->d->FSources, this);
    if (d->FWalkDepth == 0) {
        d->FObservers.remove(Observer);
        return;
    }
    for (TZQGridDataObserver*& Entry : d->FObservers)
        if (Entry == Observer) {
            Entry = nullptr;
            d->FHasBlanks = true;
        }
}

void TZQGridData::RecordInserted(int Index)
{
    Notify(Index, &TZQGridData::InsertedHelper);
}

void TZQGridData::RecordRemoved(int Index)
{
    Notify(Index, &TZQGridData::RemovedHelper);
}

void TZQGridData::RecordChanged(int Index)
{
    Notify(Index, &TZQGridData::ChangedHelper);
}

void TZQGridData::BeginUpdate()
{
    ++d->FUpdateCount;
    // Grids are told nothing until the bracket closes; an observer such as a model must know
    // before the records change.
    if (d->FUpdateCount == 1 && !d->FObservers.empty()) {
        ++d->FWalkDepth;
        struct TWalk {
            TZQGridData* Data;
            ~TWalk() { Data->EndWalk(); }
        } Walk{this};
        d->WalkObservers(this, TZQGridDataPrivate::TObserverEvent::UpdateBegun, d->FPendingRecord);
    }
}

void TZQGridData::EndUpdate()
{
    --d->FUpdateCount;
    if (d->FUpdateCount == 0)
        ForEachGrid(&TZQGridData::FullUpdateHelper);
}

void TZQGridData::NullDataHelper(TZQDataGrid* Grid)
{
    Grid->SetData(nullptr);
}

void TZQGridData::InsertedHelper(TZQDataGrid* Grid)
{
    Grid->RecordInserted(d->FPendingRecord);
}

void TZQGridData::RemovedHelper(TZQDataGrid* Grid)
{
    Grid->RecordRemoved(d->FPendingRecord);
}

void TZQGridData::ChangedHelper(TZQDataGrid* Grid)
{
    Grid->RecordChanged(d->FPendingRecord);
}

void TZQGridData::FullUpdateHelper(TZQDataGrid* Grid)
{
    Grid->FullUpdate();
}

void TZQGridData::virtual_hook(int, void*) {}

void TZQGridData::Notify(int Index, TStep Step)
{
    if (d->FUpdateCount != 0)
        return;
    d->FPendingRecord = Index;
    ForEachGrid(Step);
}

void TZQGridData::ForEachGrid(TStep Step)
{
    using TEvent = TZQGridDataPrivate::TObserverEvent;
    if (d->FGrids.empty() && d->FObservers.empty())
        return;
    // A grid's handler may notify again from inside its step; the grids after it, and the
    // observers, still get this walk's record index.
    const int Pending = d->FPendingRecord;
    ++d->FWalkDepth;
    struct TWalk {
        TZQGridData* Data;
        ~TWalk() { Data->EndWalk(); }
    } Walk{this};
    if (!d->FGrids.empty()) {
        // Grids attached during the walk were refreshed fully when they came, so they are not told.
        const auto Last = std::prev(d->FGrids.end());
        for (auto Entry = d->FGrids.begin();; ++Entry) {
            if (*Entry) {
                d->FPendingRecord = Pending;
                (this->*Step)(*Entry);
            }
            if (Entry == Last)
                break;
        }
    }
    d->FPendingRecord = Pending;
    TEvent Event = TEvent::UpdateEnded;
    if (Step == &TZQGridData::InsertedHelper)
        Event = TEvent::Inserted;
    else if (Step == &TZQGridData::RemovedHelper)
        Event = TEvent::Removed;
    else if (Step == &TZQGridData::ChangedHelper)
        Event = TEvent::Changed;
    else if (Step == &TZQGridData::NullDataHelper)
        Event = TEvent::Destroyed;
    d->WalkObservers(this, Event, Pending);
}

void TZQGridData::EndWalk()
{
    d->EndWalk();
}

void TZQGridDataPrivate::WalkObservers(TZQGridData* Data, TObserverEvent Event, int Index)
{
    if (FObservers.empty())
        return;
    // Observers added during the walk are told from the next walk on.
    const auto Last = std::prev(FObservers.end());
    for (auto Entry = FObservers.begin();; ++Entry) {
        if (TZQGridDataObserver* Observer = *Entry) {
            switch (Event) {
            case TObserverEvent::Inserted:
                Observer->RecordInserted(Data, Index);
                break;
            case TObserverEvent::Removed:
                Observer->RecordRemoved(Data, Index);
                break;
            case TObserverEvent::Changed:
                Observer->RecordChanged(Data, Index);
                break;
            case TObserverEvent::UpdateBegun:
                Observer->UpdateBegun(Data);
                break;
            case TObserverEvent::UpdateEnded:
                Observer->UpdateEnded(Data);
                break;
            case TObserverEvent::Destroyed:
                // Out of the list first: the dying source is no longer the observer's to leave.
                *Entry = nullptr;
                FHasBlanks = true;
                EraseSource(Observer->d->FSources, Data);
                Observer->SourceDestroyed(Data);
                break;
            }
        }
        if (Entry == Last)
            break;
    }
}

void TZQGridDataPrivate::EndWalk()
{
    if (--FWalkDepth == 0 && FHasBlanks) {
        FGrids.remove(nullptr);
        FObservers.remove(nullptr);
        FHasBlanks = false;
    }
}

// The grid ----------------------------------------------------------------------------------------

TZQDataGrid::TZQDataGrid(QWidget* Parent) : TCustomGrid(Parent), d(std::make_unique<TZQDataGridPrivate>())
{
    SetDefaultRowHeight(DataGridRowHeight);
    SetColCount(FixedCols() + 1);
    SetRowCount(FixedRows() + 1);
    d->FColumns = new TZQDataGridColumns(this);
    SetOptions(Options() | goColSizing);
}

TZQDataGrid::~TZQDataGrid()
{
    delete d->FColumns;
    d->FColumns = nullptr;
    if (d->FData)
        d->FData->RemoveGrid(this);
}

namespace {

struct TCellText {
    QString Text;
    TAlignment Alignment = taLeftJustify;
};

// What a cell of a column shows: the title in the title row, a record's datum below the fixed rows.
TCellText CellTextOf(const TZQDataGrid& Grid, const TZQGridData* Data, const TZQDataGridColumn& Column,
                     int ARow)
{
    if (ARow == 0 && Grid.FixedRows() >= 1)
        return {Column.Title(), Column.TitleAlignment()};
    if (Data && Column.DataIndex() >= 0) {
        const int Record = ARow - Grid.FixedRows();
        if (Record >= 0 && Record < Data->GetRecordCount())
            return {Data->GetDataText(Record, Column.DataIndex()), Column.DataAlignment()};
    }
    return {};
}

} // namespace

void TZQDataGrid::virtual_hook(int Id, void* Data)
{
    if (Id == CellTextHook) {
        auto& Query = *static_cast<TCellTextQuery*>(Data);
        if (Query.ACol < d->FColumns->Count())
            Query.Text = CellTextOf(*this, d->FData, *d->FColumns->GetItem(Query.ACol), Query.ARow).Text;
        return;
    }
    if (Id == TextMarginsHook) {
        auto& Query = *static_cast<TTextMarginsQuery*>(Data);
        Query.Left = TextMargin;
        Query.Right = TextMargin;
        return;
    }
    TCustomGrid::virtual_hook(Id, Data);
}

void TZQDataGrid::Loaded()
{
    TCustomGrid::Loaded();
    for (int I = 0; I < d->FColumns->Count(); ++I)
        SetColWidths(I, d->FColumns->GetItem(I)->GetWidth());
}

QString TZQDataGrid::ColumnList() const
{
    QJsonArray List;
    for (int I = 0; I < d->FColumns->Count(); ++I) {
        const TZQDataGridColumn* Column = d->FColumns->GetItem(I);
        QJsonObject Item;
        if (!Column->Title().isEmpty())
            Item.insert(QStringLiteral("Title"), Column->Title());
        if (Column->TitleAlignment() != taLeftJustify)
            Item.insert(QStringLiteral("TitleAlignment"), int(Column->TitleAlignment()));
        if (Column->DataAlignment() != taLeftJustify)
            Item.insert(QStringLiteral("DataAlignment"), int(Column->DataAlignment()));
        if (Column->DataIndex() != -1)
            Item.insert(QStringLiteral("DataIndex"), Column->DataIndex());
        if (Column->GetWidth() != 0)
            Item.insert(QStringLiteral("Width"), Column->GetWidth());
        List.append(Item);
    }
    return QString::fromUtf8(QJsonDocument(List).toJson(QJsonDocument::Compact));
}

void TZQDataGrid::SetColumnList(const QString& Value)
{
    // A list that cannot be read (a typo in a designer's text field) leaves the columns alone and
    // says so, instead of emptying the grid without a word.
    QJsonParseError Error{};
    // An empty text is an empty list, as a program clears the columns.
    const QJsonDocument Document =
        Value.trimmed().isEmpty() ? QJsonDocument(QJsonArray()) : QJsonDocument::fromJson(Value.toUtf8(), &Error);
    QString Fault = Error.error != QJsonParseError::NoError ? Error.errorString()
                    : !Document.isArray()                    ? FrameworkString(SNotAColumnList)
                                                             : QString();
    if (Fault.isEmpty())
        for (const QJsonValue& Entry : Document.array())
            if (!Entry.isObject())
                Fault = FrameworkString(SNotAColumnList);
    if (!Fault.isEmpty()) {
        qCWarning(DataGridLog).noquote() << FrameworkString(SBadColumnList).arg(objectName(), Fault);
        return;
    }
    const QJsonArray List = Document.array();
    TZQDataGridColumns Streamed(nullptr);
    QList<int> Widths;
    for (const QJsonValue& Entry : List) {
        const QJsonObject Item = Entry.toObject();
        TZQDataGridColumn* Column = Streamed.Add();
        Column->SetTitle(Item.value(QStringLiteral("Title")).toString());
        Column->SetTitleAlignment(TAlignment(std::clamp(Item.value(QStringLiteral("TitleAlignment")).toInt(), 0, 2)));
        Column->SetDataAlignment(TAlignment(std::clamp(Item.value(QStringLiteral("DataAlignment")).toInt(), 0, 2)));
        Column->SetDataIndex(Item.value(QStringLiteral("DataIndex")).toInt(-1));
        Widths.append(Item.value(QStringLiteral("Width")).toInt(0));
    }
    // As a grid read from a form: the columns' own widths are ignored while loading, the grid's
    // streamed widths apply, and Loaded hands them back to the columns. Only a form that gives
    // the grid no widths of its own leaves them to the columns.
    BeginLoading();
    SetColumns(&Streamed);
    if (!ColWidthsStreamed())
        for (int I = 0; I < Widths.size() && I < ColCount(); ++I)
            if (Widths[I] > 0)
                SetColWidths(I, Widths[I]);
    Loaded();
}

TZQGridData* TZQDataGrid::Data() const
{
    return d->FData;
}

void TZQDataGrid::SetData(TZQGridData* Value)
{
    if (Value == d->FData)
        return;
    if (d->FData)
        d->FData->RemoveGrid(this);
    // Cleared before anything else, so that a grid a dying source lets go never asks it again.
    d->FData = nullptr;
    if (Value)
        Value->AddGrid(this);
    d->FData = Value;
    FullUpdate();
}

int TZQDataGrid::GetDataRow() const
{
    return Row() - FixedRows();
}

void TZQDataGrid::SetDataRow(int Value)
{
    // A record whose row would lie past INT_MAX has no row, as a negative one has none.
    SetRow(Value > INT_MAX - FixedRows() ? -1 : Value + FixedRows());
}

TZQDataGridColumns* TZQDataGrid::Columns() const
{
    return d->FColumns;
}

void TZQDataGrid::SetColumns(TZQDataGridColumns* Value)
{
    d->FColumns->Assign(Value);
}

bool TZQDataGrid::FollowNewRecords() const
{
    return d->FFollowNewRecords;
}

void TZQDataGrid::SetFollowNewRecords(bool Value)
{
    d->FFollowNewRecords = Value;
}

void TZQDataGrid::SetFixedRows(int Value)
{
    if (Value >= RowCount())
        SetRowCount(qint64(Value) + 1);
    TCustomGrid::SetFixedRows(Value);
    UpdateRecordCount();
}

void TZQDataGrid::FullUpdate()
{
    UpdateRecordCount();
    InvalidateGrid();
    GridAccessibility::Reset(*this);
}

void TZQDataGrid::UpdateRecordCount()
{
    const int Records = d->FData ? d->FData->GetRecordCount() : 0;
    // Beyond one fixed row, a source of the largest count has more rows than the grid can hold:
    // it keeps as many as fit.
    SetRowCount(std::max(Records, 1) + qint64(FixedRows()));
}

void TZQDataGrid::RecordInserted(int Index)
{
    // Before the counts follow, so that the cells a screen reader holds move with their records.
    GridAccessibility::RowsInserted(*this, qint64(Index) + FixedRows(), 1);
    UpdateRecordCount();
    if (d->FFollowNewRecords)
        SetDataRow(Index);
    else if (Index <= GetDataRow() && Row() < RowCount() - 1)
        SetRow(Row() + 1);
    RepaintIfVisible(Index);
}

void TZQDataGrid::RecordRemoved(int Index)
{
    GridAccessibility::RowsRemoved(*this, qint64(Index) + FixedRows(), 1);
    if (Index <= GetDataRow() && GetDataRow() != 0)
        SetRow(Row() - 1);
    UpdateRecordCount();
    RepaintIfVisible(Index);
}

void TZQDataGrid::RecordChanged(int Index)
{
    if (Index <= INT_MAX - FixedRows()) {
        InvalidateRow(Index + FixedRows());
        GridAccessibility::CellsChanged(*this, -1, Index + FixedRows());
    }
}

// A record inserted or removed above the end of the fully visible rows moves what they show.
void TZQDataGrid::RepaintIfVisible(int Index)
{
    if (qint64(Index) + FixedRows() < qint64(TopRow()) + VisibleRowCount())
        InvalidateGrid();
}

void TZQDataGrid::DrawCell(int ACol, int ARow, const QRect& Rect, TGridDrawState State)
{
    if (DefaultDrawing() && ACol < d->FColumns->Count())
        DrawCellText(*d->FColumns->GetItem(ACol), ARow, Rect);
    if (d->FOnDrawCell)
        d->FOnDrawCell(this, ACol, ARow, Rect, State);
}

const TDrawCellEvent& TZQDataGrid::OnDrawCell() const
{
    return d->FOnDrawCell;
}

void TZQDataGrid::SetOnDrawCell(const TDrawCellEvent& Value)
{
    d->FOnDrawCell = Value;
}

void TZQDataGrid::DrawCellText(const TZQDataGridColumn& Column, int ARow, const QRect& Rect)
{
    auto [Text, Alignment] = CellTextOf(*this, d->FData, Column, ARow);
    if (Text.isEmpty())
        return;
    TGridCanvas& Canvas = this->Canvas();
    int TextWidth = Canvas.TextWidth(Text);
    const int TextHeight = Canvas.TextHeight(Text);
    // Only a text wider than its room pays for eliding.
    if (const int Room = Rect.width() - 2 * TextMargin; TextWidth > Room && TextElideMode() != Qt::ElideNone) {
        Text = QFontMetrics(Canvas.Font()).elidedText(Text, TextElideMode(), std::max(Room, 0));
        TextWidth = Canvas.TextWidth(Text);
    }
    // Right to left the base mirrors the alignment.
    const Qt::Alignment Along = Alignment == taRightJustify ? Qt::AlignRight
                                : Alignment == taCenter     ? Qt::AlignHCenter
                                                            : Qt::AlignLeft;
    const int X = AlignedTextX(Rect, TextWidth, Along, TextMargin);
    const int Bottom = Rect.y() + Rect.height(); // just below the cell
    Canvas.TextRect(Rect, X, (Rect.y() + Bottom - TextHeight) / 2, Text);
}

// Columns -----------------------------------------------------------------------------------------

TZQDataGridColumn::TZQDataGridColumn(TCollection* Collection)
    : TCollectionItem(Collection), d(std::make_unique<TZQDataGridColumnPrivate>())
{
}

TZQDataGridColumn::~TZQDataGridColumn() = default;

void TZQDataGridColumn::virtual_hook(int Id, void* Data)
{
    TCollectionItem::virtual_hook(Id, Data);
}

QString TZQDataGridColumn::GetDisplayName() const
{
    return d->FTitle.isEmpty() ? QStringLiteral("Column ") + QString::number(Index()) : d->FTitle;
}

void TZQDataGridColumn::Assign(const TCollectionItem* Source)
{
    const auto* Column = qobject_cast<const TZQDataGridColumn*>(Source);
    if (!Column) {
        TCollectionItem::Assign(Source);
        return;
    }
    SetTitle(Column->Title());
    SetTitleAlignment(Column->TitleAlignment());
    SetDataAlignment(Column->DataAlignment());
    SetDataIndex(Column->DataIndex());
    // A column without a grid has no width to give.
    if (Column->Grid())
        SetWidth(Column->GetWidth());
}

const QString& TZQDataGridColumn::Title() const
{
    return d->FTitle;
}

void TZQDataGridColumn::SetTitle(const QString& Value)
{
    if (Value == d->FTitle)
        return;
    d->FTitle = Value;
    Changed(false);
}

TAlignment TZQDataGridColumn::TitleAlignment() const
{
    return d->FTitleAlignment;
}

void TZQDataGridColumn::SetTitleAlignment(TAlignment Value)
{
    if (Value == d->FTitleAlignment)
        return;
    d->FTitleAlignment = Value;
    Changed(false);
}

TAlignment TZQDataGridColumn::DataAlignment() const
{
    return d->FDataAlignment;
}

void TZQDataGridColumn::SetDataAlignment(TAlignment Value)
{
    if (Value == d->FDataAlignment)
        return;
    d->FDataAlignment = Value;
    Changed(false);
}

int TZQDataGridColumn::DataIndex() const
{
    return d->FDataIndex;
}

void TZQDataGridColumn::SetDataIndex(int Value)
{
    if (Value == d->FDataIndex)
        return;
    d->FDataIndex = Value;
    Changed(false);
}

TZQDataGrid* TZQDataGridColumn::Grid() const
{
    const auto* Columns = qobject_cast<const TZQDataGridColumns*>(Collection());
    return Columns ? Columns->GetOwner() : nullptr;
}

int TZQDataGridColumn::GetWidth() const
{
    const TZQDataGrid* Owner = Grid();
    return Owner ? Owner->ColWidths(Index()) : 0;
}

void TZQDataGridColumn::SetWidth(int Value)
{
    // While a form is read, the grid's own streamed widths count, not the columns'.
    TZQDataGrid* Owner = Grid();
    if (!Owner || Owner->Loading())
        return;
    // Inside a bulk change the grid has not yet been given the columns added in it.
    if (Index() >= Owner->ColCount())
        Owner->SetColCount(Index() + 1);
    Owner->SetColWidths(Index(), Value);
}

TZQDataGridColumns::TZQDataGridColumns(TZQDataGrid* Grid)
    : TCollection(&CreateCollectionItem<TZQDataGridColumn>), d(std::make_unique<TZQDataGridColumnsPrivate>(Grid))
{
}

TZQDataGridColumns::~TZQDataGridColumns() = default;

TZQDataGrid* TZQDataGridColumns::GetOwner() const
{
    return d->FGrid;
}

void TZQDataGridColumns::Update(TCollectionItem* Item)
{
    if (!d->FGrid)
        return;
    if (Item) {
        d->FGrid->InvalidateCol(Item->Index());
        return;
    }
    d->FGrid->SetColCount(std::max(Count(), d->FGrid->FixedCols() + 1));
    d->FGrid->InvalidateGrid();
}

void ZQDataGrid::Register()
{
    RegisterComponents(QStringLiteral("ZQ"), {QStringLiteral("TZQDataGrid"), QStringLiteral("zq/ZQDataGrid.h"),
                                              [](QWidget* Parent) -> QWidget* { return new TZQDataGrid(Parent); },
                                              QStringLiteral("Shows the records of a shared data source in titled columns")});
}
