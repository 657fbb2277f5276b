// The bridges to Qt's model/view: a data grid over a QStandardItemModel of a million rows through
// TZQItemModelData, against QTableView over the same model, for one insertRows of 100,000 rows with
// the painting it causes; and attaching 2^31 - 1 records through either bridge.
#include "components/ZQDataGrid.h"
#include "components/ZQGridDataModel.h"
#include "components/ZQGridDataObserver.h"
#include "components/ZQItemModelData.h"
#include "framework/Application.h"

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QStandardItemModel>
#include <QTableView>
#include <QWindow>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <functional>
#include <memory>

namespace {

constexpr int ClientWidth = 640;
constexpr int ClientHeight = 480;
constexpr int RowHeight = 16;
constexpr int ColumnWidth = 64;
constexpr int ModelRows = 1000000;
constexpr int InsertedRows = 100000;
constexpr int TextRows = 64; // enough to fill the visible rows with text

// A million rows, the first of them with texts; the rest hold no item, as a sparse model would.
void FillModel(QStandardItemModel& Model)
{
    Model.setColumnCount(2);
    Model.setRowCount(ModelRows);
    for (int Row = 0; Row < TextRows; ++Row)
        for (int Column = 0; Column < 2; ++Column)
            Model.setItem(Row, Column, new QStandardItem(QStringLiteral("%1.%2").arg(Row).arg(Column)));
}

void ShowAndPaint(QWidget& Window, const TPaintCounter& Counter)
{
    const int Before = Counter.Paints;
    Window.show();
    while (!Window.windowHandle()->isExposed() || Counter.Paints == Before)
        QCoreApplication::processEvents();
}

// Runs Action and lets the widget paint what it caused (QTableView lays out on a zero timer first).
void PaintAfter(const std::function<void()>& Action, const TPaintCounter* Paints)
{
    const int Before = Paints ? Paints->Paints : 0;
    Action();
    QCoreApplication::sendPostedEvents();
    const auto Limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (Paints && Paints->Paints == Before && std::chrono::steady_clock::now() < Limit)
        QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

// What the grids of a source are told: observers hear exactly that.
class TToldCounter : public TZQGridDataObserver {
public:
    void RecordInserted(TZQGridData*, int) override { ++Told; }
    void RecordRemoved(TZQGridData*, int) override { ++Told; }
    void RecordChanged(TZQGridData*, int) override { ++Told; }
    void UpdateEnded(TZQGridData*) override { ++Told; }
    int Told = 0;
};

// A shown grid over its own model.
struct TGridArm {
    TGridArm() : Data(&Model)
    {
        FillModel(Model);
        Grid.SetData(&Data);
        for (int I = 0; I < 2; ++I) {
            TZQDataGridColumn* Column = Grid.Columns()->Add();
            Column->SetDataIndex(I);
        }
        Grid.SetDataRow(TextRows / 2);
        Grid.SetClientSize(ClientWidth, ClientHeight);
        Grid.viewport()->installEventFilter(&Paints);
        Data.AddObserver(&Counter);
        ShowAndPaint(Grid, Paints);
    }
    QStandardItemModel Model;
    TZQItemModelData Data;
    TZQDataGrid Grid;
    TPaintCounter Paints;
    TToldCounter Counter;
};

// A shown QTableView of the same size over its own model of the same rows.
struct TTableArm {
    TTableArm()
    {
        FillModel(Model);
        View.verticalHeader()->setMinimumSectionSize(RowHeight);
        View.verticalHeader()->setDefaultSectionSize(RowHeight);
        View.horizontalHeader()->setDefaultSectionSize(ColumnWidth);
        View.setModel(&Model);
        View.resize(ClientWidth + 2, ClientHeight + 2);
        View.viewport()->installEventFilter(&Paints);
        ShowAndPaint(View, Paints);
        // Past the first insertion, which costs QTableView far more than the next ones.
        PaintAfter([this] { Model.insertRows(0, 1); }, &Paints);
        PaintAfter([this] { Model.removeRows(0, 1); }, &Paints);
    }
    QStandardItemModel Model;
    QTableView View;
    TPaintCounter Paints;
};

template <typename F>
double Seconds(F&& Action)
{
    const auto Start = std::chrono::steady_clock::now();
    Action();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
}

// One insertRows of 100,000 rows at the top of a million, shown by the grid and by QTableView in
// turn (alternating which goes first), and by the model alone for what the model itself costs.
// Each is undone untimed.
void BM_InsertRowsVersusTableView(benchmark::State& State)
{
    TGridArm Grid;
    TTableArm Table;
    QStandardItemModel Alone;
    FillModel(Alone);
    double GridSeconds = 0, TableSeconds = 0, AloneSeconds = 0;
    int GridNotifications = 0;
    int Order = 0;
    for (auto _ : State) {
        double Iteration = 0;
        for (int K = 0; K < 2; ++K) {
            if ((K + Order) % 2 == 0) {
                const int Before = Grid.Counter.Told;
                const double S = Seconds([&] { PaintAfter([&] { Grid.Model.insertRows(0, InsertedRows); }, &Grid.Paints); });
                GridNotifications += Grid.Counter.Told - Before;
                GridSeconds += S;
                Iteration += S;
                PaintAfter([&] { Grid.Model.removeRows(0, InsertedRows); }, &Grid.Paints);
            } else {
                const double S = Seconds([&] { PaintAfter([&] { Table.Model.insertRows(0, InsertedRows); }, &Table.Paints); });
                TableSeconds += S;
                Iteration += S;
                PaintAfter([&] { Table.Model.removeRows(0, InsertedRows); }, &Table.Paints);
            }
        }
        AloneSeconds += Seconds([&] { Alone.insertRows(0, InsertedRows); });
        Alone.removeRows(0, InsertedRows);
        Order ^= 1;
        State.SetIterationTime(Iteration);
    }
    const double Iterations = double(State.iterations());
    State.counters["grid_ms"] = GridSeconds / Iterations * 1e3;
    State.counters["table_view_ms"] = TableSeconds / Iterations * 1e3;
    State.counters["model_alone_ms"] = AloneSeconds / Iterations * 1e3;
    State.counters["grid_notifications"] = GridNotifications / Iterations;
    State.counters["ratio"] = TableSeconds / GridSeconds;
}
BENCHMARK(BM_InsertRowsVersusTableView)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// A model of any number of rows whose texts are made when asked.
class TComputedModel : public QAbstractTableModel {
public:
    explicit TComputedModel(int Rows) : FRows(Rows) {}
    int rowCount(const QModelIndex& Parent = QModelIndex()) const override { return Parent.isValid() ? 0 : FRows; }
    int columnCount(const QModelIndex& Parent = QModelIndex()) const override { return Parent.isValid() ? 0 : 2; }
    QVariant data(const QModelIndex& Index, int Role) const override
    {
        if (Role != Qt::DisplayRole)
            return {};
        return QStringLiteral("%1.%2").arg(Index.row()).arg(Index.column());
    }

private:
    int FRows;
};

class TComputedSource : public TZQGridData {
public:
    explicit TComputedSource(int Count) : FCount(Count) {}
    int GetRecordCount() const override { return FCount; }
    QString GetDataText(int Record, int DataIndex) const override { return QStringLiteral("%1.%2").arg(Record).arg(DataIndex); }

private:
    int FCount;
};

// Attaching a shown grid to a source over a model of the given rows, and making a model over a
// source of as many records: both stay as cheap at 2^31 - 1 rows as at a thousand.
void BM_AttachThroughABridge(benchmark::State& State)
{
    const int Rows = int(State.range(0));
    TComputedModel Model(Rows);
    TZQItemModelData Data(&Model);
    TComputedSource Source(Rows);
    TZQDataGrid Grid;
    Grid.Columns()->Add()->SetDataIndex(0);
    Grid.SetClientSize(ClientWidth, ClientHeight);
    TPaintCounter Paints;
    Grid.viewport()->installEventFilter(&Paints);
    ShowAndPaint(Grid, Paints);
    int ModelRowsSeen = 0;
    for (auto _ : State) {
        Grid.SetData(&Data);
        TZQGridDataModel Over(&Source, 2);
        ModelRowsSeen = Over.rowCount();
        benchmark::DoNotOptimize(ModelRowsSeen);
        State.PauseTiming();
        Grid.SetData(nullptr);
        State.ResumeTiming();
    }
    State.counters["model_rows"] = ModelRowsSeen;
}
BENCHMARK(BM_AttachThroughABridge)->Unit(benchmark::kMicrosecond)->Arg(1000)->Arg(INT_MAX);

} // namespace

int main(int Argc, char** Argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("QT_SCALE_FACTOR", "1", 1);
    TApplication Application(Argc, Argv);
    benchmark::Initialize(&Argc, Argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
