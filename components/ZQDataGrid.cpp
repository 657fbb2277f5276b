#include "components/ZQDataGrid.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

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

} // namespace

// The data source ---------------------------------------------------------------------------------

TZQGridData::TZQGridData() = default;

TZQGridData::~TZQGridData()
{
    ForEachGrid(&TZQGridData::NullDataHelper);
}

void TZQGridData::AddGrid(TZQDataGrid* Grid)
{
    FGrids.push_back(Grid);
}

void TZQGridData::RemoveGrid(TZQDataGrid* Grid)
{
    if (FWalkDepth == 0) {
        FGrids.remove(Grid);
        return;
    }
    for (TZQDataGrid*& Entry : FGrids)
        if (Entry == Grid) {
            Entry = nullptr;
            FHasBlanks = true;
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
    ++FUpdateCount;
}

void TZQGridData::EndUpdate()
{
    --FUpdateCount;
    if (FUpdateCount == 0)
        ForEachGrid(&TZQGridData::FullUpdateHelper);
}

void TZQGridData::NullDataHelper(TZQDataGrid* Grid)
{
    Grid->SetData(nullptr);
}

void TZQGridData::InsertedHelper(TZQDataGrid* Grid)
{
    Grid->RecordInserted(FPendingRecord);
}

void TZQGridData::RemovedHelper(TZQDataGrid* Grid)
{
    Grid->RecordRemoved(FPendingRecord);
}

void TZQGridData::ChangedHelper(TZQDataGrid* Grid)
{
    Grid->RecordChanged(FPendingRecord);
}

void TZQGridData::FullUpdateHelper(TZQDataGrid* Grid)
{
    Grid->FullUpdate();
}

void TZQGridData::Notify(int Index, TStep Step)
{
    if (FUpdateCount != 0)
        return;
    FPendingRecord = Index;
    ForEachGrid(Step);
}

void TZQGridData::ForEachGrid(TStep Step)
{
    if (FGrids.empty())
        return;
    // Grids attached during the walk were refreshed fully when they came, so they are not told.
    const auto Last = std::prev(FGrids.end());
    // A grid's handler may notify again from inside its step; the grids after it still get this
    // walk's record index.
    const int Pending = FPendingRecord;
    ++FWalkDepth;
    struct TWalk {
        TZQGridData* Data;
        ~TWalk() { Data->EndWalk(); }
    } Walk{this};
    for (auto Entry = FGrids.begin();; ++Entry) {
        if (*Entry) {
            FPendingRecord = Pending;
            (this->*Step)(*Entry);
        }
        if (Entry == Last)
            break;
    }
}

void TZQGridData::EndWalk()
{
    if (--FWalkDepth == 0 && FHasBlanks) {
        FGrids.remove(nullptr);
        FHasBlanks = false;
    }
}

// The grid ----------------------------------------------------------------------------------------

TZQDataGrid::TZQDataGrid(QWidget* Parent) : TCustomGrid(Parent)
{
    SetDefaultRowHeight(DataGridRowHeight);
    SetColCount(FixedCols() + 1);
    SetRowCount(FixedRows() + 1);
    FColumns = new TZQDataGridColumns(this);
    SetOptions(Options() | goColSizing);
}

TZQDataGrid::~TZQDataGrid()
{
    delete FColumns;
    FColumns = nullptr;
    if (FData)
        FData->RemoveGrid(this);
}

void TZQDataGrid::Loaded()
{
    TCustomGrid::Loaded();
    for (int I = 0; I < FColumns->Count(); ++I)
        SetColWidths(I, FColumns->GetItem(I)->GetWidth());
}

QString TZQDataGrid::ColumnList() const
{
    QJsonArray List;
    for (int I = 0; I < FColumns->Count(); ++I) {
        const TZQDataGridColumn* Column = FColumns->GetItem(I);
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

void TZQDataGrid::SetData(TZQGridData* Value)
{
    if (Value == FData)
        return;
    if (FData)
        FData->RemoveGrid(this);
    // Cleared before anything else, so that a grid a dying source lets go never asks it again.
    FData = nullptr;
    if (Value)
        Value->AddGrid(this);
    FData = Value;
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

void TZQDataGrid::SetColumns(TZQDataGridColumns* Value)
{
    FColumns->Assign(Value);
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
}

void TZQDataGrid::UpdateRecordCount()
{
    const int Records = FData ? FData->GetRecordCount() : 0;
    // Beyond one fixed row, a source of the largest count has more rows than the grid can hold:
    // it keeps as many as fit.
    SetRowCount(std::max(Records, 1) + qint64(FixedRows()));
}

void TZQDataGrid::RecordInserted(int Index)
{
    UpdateRecordCount();
    if (FFollowNewRecords)
        SetDataRow(Index);
    else if (Index <= GetDataRow() && Row() < RowCount() - 1)
        SetRow(Row() + 1);
    RepaintIfVisible(Index);
}

void TZQDataGrid::RecordRemoved(int Index)
{
    if (Index <= GetDataRow() && GetDataRow() != 0)
        SetRow(Row() - 1);
    UpdateRecordCount();
    RepaintIfVisible(Index);
}

void TZQDataGrid::RecordChanged(int Index)
{
    if (Index <= INT_MAX - FixedRows())
        InvalidateRow(Index + FixedRows());
}

// A record inserted or removed above the end of the fully visible rows moves what they show.
void TZQDataGrid::RepaintIfVisible(int Index)
{
    if (qint64(Index) + FixedRows() < qint64(TopRow()) + VisibleRowCount())
        InvalidateGrid();
}

void TZQDataGrid::DrawCell(int ACol, int ARow, const QRect& Rect, TGridDrawState State)
{
    if (DefaultDrawing() && ACol < FColumns->Count())
        DrawCellText(*FColumns->GetItem(ACol), ARow, Rect);
    if (OnDrawCell)
        OnDrawCell(this, ACol, ARow, Rect, State);
}

void TZQDataGrid::DrawCellText(const TZQDataGridColumn& Column, int ARow, const QRect& Rect)
{
    QString Text;
    TAlignment Alignment = taLeftJustify;
    if (ARow == 0 && FixedRows() >= 1) {
        Text = Column.Title();
        Alignment = Column.TitleAlignment();
    } else if (FData && Column.DataIndex() >= 0) {
        const int Record = ARow - FixedRows();
        if (Record >= 0 && Record < FData->GetRecordCount()) {
            Text = FData->GetDataText(Record, Column.DataIndex());
            Alignment = Column.DataAlignment();
        }
    }
    if (Text.isEmpty())
        return;
    TGridCanvas& Canvas = this->Canvas();
    const int TextWidth = Canvas.TextWidth(Text);
    const int TextHeight = Canvas.TextHeight(Text);
    const int CellWidth = Rect.width();
    int Offset = TextMargin;
    if (Alignment == taRightJustify)
        Offset = CellWidth - TextWidth - TextMargin;
    else if (Alignment == taCenter)
        Offset = (CellWidth - TextWidth) / 2;
    const int Bottom = Rect.y() + Rect.height(); // just below the cell
    Canvas.TextRect(Rect, Rect.x() + Offset, (Rect.y() + Bottom - TextHeight) / 2, Text);
}

// Columns -----------------------------------------------------------------------------------------

TZQDataGridColumn::TZQDataGridColumn(TCollection* Collection) : TCollectionItem(Collection) {}

QString TZQDataGridColumn::GetDisplayName() const
{
    return FTitle.isEmpty() ? QStringLiteral("Column ") + QString::number(Index()) : FTitle;
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

void TZQDataGridColumn::SetTitle(const QString& Value)
{
    if (Value == FTitle)
        return;
    FTitle = Value;
    Changed(false);
}

void TZQDataGridColumn::SetTitleAlignment(TAlignment Value)
{
    if (Value == FTitleAlignment)
        return;
    FTitleAlignment = Value;
    Changed(false);
}

void TZQDataGridColumn::SetDataAlignment(TAlignment Value)
{
    if (Value == FDataAlignment)
        return;
    FDataAlignment = Value;
    Changed(false);
}

void TZQDataGridColumn::SetDataIndex(int Value)
{
    if (Value == FDataIndex)
        return;
    FDataIndex = Value;
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
    : TCollection(&CreateCollectionItem<TZQDataGridColumn>), FGrid(Grid)
{
}

void TZQDataGridColumns::Update(TCollectionItem* Item)
{
    if (!FGrid)
        return;
    if (Item) {
        FGrid->InvalidateCol(Item->Index());
        return;
    }
    FGrid->SetColCount(std::max(Count(), FGrid->FixedCols() + 1));
    FGrid->InvalidateGrid();
}

void ZQDataGrid::Register()
{
    RegisterComponents(QStringLiteral("ZQ"), {QStringLiteral("TZQDataGrid"), QStringLiteral("zq/ZQDataGrid.h"),
                                              [](QWidget* Parent) -> QWidget* { return new TZQDataGrid(Parent); },
                                              QStringLiteral("Shows the records of a shared data source in titled columns")});
}
