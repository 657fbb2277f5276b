// The data grid's notifications and painting at a thousand records against ten million, a
// thousand million and 2^31 - 1, its peak memory at each, and QTableView over a table model with the same texts.
// Every timed step includes the painting it causes, handed to the (offscreen) screen.
#include "components/ZQDataGrid.h"
#include "framework/Application.h"

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <QAbstractTableModel>
#include <QFile>
#include <QHeaderView>
#include <QProcess>
#include <QScrollBar>
#include <QTableView>
#include <QWindow>

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

namespace {

constexpr int ClientWidth = 640;
constexpr int ClientHeight = 480;
constexpr int ColumnCount = 10;
constexpr int RowHeight = 16;
constexpr int ColumnWidth = 64;

// Every text has the same length, so that the cost of drawing it does not grow with the count.
QString TextOf(int Record, int DataIndex)
{
    return QStringLiteral("%1.%2").arg(Record, 10, 10, QChar(u'0')).arg(DataIndex);
}

// Records that exist only as a count: each text is made from its indexes when a grid asks.
class TComputedSource : public TZQGridData {
public:
    explicit TComputedSource(int Count) : FCount(Count) {}
    int GetRecordCount() const override { return FCount; }
    QString GetDataText(int Record, int DataIndex) const override { return TextOf(Record, DataIndex); }

    void Insert(int Index)
    {
        ++FCount;
        RecordInserted(Index);
    }
    void Remove(int Index)
    {
        --FCount;
        RecordRemoved(Index);
    }
    void Change(int Index) { RecordChanged(Index); }

private:
    int FCount;
};

// The same texts for QTableView: a column per datum, the vertical header numbering the rows.
class TComputedModel : public QAbstractTableModel {
public:
    explicit TComputedModel(int Count) : FCount(Count) {}
    int rowCount(const QModelIndex& Parent = QModelIndex()) const override { return Parent.isValid() ? 0 : FCount; }
    int columnCount(const QModelIndex& Parent = QModelIndex()) const override
    {
        return Parent.isValid() ? 0 : ColumnCount;
    }
    QVariant data(const QModelIndex& Index, int Role) const override
    {
        return Role == Qt::DisplayRole ? QVariant(TextOf(Index.row(), Index.column())) : QVariant();
    }

    void Insert(int Row)
    {
        beginInsertRows(QModelIndex(), Row, Row);
        ++FCount;
        endInsertRows();
    }
    void Remove(int Row)
    {
        beginRemoveRows(QModelIndex(), Row, Row);
        --FCount;
        endRemoveRows();
    }

private:
    int FCount;
};

// Lets the windows paint what was asked and hand it to the screen.
void ShowChanges()
{
    QCoreApplication::sendPostedEvents();
}

void ShowAndPaint(QWidget& Window, const TPaintCounter& Counter)
{
    const int Before = Counter.Paints;
    Window.show();
    while (!Window.windowHandle()->isExposed() || Counter.Paints == Before)
        QCoreApplication::processEvents();
}

template <typename F>
double Seconds(F&& Action)
{
    const auto Start = std::chrono::steady_clock::now();
    Action();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
}

// A shown 640 x 480 grid with ten columns over a computed source.
class TShownGrid {
public:
    explicit TShownGrid(int Records) : Source(Records)
    {
        Grid = std::make_unique<TZQDataGrid>();
        for (int I = 0; I < ColumnCount; ++I) {
            TZQDataGridColumn* Column = Grid->Columns()->Add();
            Column->SetTitle(QStringLiteral("D%1").arg(I));
            Column->SetDataIndex(I);
        }
        Grid->SetData(&Source);
        Grid->SetClientSize(ClientWidth, ClientHeight);
        Grid->viewport()->installEventFilter(&Paints);
        ShowAndPaint(*Grid, Paints);
    }

