// The data grids side by side with Qt's model/view: observers of a source besides its grids, a
// table model over a source, and a source over an item model, each beside a QTableView.
#include "TestSupport.h"
#include "components/ZQDataGrid.h"
#include "components/ZQGridDataModel.h"
#include "components/ZQGridDataObserver.h"
#include "components/ZQItemModelData.h"
#include "framework/GridTestHooks.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QStringListModel>
#include <QTableView>
#include <QTest>

#include <functional>
#include <memory>

namespace {

// Records in memory, each text naming the record's id, changed first and notified after.
class TListSource : public TZQGridData {
public:
    int GetRecordCount() const override { return int(Ids.size()); }
    QString GetDataText(int Record, int DataIndex) const override
    {
        return QStringLiteral("r%1.%2").arg(Ids[Record]).arg(DataIndex);
    }
    void Insert(int Index)
    {
        Ids.insert(Index, NextId++);
        RecordInserted(Index);
    }
    void Remove(int Index)
    {
        Ids.removeAt(Index);
        RecordRemoved(Index);
    }
    void Fill(int Count)
    {
        BeginUpdate();
        for (int I = 0; I < Count; ++I)
            Ids.append(NextId++);
        EndUpdate();
    }
    QList<int> Ids;
    int NextId = 0;
};

// Writes what it is told into a log shared with the grids' repaints, and runs a test's action.
class TLogObserver : public TZQGridDataObserver {
public:
    TLogObserver(QString Name, QStringList* Log) : FName(std::move(Name)), FLog(Log) {}

    void RecordInserted(TZQGridData*, int Index) override { Tell(QStringLiteral("inserted %1").arg(Index)); }
    void RecordRemoved(TZQGridData*, int Index) override { Tell(QStringLiteral("removed %1").arg(Index)); }
    void RecordChanged(TZQGridData*, int Index) override { Tell(QStringLiteral("changed %1").arg(Index)); }
    void UpdateBegun(TZQGridData*) override { Tell(QStringLiteral("begun")); }
    void UpdateEnded(TZQGridData*) override { Tell(QStringLiteral("ended")); }
    void SourceDestroyed(TZQGridData* Data) override
    {
        Tell(QStringLiteral("destroyed"));
        Destroyed = Data;
    }

    std::function<void()> OnTold;
    TZQGridData* Destroyed = nullptr;

private:
    void Tell(const QString& What)
    {
        *FLog << FName + QLatin1Char(' ') + What;
        if (OnTold)
            OnTold();
    }
    QString FName;
    QStringList* FLog;
};

// What an observer was told, counted.
class TCountingObserver : public TZQGridDataObserver {
public:
    void RecordInserted(TZQGridData*, int) override { ++Inserted; }
    void RecordRemoved(TZQGridData*, int) override { ++Removed; }
    void RecordChanged(TZQGridData*, int) override { ++Changed; }
    void UpdateBegun(TZQGridData*) override { ++Begun; }
    void UpdateEnded(TZQGridData*) override { ++Ended; }
    int Inserted = 0, Removed = 0, Changed = 0, Begun = 0, Ended = 0;
};

std::unique_ptr<TZQDataGrid> ShownGrid(int Columns = 2)
{
    auto Grid = std::make_unique<TZQDataGrid>();
    QFont Font = Grid->font();
    Font.setPixelSize(11);
    Grid->setFont(Font);
    Grid->SetScrollBars(TScrollStyle::ssNone);
    Grid->SetClientSize(320, 170);
    for (int I = 0; I < Columns; ++I) {
        TZQDataGridColumn* Column = Grid->Columns()->Add();
        Column->SetTitle(QStringLiteral("T%1").arg(I));
        Column->SetDataIndex(I);
    }
    Grid->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(Grid.get()));
    return Grid;
}