    TComputedSource Source;
    TPaintCounter Paints;
    std::unique_ptr<TZQDataGrid> Grid;
};

// QTableView of the same size, rows and columns as the grid.
class TShownTable {
public:
    explicit TShownTable(int Records) : Model(Records)
    {
        View = std::make_unique<QTableView>();
        View->verticalHeader()->setMinimumSectionSize(RowHeight);
        View->verticalHeader()->setDefaultSectionSize(RowHeight);
        View->horizontalHeader()->setDefaultSectionSize(ColumnWidth);
        View->setModel(&Model);
        View->resize(ClientWidth + 2, ClientHeight + 2);
        View->viewport()->installEventFilter(&Paints);
        ShowAndPaint(*View, Paints);
    }

    TComputedModel Model;
    TPaintCounter Paints;
    std::unique_ptr<QTableView> View;
};

constexpr int Thousand = 1000;
constexpr int TenMillion = 10000000;
constexpr int ThousandMillion = 1000000000;
constexpr int MostRecords = INT_MAX; // the most a source can count

// One side of a comparison: a step timed with the painting it causes, and what undoes it untimed.
struct TArm {
    const char* Name;
    std::function<void()> Step;
    std::function<void()> Undo;
    const TPaintCounter* Paints;
    double Seconds = 0;
    int StepPaints = 0;
};

// Runs Action and lets the widget paint what it caused. QTableView lays its items out again on a
// zero timer before it paints, so the events are processed until a paint has come.
void PaintAfter(const std::function<void()>& Action, const TPaintCounter& Paints)
{
    const int Before = Paints.Paints;
    Action();
    ShowChanges();
    const auto Limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (Paints.Paints == Before && std::chrono::steady_clock::now() < Limit)
        QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

// Runs the two arms in turn, alternating which goes first, so that both meet the same state of a
// shared machine; reports the time of each per step and the ratio of the second to the first.
void Compare(benchmark::State& State, TArm& First, TArm& Second)
{
    TArm* Arms[2] = {&First, &Second};
    int Order = 0;
    for (auto _ : State) {
        double Iteration = 0;
        for (int K = 0; K < 2; ++K) {
            TArm& Arm = *Arms[(K + Order) % 2];
            const int Before = Arm.Paints->Paints;
            const double Step = Seconds([&] { PaintAfter(Arm.Step, *Arm.Paints); });
            Arm.StepPaints += Arm.Paints->Paints - Before;
            Arm.Seconds += Step;
            Iteration += Step;
            if (Arm.Undo)
                PaintAfter(Arm.Undo, *Arm.Paints);
        }
        Order ^= 1;
        State.SetIterationTime(Iteration);
    }
    const double Iterations = double(State.iterations());
    for (TArm* Arm : Arms) {
        State.counters[std::string(Arm->Name) + "_us"] = Arm->Seconds / Iterations * 1e6;
        State.counters[std::string(Arm->Name) + "_paints_per_step"] = Arm->StepPaints / Iterations;
    }
    State.counters["ratio"] = Second.Seconds / First.Seconds;
}

// Where a change happens: at the first record, shown at the top, or at the current record in the
// middle of the records, shown at the bottom of the grid.
enum TPlace { AtTop = 0, InMiddle = 1 };

struct TPlacedGrid {
    TPlacedGrid(int Records, TPlace Where) : Shown(Records), At(Where == InMiddle ? Records / 2 : 0)
    {
        Shown.Grid->SetDataRow(At);
        ShowChanges();
    }
    TShownGrid Shown;
    int At;
};

enum TOperation { Inserted, Removed, Changed, Repainted };

TArm ArmFor(const char* Name, TPlacedGrid& Grid, TOperation Operation)
{
    TComputedSource& Source = Grid.Shown.Source;
    const int At = Grid.At;
    const TPaintCounter* Paints = &Grid.Shown.Paints;
    switch (Operation) {
    case Inserted:
        return {Name, [&Source, At] { Source.Insert(At); }, [&Source, At] { Source.Remove(At); }, Paints};
    case Removed:
        return {Name, [&Source, At] { Source.Remove(At); }, [&Source, At] { Source.Insert(At); }, Paints};
    case Changed:
        return {Name, [&Source, At] { Source.Change(At); }, nullptr, Paints};
    case Repainted:
        break;
    }
    TZQDataGrid* Shown = Grid.Shown.Grid.get();
    return {Name, [Shown] { Shown->InvalidateGrid(); }, nullptr, Paints};
}

// The same notification, or a full repaint, on a grid of a thousand records and on a larger one.
void BM_Notification(benchmark::State& State)
{
    const auto Operation = TOperation(State.range(0));
    const auto Where = TPlace(State.range(2));
    // An insertion starts one record short, so that no count goes past the largest.
    const int Short = Operation == Inserted;
    TPlacedGrid Small(Thousand - Short, Where);
    TPlacedGrid Large(int(State.range(1)) - Short, Where);
    TArm SmallArm = ArmFor("thousand", Small, Operation);
    TArm LargeArm = ArmFor("large", Large, Operation);
    Compare(State, SmallArm, LargeArm);
}
BENCHMARK(BM_Notification)
    ->ArgNames({"op", "records", "at_middle"})
    ->ArgsProduct(
        {{Inserted, Removed, Changed, Repainted}, {TenMillion, ThousandMillion, MostRecords}, {AtTop, InMiddle}})
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

// A thousand million records and the most a source can count: a jump to the last record and
// back, an insertion and a removal at the top, each against a full repaint of the same grid. Each
// step also moves the scroll bar, which paints itself; without scroll bars the step costs the one
// screen alone. An insertion starts one record short, so that it reaches the count.
enum THugeStep { JumpToLast, InsertAtTop, RemoveAtTop };

void BM_HugeSource(benchmark::State& State)
{
    const int Records = int(State.range(0));
    const auto HugeStep = THugeStep(State.range(1));
    TPlacedGrid Grid(HugeStep == InsertAtTop ? Records - 1 : Records, AtTop);
    if (!State.range(2)) {
        Grid.Shown.Grid->SetScrollBars(TScrollStyle::ssNone);
        ShowChanges();
    }
    TArm Screen = ArmFor("full_repaint", Grid, Repainted);
    TArm Step;
    switch (HugeStep) {
    case JumpToLast: {
        TZQDataGrid* Shown = Grid.Shown.Grid.get();
        Step = {"jump", [Shown, Records] { Shown->SetDataRow(Records - 1); }, [Shown] { Shown->SetDataRow(0); },
                &Grid.Shown.Paints};
        break;
    }
    case InsertAtTop: Step = ArmFor("insert", Grid, Inserted); break;
    case RemoveAtTop: Step = ArmFor("remove", Grid, Removed); break;
    }
    Compare(State, Screen, Step);
    TZQDataGrid& Shown = *Grid.Shown.Grid;
    Shown.SetDataRow(Grid.Shown.Source.GetRecordCount() - 1);
    ShowChanges();
    State.counters["last_record_shown"] = qint64(Shown.TopRow()) + Shown.VisibleRowCount() == Shown.RowCount();
}
BENCHMARK(BM_HugeSource)
    ->ArgNames({"records", "step", "scroll_bars"})
    ->ArgsProduct({{ThousandMillion, MostRecords}, {JumpToLast, InsertAtTop, RemoveAtTop}, {1, 0}})
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

// Making a grid, attaching it and showing it until its first paint, at each size.
void BM_ShowGrid(benchmark::State& State)
{
    for (auto _ : State) {
        std::unique_ptr<TShownGrid> Shown;
        State.SetIterationTime(Seconds([&] { Shown = std::make_unique<TShownGrid>(int(State.range(0))); }));
    }
}
BENCHMARK(BM_ShowGrid)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Arg(Thousand)
    ->Arg(TenMillion)
    ->Arg(ThousandMillion)
    ->Arg(MostRecords);

// Against QTableView at ten million rows ------------------------------------------------------------

enum TVersus { ShowAndFirstPaint, RowInsertedAtTop, PageScrolled, FirstRowInsertedAtTop };

void BM_VersusTableView(benchmark::State& State)
{
    const int Records = int(State.range(0));
    const auto Case = TVersus(State.range(1));
    if (Case == FirstRowInsertedAtTop) {
        // QTableView pays for its first insertion far more than for the next ones.
        double Grid = 0;
        double Table = 0;
        for (auto _ : State) {
            State.PauseTiming();
            TShownGrid ShownGrid(Records);
            TShownTable ShownTable(Records);
            State.ResumeTiming();
            const double G = Seconds([&] { PaintAfter([&] { ShownGrid.Source.Insert(0); }, ShownGrid.Paints); });
            const double T = Seconds([&] { PaintAfter([&] { ShownTable.Model.Insert(0); }, ShownTable.Paints); });
            Grid += G;
            Table += T;
            State.SetIterationTime(G + T);
        }
        State.counters["grid_ms"] = Grid / double(State.iterations()) * 1e3;
        State.counters["table_view_ms"] = Table / double(State.iterations()) * 1e3;
        State.counters["ratio"] = Table / Grid;
        return;
    }
    if (Case == ShowAndFirstPaint) {
        // Made, shown and painted in turn; destroyed untimed.
        double Grid = 0;
        double Table = 0;
        for (auto _ : State) {
            std::unique_ptr<TShownGrid> ShownGrid;
            std::unique_ptr<TShownTable> ShownTable;
            const double G = Seconds([&] { ShownGrid = std::make_unique<TShownGrid>(Records); });
            const double T = Seconds([&] { ShownTable = std::make_unique<TShownTable>(Records); });
            Grid += G;
            Table += T;
            State.SetIterationTime(G + T);
        }
        State.counters["grid_ms"] = Grid / double(State.iterations()) * 1e3;
        State.counters["table_view_ms"] = Table / double(State.iterations()) * 1e3;
        State.counters["ratio"] = Table / Grid;
        return;
    }
    TShownGrid Grid(Records);
    TShownTable Table(Records);
    TArm GridArm{"grid", nullptr, nullptr, &Grid.Paints};
    TArm TableArm{"table_view", nullptr, nullptr, &Table.Paints};
    if (Case == RowInsertedAtTop) {
        GridArm.Step = [&] { Grid.Source.Insert(0); };
        GridArm.Undo = [&] { Grid.Source.Remove(0); };
        TableArm.Step = [&] { Table.Model.Insert(0); };
        TableArm.Undo = [&] { Table.Model.Remove(0); };
        // Past the first insertion, which the case above measures.
        for (TArm* Arm : {&GridArm, &TableArm}) {
            PaintAfter(Arm->Step, *Arm->Paints);
            PaintAfter(Arm->Undo, *Arm->Paints);
        }
    } else {
        // One page down, then one page up, from the middle of the rows.
        TZQDataGrid& G = *Grid.Grid;
        QScrollBar& Bar = *Table.View->verticalScrollBar();
        G.SetTopRow(int(G.RowCount() / 2));
        Bar.setValue(Bar.maximum() / 2);
        ShowChanges();
        auto GridDown = std::make_shared<bool>(true);
        auto TableDown = std::make_shared<bool>(true);
        GridArm.Step = [&G, GridDown] {
            G.SetTopRow(G.TopRow() + (*GridDown ? 1 : -1) * G.VisibleRowCount());
            *GridDown = !*GridDown;
        };
        TableArm.Step = [&Bar, TableDown] {
            Bar.triggerAction(*TableDown ? QAbstractSlider::SliderPageStepAdd : QAbstractSlider::SliderPageStepSub);
            *TableDown = !*TableDown;
        };
    }
    Compare(State, GridArm, TableArm);
}
BENCHMARK(BM_VersusTableView)
    ->ArgNames({"records", "case"})
    ->Args({TenMillion, ShowAndFirstPaint})
    ->Args({TenMillion, FirstRowInsertedAtTop})
    ->Args({TenMillion, RowInsertedAtTop})
    ->Args({TenMillion, PageScrolled})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Peak memory ------------------------------------------------------------------------------------

// What a probe process shows: nothing but a window, the grid, or the table view.
enum TProbe { ProbeWindow = 0, ProbeGrid = 1, ProbeTable = 2 };

long PeakKiB()
{
    QFile Status(QStringLiteral("/proc/self/status"));
    if (!Status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& Line : Status.readAll().split('\n'))
        if (Line.startsWith("VmHWM:"))
            return Line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

// In a process of its own: shows what is probed, goes to the last record, removes and inserts a
// record at the top (in this order, so that no count goes past the largest), and prints the peak
// resident size.
int RunProbe(TProbe Probe, int Records)
{
    if (Probe == ProbeGrid) {
        TShownGrid Shown(Records);
        PaintAfter([&] { Shown.Grid->SetDataRow(Records - 1); }, Shown.Paints);
        PaintAfter([&] { Shown.Source.Remove(0); }, Shown.Paints);
        PaintAfter([&] { Shown.Source.Insert(0); }, Shown.Paints);
    } else if (Probe == ProbeTable) {
        TShownTable Shown(Records);
        PaintAfter([&] { Shown.View->scrollToBottom(); }, Shown.Paints);
        PaintAfter([&] { Shown.Model.Remove(0); }, Shown.Paints);
        PaintAfter([&] { Shown.Model.Insert(0); }, Shown.Paints);
    } else {
        QWidget Window;
        TPaintCounter Paints;
        Window.installEventFilter(&Paints);
        Window.resize(ClientWidth, ClientHeight);
        ShowAndPaint(Window, Paints);
    }
    std::printf("peak_kib %ld\n", PeakKiB());
    return 0;
}

long ProbedPeakKiB(TProbe Probe, int Records)
{
    QProcess Child;
    Child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--probe"), QString::number(Probe), QString::number(Records)});
    Child.waitForFinished(-1);
    const QList<QByteArray> Words = Child.readAllStandardOutput().trimmed().split(' ');
    return Words.size() == 2 && Words[0] == "peak_kib" ? Words[1].toLong() : -1;
}

// Peak resident size of a process showing the probed widget, and its excess over a bare window.
void BM_PeakMemory(benchmark::State& State)
{
    const auto Probe = TProbe(State.range(0));
    const int Records = int(State.range(1));
    long Peak = 0;
    long Bare = 0;
    for (auto _ : State) {
        Peak = ProbedPeakKiB(Probe, Records);
        Bare = ProbedPeakKiB(ProbeWindow, 0);
    }
    if (Peak < 0 || Bare < 0)
        State.SkipWithError("a probe process failed");
    State.counters["peak_MiB"] = Peak / 1024.0;
    State.counters["above_bare_window_MiB"] = (Peak - Bare) / 1024.0;
}
BENCHMARK(BM_PeakMemory)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->Args({ProbeGrid, Thousand})
    ->Args({ProbeGrid, TenMillion})
    ->Args({ProbeGrid, ThousandMillion})
    ->Args({ProbeGrid, MostRecords})
    ->Args({ProbeTable, TenMillion});

} // namespace

int main(int Argc, char** Argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("QT_SCALE_FACTOR", "1", 1);
    TApplication Application(Argc, Argv);
    if (Argc == 4 && std::strcmp(Argv[1], "--probe") == 0)
        return RunProbe(TProbe(std::atoi(Argv[2])), std::atoi(Argv[3]));
    benchmark::Initialize(&Argc, Argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