// The whole-grid repaints a grid asks for, and every repaint into a shared log by name.
class TRepaints {
public:
    TRepaints(TZQDataGrid& Grid, QString Name = QString(), QStringList* Log = nullptr) : FGrid(Grid)
    {
        TGridTestHooks::OnInvalidateRect(Grid) = [this, Name, Log](const QRect& Rect) {
            if (Rect == QRect(QPoint(0, 0), FGrid.ClientSize()))
                ++Whole;
            ++All;
            // A change may repaint a grid in several parts: one entry for them.
            if (Log && (Log->isEmpty() || Log->back() != Name + QStringLiteral(" repaint")))
                *Log << Name + QStringLiteral(" repaint");
        };
    }
    ~TRepaints() { TGridTestHooks::OnInvalidateRect(FGrid) = nullptr; }
    int Whole = 0;
    int All = 0;

private:
    TZQDataGrid& FGrid;
};

// Collects what Qt's model tester finds wrong, in place of its warnings.
class TModelTesterFindings {
public:
    TModelTesterFindings() { FPrevious = qInstallMessageHandler(&TModelTesterFindings::Handle); }
    ~TModelTesterFindings() { qInstallMessageHandler(FPrevious); }
    static QStringList& Found()
    {
        static QStringList List;
        return List;
    }

private:
    static void Handle(QtMsgType Type, const QMessageLogContext& Context, const QString& Message)
    {
        if (Type != QtDebugMsg && Context.category && QByteArray(Context.category).startsWith("qt.modeltest"))
            Found() << Message;
    }
    QtMessageHandler FPrevious = nullptr;
};

QStandardItemModel* RowsModel(QObject* Parent, int Rows, int Columns = 2, int FirstId = 0)
{
    auto* Model = new QStandardItemModel(Rows, Columns, Parent);
    for (int Row = 0; Row < Rows; ++Row)
        for (int Column = 0; Column < Columns; ++Column)
            Model->setItem(Row, Column, new QStandardItem(QStringLiteral("m%1.%2").arg(FirstId + Row).arg(Column)));
    return Model;
}

// The text of the current record of a grid, column 0: the record it stands on.
QString CurrentOf(const TZQDataGrid& Grid)
{
    return Grid.Data()->GetDataText(Grid.DataRow(), 0);
}

} // namespace

// Observers besides the grids ---------------------------------------------------------------------

TEST(GridDataObservers, AreToldAfterTheGridsInEachWalkAndOnlyOfWhatTheGridsAreTold)
{
    TListSource Source;
    Source.Fill(5);
    auto Grid = ShownGrid();
    Grid->SetData(&Source);
    QStringList Log;
    TRepaints Repaints(*Grid, QStringLiteral("grid"), &Log);
    TLogObserver First(QStringLiteral("first"), &Log);
    TLogObserver Second(QStringLiteral("second"), &Log);
    Source.AddObserver(&First);
    Source.AddObserver(&Second);

    struct TStep {
        const char* Name;
        std::function<void()> Action;
        QStringList Expected;
    };
    const TStep Steps[] = {
        {"a change", [&] { Source.RecordChanged(2); }, {"grid repaint", "first changed 2", "second changed 2"}},
        {"an insertion", [&] { Source.Insert(1); }, {"grid repaint", "first inserted 1", "second inserted 1"}},
        {"a removal", [&] { Source.Remove(0); }, {"grid repaint", "first removed 0", "second removed 0"}},
        {"the outermost bracket opened", [&] { Source.BeginUpdate(); }, {"first begun", "second begun"}},
        {"an inner bracket and a notification inside", [&] {
             Source.BeginUpdate();
             Source.Insert(0);
             Source.RecordChanged(0);
             Source.EndUpdate();
         }, {}},
        {"the outermost bracket closed", [&] { Source.EndUpdate(); }, {"grid repaint", "first ended", "second ended"}},
    };
    for (const TStep& Step : Steps) {
        Log.clear();
        Step.Action();
        EXPECT_EQ(Log, Step.Expected) << Step.Name;
    }
}

TEST(GridDataObservers, AWalkSurvivesAnObserverRemovingItselfOrAnotherAndOneAddedDuringItWaits)
{
    TListSource Source;
    Source.Fill(5);
    QStringList Log;
    TLogObserver A(QStringLiteral("A"), &Log);
    TLogObserver B(QStringLiteral("B"), &Log);
    TLogObserver C(QStringLiteral("C"), &Log);
    TLogObserver Late(QStringLiteral("late"), &Log);
    for (TLogObserver* Observer : {&A, &B, &C})
        Source.AddObserver(Observer);
    // B takes itself and C out and brings Late in, while A was told already.
    B.OnTold = [&] {
        Source.RemoveObserver(&B);
        Source.RemoveObserver(&C);
        Source.AddObserver(&Late);
    };
    Source.RecordChanged(3);
    EXPECT_EQ(Log, QStringList({"A changed 3", "B changed 3"}));

    B.OnTold = nullptr;
    Log.clear();
    Source.BeginUpdate();
    Source.EndUpdate();
    EXPECT_EQ(Log, QStringList({"A begun", "late begun", "A ended", "late ended"}));

    // An observer destroyed first is forgotten by its source.
    auto Gone = std::make_unique<TLogObserver>(QStringLiteral("gone"), &Log);
    Source.AddObserver(Gone.get());
    Gone.reset();
    Log.clear();
    Source.RecordChanged(0);
    EXPECT_EQ(Log, QStringList({"A changed 0", "late changed 0"}));
}

TEST(GridDataObservers, ADyingSourceTellsEachObserverAfterItsGridsAndIsNotLeftByThemLater)
{
    QStringList Log;
    auto Grid = ShownGrid();
    TLogObserver A(QStringLiteral("A"), &Log);
    auto B = std::make_unique<TLogObserver>(QStringLiteral("B"), &Log);
    {
        TListSource Source;
        Source.Fill(3);
        Grid->SetData(&Source);
        Source.AddObserver(&A);
        Source.AddObserver(B.get());
        // Told of the end, A checks that the grid was let go first.
        A.OnTold = [&] { Log << (Grid->Data() ? "grid still attached" : "grid detached"); };
    }
    EXPECT_EQ(Log, QStringList({"A destroyed", "grid detached", "B destroyed"}));
    EXPECT_NE(A.Destroyed, nullptr);
    EXPECT_EQ(Grid->RowCount(), 2);
    // Destroying an observer after its source touches nothing of it.
    B.reset();
}

// A table model over a source --------------------------------------------------------------------

TEST(GridDataModel, FollowsEveryChangeOfTheSourceAsViewsAndQtsModelTesterExpect)
{
    TModelTesterFindings Findings;
    TModelTesterFindings::Found().clear();
    TListSource Source;
    Source.Fill(4);
    auto Grid = ShownGrid();
    Grid->SetData(&Source);
    TZQGridDataModel Model(&Source, 3);
    QAbstractItemModelTester Tester(&Model, QAbstractItemModelTester::FailureReportingMode::Warning);
    QTableView View;
    View.setModel(&Model);
    QSortFilterProxyModel Sorted;
    Sorted.setSourceModel(&Model);
    Sorted.sort(0, Qt::DescendingOrder);
    QSignalSpy Inserted(&Model, &QAbstractItemModel::rowsInserted);
    QSignalSpy Removed(&Model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy Changed(&Model, &QAbstractItemModel::dataChanged);
    QSignalSpy Reset(&Model, &QAbstractItemModel::modelReset);
    // Each signal must come with the row count of after the change, never before it.
    QList<int> CountsAtSignals;
    for (auto Signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        QObject::connect(&Model, Signal, &Model, [&] { CountsAtSignals << Model.rowCount(); });

    EXPECT_EQ(Model.rowCount(), 4);
    EXPECT_EQ(Model.columnCount(), 3);
    EXPECT_EQ(Model.index(2, 1).data().toString(), QStringLiteral("r2.1"));

    Source.Insert(1);
    ASSERT_EQ(Inserted.count(), 1);
    EXPECT_EQ(Inserted[0][1].toInt(), 1);
    EXPECT_EQ(Inserted[0][2].toInt(), 1);
    EXPECT_EQ(Model.index(1, 0).data().toString(), QStringLiteral("r4.0"));
    EXPECT_EQ(Sorted.index(0, 0).data().toString(), QStringLiteral("r4.0"));
    EXPECT_EQ(View.verticalHeader()->count(), 5);

    Source.Remove(0);
    ASSERT_EQ(Removed.count(), 1);
    EXPECT_EQ(Removed[0][1].toInt(), 0);
    EXPECT_EQ(View.verticalHeader()->count(), 4);
    EXPECT_EQ(CountsAtSignals, QList<int>({5, 4}));

    Source.RecordChanged(2);
    ASSERT_EQ(Changed.count(), 1);
    EXPECT_EQ(Changed[0][0].value<QModelIndex>(), Model.index(2, 0));
    EXPECT_EQ(Changed[0][1].value<QModelIndex>(), Model.index(2, 2));

    // A bracket is one reset, whatever happened inside it; the model's count holds until its end.
    Source.BeginUpdate();
    Source.Insert(0);
    Source.Insert(0);
    Source.Remove(3);
    EXPECT_EQ(Model.rowCount(), 4);
    Source.EndUpdate();
    EXPECT_EQ(Reset.count(), 1);
    EXPECT_EQ(Inserted.count(), 1);
    EXPECT_EQ(Model.rowCount(), 5);
    EXPECT_EQ(View.verticalHeader()->count(), 5);
    EXPECT_EQ(Sorted.rowCount(), 5);
    EXPECT_EQ(Grid->RowCount(), 6);

    EXPECT_TRUE(TModelTesterFindings::Found().isEmpty()) << TModelTesterFindings::Found().join(QLatin1Char('\n')).toStdString();
}

TEST(GridDataModel, ASourceDestroyedUnderTheModelLeavesItEmptyAndAModelDestroyedFirstIsForgotten)
{
    auto Source = std::make_unique<TListSource>();
    Source->Fill(3);
    TZQGridDataModel Model(Source.get(), 2);
    QTableView View;
    View.setModel(&Model);
    QSignalSpy Reset(&Model, &QAbstractItemModel::modelReset);
    {
        TZQGridDataModel Earlier(Source.get(), 1);
    }
    Source->Insert(0);
    EXPECT_EQ(Model.rowCount(), 4);
    Source.reset();
    EXPECT_EQ(Reset.count(), 1);
    EXPECT_EQ(Model.Data(), nullptr);
    EXPECT_EQ(Model.rowCount(), 0);
    EXPECT_EQ(View.verticalHeader()->count(), 0);
    EXPECT_FALSE(Model.index(0, 0).isValid());
}

TEST(GridDataModel, HeadersAreSectionNumbersUntilAColumnIsGivenATitle)
{
    TListSource Source;
    TZQGridDataModel Model(&Source, 2);
    QSignalSpy HeaderChanged(&Model, &QAbstractItemModel::headerDataChanged);
    EXPECT_EQ(Model.headerData(0, Qt::Horizontal).toInt(), 1);
    EXPECT_TRUE(Model.setHeaderData(1, Qt::Horizontal, QStringLiteral("Name")));
    EXPECT_EQ(Model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Name"));
    EXPECT_EQ(HeaderChanged.count(), 1);
    EXPECT_FALSE(Model.setHeaderData(2, Qt::Horizontal, QStringLiteral("none")));
    EXPECT_FALSE(Model.setHeaderData(0, Qt::Vertical, QStringLiteral("row")));
    EXPECT_FALSE(Model.flags(Model.index(0, 0)).testFlag(Qt::ItemIsEditable));
}

// A source over an item model ----------------------------------------------------------------------

namespace {

// A model beside a QTableView, a source over it and a grid showing the source, its current record
// chosen by the test.
struct TBridge {
    explicit TBridge(int Rows)
    {
        Model = RowsModel(&Owner, Rows);
        Data = std::make_unique<TZQItemModelData>(Model);
        View.setModel(Model);
        Grid = ShownGrid();
        Grid->SetData(Data.get());
        Data->AddObserver(&Told);
    }
    QObject Owner;
    QStandardItemModel* Model = nullptr;
    std::unique_ptr<TZQItemModelData> Data;
    QTableView View;
    std::unique_ptr<TZQDataGrid> Grid;
    TCountingObserver Told;
};

QList<QStandardItem*> NewRow(int Id)
{
    return {new QStandardItem(QStringLiteral("m%1.0").arg(Id)), new QStandardItem(QStringLiteral("m%1.1").arg(Id))};
}

} // namespace

TEST(ItemModelData, InsertsPassOnOneByOneOrAsOneRefreshKeepingTheCurrentRecord)
{
    struct TCase {
        const char* Name;
        int Rows, Current, At, Count;
        bool Follow;
        int Inserted, Refreshes; // as the grids and observers are told
        const char* CurrentAfter;
    };
    const TCase Cases[] = {
        {"one row above the current", 10, 5, 2, 1, false, 1, 0, "m5.0"},
        {"one row below the current", 10, 5, 8, 1, false, 1, 0, "m5.0"},
        {"20,000 rows at the top", 10, 5, 0, 20000, false, 0, 1, "m5.0"},
        {"three rows at the end", 10, 5, 10, 3, false, 0, 1, "m5.0"},
        {"three rows followed", 10, 5, 2, 3, true, 0, 1, "new"},
        {"three rows into an empty model", 0, 0, 0, 3, false, 0, 1, "m0.0"},
    };
    for (const TCase& Case : Cases) {
        TBridge Bridge(Case.Rows);
        Bridge.Grid->SetFollowNewRecords(Case.Follow);
        if (Case.Rows > 0)
            Bridge.Grid->SetDataRow(Case.Current);
        TRepaints Repaints(*Bridge.Grid);
        if (Case.Count == 1)
            Bridge.Model->insertRow(Case.At, NewRow(100));
        else
            Bridge.Model->insertRows(Case.At, Case.Count);
        EXPECT_EQ(Bridge.Told.Inserted, Case.Inserted) << Case.Name;
        EXPECT_EQ(Bridge.Told.Ended, Case.Refreshes) << Case.Name;
        EXPECT_EQ(Bridge.Grid->RowCount(), Case.Rows + Case.Count + 1) << Case.Name;
        EXPECT_EQ(Bridge.View.verticalHeader()->count(), Case.Rows + Case.Count) << Case.Name;
        // One refresh, and a scroll to the record kept current; not a repaint per row.
        EXPECT_LE(Repaints.Whole, 2) << Case.Name;
        EXPECT_LT(Repaints.All, 10) << Case.Name;
        if (QByteArray(Case.CurrentAfter) == "new") {
            EXPECT_EQ(Bridge.Grid->DataRow(), Case.At) << Case.Name;
        } else if (Case.Rows > 0) {
            EXPECT_EQ(CurrentOf(*Bridge.Grid), QLatin1String(Case.CurrentAfter)) << Case.Name;
        }
    }
}

TEST(ItemModelData, RemovesPassOnOneByOneOrAsOneRefreshKeepingTheCurrentRecordOrTheOneBefore)
{
    struct TCase {
        const char* Name;
        int Current, At, Count;
        int Removed, Refreshes;
        const char* CurrentAfter;
    };
    const TCase Cases[] = {
        {"one row above the current", 5, 2, 1, 1, 0, "m5.0"},
        {"the current row alone", 5, 5, 1, 1, 0, "m4.0"},
        {"four rows above the current", 5, 0, 4, 0, 1, "m5.0"},
        {"four rows around the current", 5, 3, 4, 0, 1, "m2.0"},
        {"the first rows, current among them", 1, 0, 3, 0, 1, "m3.0"},
        {"four rows below the current", 2, 5, 4, 0, 1, "m2.0"},
    };
    for (const TCase& Case : Cases) {
        TBridge Bridge(10);
        Bridge.Grid->SetDataRow(Case.Current);
        Bridge.Model->removeRows(Case.At, Case.Count);
        EXPECT_EQ(Bridge.Told.Removed, Case.Removed) << Case.Name;
        EXPECT_EQ(Bridge.Told.Ended, Case.Refreshes) << Case.Name;
        EXPECT_EQ(Bridge.Grid->RowCount(), 10 - Case.Count + 1) << Case.Name;
        EXPECT_EQ(Bridge.View.verticalHeader()->count(), 10 - Case.Count) << Case.Name;
        EXPECT_EQ(CurrentOf(*Bridge.Grid), QLatin1String(Case.CurrentAfter)) << Case.Name;
    }
    // Everything removed: the grid keeps its placeholder row.
    TBridge Bridge(10);
    Bridge.Grid->SetDataRow(7);
    Bridge.Model->removeRows(0, 10);
    EXPECT_EQ(Bridge.Grid->RowCount(), 2);
    EXPECT_EQ(Bridge.Grid->DataRow(), 0);
}

TEST(ItemModelData, ASortKeepsEachGridsCurrentRecordInTheModelAndThroughAProxy)
{
    TBridge Bridge(10);
    auto Second = ShownGrid();
    Second->SetData(Bridge.Data.get());
    Bridge.Grid->SetDataRow(3);
    Second->SetDataRow(8);
    Bridge.Model->sort(0, Qt::DescendingOrder);
    EXPECT_EQ(Bridge.Told.Ended, 1);
    EXPECT_EQ(Bridge.Grid->DataRow(), 6);
    EXPECT_EQ(CurrentOf(*Bridge.Grid), QStringLiteral("m3.0"));
    EXPECT_EQ(CurrentOf(*Second), QStringLiteral("m8.0"));
    EXPECT_EQ(Bridge.Grid->Data()->GetDataText(0, 1), QStringLiteral("m9.1"));

    QSortFilterProxyModel Proxy;
    Proxy.setSourceModel(Bridge.Model);
    TZQItemModelData Sorted(&Proxy);
    auto OverProxy = ShownGrid();
    OverProxy->SetData(&Sorted);
    OverProxy->SetDataRow(2);
    const QString Current = CurrentOf(*OverProxy);
    Proxy.sort(0, Qt::AscendingOrder);
    EXPECT_EQ(CurrentOf(*OverProxy), Current);
    EXPECT_EQ(OverProxy->DataRow(), 7);
    // A change of the model below shows through the proxy.
    Bridge.Model->item(0, 0)->setText(QStringLiteral("m0.0"));
    EXPECT_EQ(CurrentOf(*OverProxy), Current);
}

TEST(ItemModelData, RowsMovedInTheModelAreOneRefreshThatKeepsTheCurrentRecord)
{
    QStringList Texts;
    for (int I = 0; I < 10; ++I)
        Texts << QStringLiteral("s%1").arg(I);
    QStringListModel Model(Texts);
    TZQItemModelData Data(&Model);
    TCountingObserver Told;
    Data.AddObserver(&Told);
    auto Grid = ShownGrid(1);
    Grid->SetData(&Data);
    Grid->SetDataRow(1);
    // Rows 0 to 2 to the end: s1 goes from row 1 to row 8.
    ASSERT_TRUE(Model.moveRows(QModelIndex(), 0, 3, QModelIndex(), 10));
    EXPECT_EQ(Told.Ended, 1);
    EXPECT_EQ(Told.Inserted + Told.Removed, 0);
    EXPECT_EQ(Data.GetDataText(0, 0), QStringLiteral("s3"));
    EXPECT_EQ(CurrentOf(*Grid), QStringLiteral("s1"));
    EXPECT_EQ(Grid->DataRow(), 8);
}

TEST(ItemModelData, AResetChangedDataAndColumnsRefreshTheGridsAsLittleAsTheyNeed)
{
    TBridge Bridge(10);
    TRepaints Repaints(*Bridge.Grid);
    Bridge.Model->item(4, 1)->setText(QStringLiteral("changed"));
    EXPECT_EQ(Bridge.Told.Changed, 1);
    EXPECT_EQ(Repaints.Whole, 0);
    EXPECT_EQ(Bridge.Data->GetDataText(4, 1), QStringLiteral("changed"));

    // A wide range is one refresh rather than a repaint per row.
    emit Bridge.Model->dataChanged(Bridge.Model->index(0, 0), Bridge.Model->index(9, 1));
    EXPECT_EQ(Bridge.Told.Changed, 11);
    auto* Wide = RowsModel(&Bridge.Owner, 1000);
    TZQItemModelData WideData(Wide);
    TCountingObserver WideTold;
    WideData.AddObserver(&WideTold);
    emit Wide->dataChanged(Wide->index(0, 0), Wide->index(999, 1));
    EXPECT_EQ(WideTold.Changed, 0);
    EXPECT_EQ(WideTold.Ended, 1);

    Bridge.Model->setColumnCount(3);
    EXPECT_EQ(Bridge.Told.Ended, 1);
    Bridge.Model->clear();
    EXPECT_EQ(Bridge.Told.Ended, 2);
    EXPECT_EQ(Bridge.Grid->RowCount(), 2);
    EXPECT_EQ(Bridge.Data->GetDataText(0, 0), QString());
    Bridge.Model->appendRow(NewRow(7));
    EXPECT_EQ(Bridge.Told.Inserted, 1);
    EXPECT_EQ(Bridge.Data->GetDataText(0, 1), QStringLiteral("m7.1"));
}

TEST(ItemModelData, HeaderTextsBecomeColumnTitlesByDataIndexAndAreFollowed)
{
    TBridge Bridge(3);
    Bridge.Model->setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Size")});
    TZQDataGridColumn* Extra = Bridge.Grid->Columns()->Add();
    Extra->SetTitle(QStringLiteral("Own"));
    Extra->SetDataIndex(5);
    Bridge.Grid->Columns()->GetItem(0)->SetDataIndex(1);
    Bridge.Grid->Columns()->GetItem(1)->SetDataIndex(0);
    // A grid the titles were not applied to keeps its own.
    auto Other = ShownGrid();
    Other->SetData(Bridge.Data.get());

    Bridge.Data->ApplyHeaderTitles(Bridge.Grid.get());
    Bridge.Data->ApplyHeaderTitles(nullptr);
    EXPECT_EQ(Bridge.Grid->Columns()->GetItem(0)->Title(), QStringLiteral("Size"));
    EXPECT_EQ(Bridge.Grid->Columns()->GetItem(1)->Title(), QStringLiteral("Name"));
    EXPECT_EQ(Extra->Title(), QStringLiteral("Own"));

    Bridge.Model->setHeaderData(0, Qt::Horizontal, QStringLiteral("Title"));
    EXPECT_EQ(Bridge.Grid->Columns()->GetItem(1)->Title(), QStringLiteral("Title"));
    EXPECT_EQ(Bridge.Grid->Columns()->GetItem(0)->Title(), QStringLiteral("Size"));
    EXPECT_EQ(Other->Columns()->GetItem(0)->Title(), QStringLiteral("T0"));

    // A grid destroyed after the titles were applied is not followed any more.
    Bridge.Grid.reset();
    Bridge.Model->setHeaderData(1, Qt::Horizontal, QStringLiteral("Bytes"));
    EXPECT_EQ(Other->Columns()->GetItem(1)->Title(), QStringLiteral("T1"));
}

TEST(ItemModelData, AModelDestroyedBeforeTheSourceLeavesItEmptyAndItsGridsRefreshed)
{
    TBridge Bridge(10);
    Bridge.Grid->SetDataRow(4);
    delete Bridge.Model;
    EXPECT_EQ(Bridge.Data->Model(), nullptr);
    EXPECT_EQ(Bridge.Data->GetRecordCount(), 0);
    EXPECT_EQ(Bridge.Data->GetDataText(0, 0), QString());
    EXPECT_EQ(Bridge.Told.Ended, 1);
    EXPECT_EQ(Bridge.Grid->RowCount(), 2);
    EXPECT_EQ(Bridge.Grid->Data(), Bridge.Data.get());
    // And the other way: a source destroyed before its model stops following it.
    auto* Model = RowsModel(&Bridge.Owner, 3);
    {
        TZQItemModelData Short(Model);
    }
    Model->insertRows(0, 5);
    Model->removeRows(0, 2);
    EXPECT_EQ(Model->rowCount(), 6);
}

// Both bridges at once: a grid over a model over a source, and the same records in a QTableView.
TEST(ModelBridges, ASourceShownThroughBothBridgesShowsTheSameRecords)
{
    TListSource Source;
    Source.Fill(3);
    TZQGridDataModel Model(&Source, 2);
    TZQItemModelData Back(&Model);
    auto Grid = ShownGrid();
    Grid->SetData(&Back);
    QTableView View;
    View.setModel(&Model);
    Grid->SetDataRow(1);
    Source.Insert(0);
    EXPECT_EQ(Grid->RowCount(), 5);
    EXPECT_EQ(CurrentOf(*Grid), QStringLiteral("r1.0"));
    Source.Fill(2);
    EXPECT_EQ(Grid->RowCount(), 7);
    EXPECT_EQ(View.verticalHeader()->count(), 6);
    for (int Record = 0; Record < Source.GetRecordCount(); ++Record)
        EXPECT_EQ(Back.GetDataText(Record, 1), Source.GetDataText(Record, 1)) << Record;
}
