// The bit grid should cost what is visible, not what is stored: a full repaint of a 640 x 480
// view of a million words against one of 16 words, scrolling through a million words by page, a
// key press among ten million columns with and without one wider than any screen, and the peak
// memory of that grid against a new one, each grid in a process of its own.
#include "components/ZQBitGrid.h"
#include "framework/Application.h"

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QKeyEvent>
#include <QProcess>
#include <QScrollBar>
#include <QWindow>

#include <malloc.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

using ZQ::TZQBitGrid;

namespace {

constexpr int ViewWidth = 640;
constexpr int ViewHeight = 480;
constexpr int ManyWords = 1 << 20;
constexpr int FewWords = 16;
const char* const PeakMemoryOption = "--peak-memory-words=";

// Lets the grid paint what was asked and hand it to the screen.
void ShowChanges()
{
    QCoreApplication::sendPostedEvents();
}

// Counts the cells drawn, to show what each iteration really paints.
class TCellCounter {
public:
    long Cells = 0;
    void DrawCell(QObject*, int, int, const QRect&, TGridDrawState) { ++Cells; }
};

std::unique_ptr<TZQBitGrid> ShownGrid(int Words, TCellCounter& Counter)
{
    auto Grid = std::make_unique<TZQBitGrid>();
    Grid->SetDataRows(Words);
    Grid->SetClientSize(ViewWidth, ViewHeight);
    Grid->SetOnDrawCell(TDrawCellEvent(&Counter, &TCellCounter::DrawCell));
    Grid->show();
    // The window must be exposed before anything reaches the screen.
    while (!Grid->windowHandle() || !Grid->windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    ShowChanges();
    return Grid;
}

void BM_FullRepaint(benchmark::State& State)
{
    TCellCounter Counter;
    const std::unique_ptr<TZQBitGrid> Grid = ShownGrid(int(State.range(0)), Counter);
    // Halfway down, so that a long grid paints words far from the first.
    Grid->SetTopRow(Grid->GetFixedRows() + Grid->DataRows() / 2);
    ShowChanges();
    Counter.Cells = 0;
    for (auto _ : State) {
        Grid->InvalidateGrid();
        ShowChanges();
    }
    State.counters["cells_per_repaint"] = double(Counter.Cells) / double(State.iterations());
}
BENCHMARK(BM_FullRepaint)->Arg(FewWords)->Arg(ManyWords)->Unit(benchmark::kMicrosecond);

// One page down the scroll bar and its repaint per iteration, back to the top at the bottom.
void BM_ScrollByPage(benchmark::State& State)
{
    TCellCounter Counter;
    const std::unique_ptr<TZQBitGrid> Grid = ShownGrid(ManyWords, Counter);
    QScrollBar* Bar = Grid->verticalScrollBar();
    Counter.Cells = 0;
    for (auto _ : State) {
        if (Bar->value() == Bar->maximum())
            Bar->setValue(0);
        else
            Bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        ShowChanges();
    }
    State.counters["words_per_page"] = Bar->pageStep();
    State.counters["pages_per_million_words"] = double(ManyWords) / Bar->pageStep();
    State.counters["cells_per_page"] = double(Counter.Cells) / double(State.iterations());
}
BENCHMARK(BM_ScrollByPage)->Unit(benchmark::kMicrosecond);

// A key press that moves the current cell one column, with its repaint, among ten million bit
// columns of the ordinary width, or with one of them, partly in view, wider than any screen
// (INT_MAX - 10). The press stays left of it, so that both cases repaint the same two cells.
void BM_KeyAmongTenMillionColumns(benchmark::State& State)
{
    constexpr int Columns = 10000000;
    TCellCounter Counter;
    const std::unique_ptr<TZQBitGrid> Grid = ShownGrid(FewWords, Counter);
    Grid->SetDataCols(Columns);
    if (State.range(0))
        Grid->SetColWidths(Grid->GetFixedCols() + 4, INT_MAX - 10);
    Grid->activateWindow();
    Grid->setFocus();
    for (int Wait = 0; Wait < 100 && !Grid->hasFocus(); ++Wait)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    if (!Grid->hasFocus()) {
        State.SkipWithError("the grid has no focus");
        return;
    }
    ShowChanges();
    bool Right = true;
    long Moves = 0;
    for (auto _ : State) {
        const int Before = Grid->Col();
        QKeyEvent Press(QEvent::KeyPress, Right ? Qt::Key_Right : Qt::Key_Left, Qt::NoModifier);
        QCoreApplication::sendEvent(Grid.get(), &Press);
        ShowChanges();
        Moves += Grid->Col() != Before;
        Right = !Right;
    }
    State.counters["moves_per_press"] = double(Moves) / double(State.iterations());
}
BENCHMARK(BM_KeyAmongTenMillionColumns)->ArgName("one_wide_column")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

struct TPeakMemory {
    double PeakRssKiB = 0;
    double HeapBytes = 0;
    double PassSeconds = 0;
    int Pages = 0;
};

TPeakMemory RunPeakMemoryProcess(int Words)
{
    QProcess Child;
    Child.start(QCoreApplication::applicationFilePath(), {PeakMemoryOption + QString::number(Words)});
    if (!Child.waitForFinished(-1) || Child.exitCode() != 0)
        std::abort();
    TPeakMemory Result;
    if (std::sscanf(Child.readAllStandardOutput().constData(), "%lf %lf %lf %d", &Result.PeakRssKiB,
                    &Result.HeapBytes, &Result.PassSeconds, &Result.Pages) != 4)
        std::abort();
    return Result;
}

// Each grid in a fresh process, so that neither inherits the other's peak. The peak is the
// process's own high-water mark of resident memory: getrusage's maxrss would also count the
// benchmark process it was forked from.
void BM_PeakMemoryOfAMillionWords(benchmark::State& State)
{
    TPeakMemory Empty, Full;
    for (auto _ : State) {
        Empty = RunPeakMemoryProcess(1);
        Full = RunPeakMemoryProcess(ManyWords);
    }
    constexpr double MiB = 1024.0 * 1024.0;
    State.counters["peak_rss_new_grid_MiB"] = Empty.PeakRssKiB / 1024.0;
    State.counters["peak_rss_million_words_MiB"] = Full.PeakRssKiB / 1024.0;
    State.counters["peak_rss_difference_MiB"] = (Full.PeakRssKiB - Empty.PeakRssKiB) / 1024.0;
    State.counters["heap_difference_MiB"] = (Full.HeapBytes - Empty.HeapBytes) / MiB;
    State.counters["full_pass_s"] = Full.PassSeconds;
    State.counters["full_pass_pages"] = Full.Pages;
}
BENCHMARK(BM_PeakMemoryOfAMillionWords)->Iterations(1)->Unit(benchmark::kMillisecond);

long PeakResidentKiB()
{
    long KiB = -1;
    if (FILE* Status = std::fopen("/proc/self/status", "r")) {
        char Line[256];
        while (std::fgets(Line, sizeof Line, Status))
            if (std::sscanf(Line, "VmHWM: %ld kB", &KiB) == 1)
                break;
        std::fclose(Status);
    }
    return KiB;
}

// The child of BM_PeakMemoryOfAMillionWords: shows a grid of Words words, scrolls through all of
// them by page painting every page, and prints its peak resident size in KiB, the heap in use in
// bytes, the seconds the pass took and the pages it painted.
int PeakMemory(int Words)
{
    TCellCounter Counter;
    const std::unique_ptr<TZQBitGrid> Grid = ShownGrid(Words, Counter);
    QScrollBar* Bar = Grid->verticalScrollBar();
    QElapsedTimer Pass;
    Pass.start();
    int Pages = 1;
    while (Bar->value() < Bar->maximum()) {
        Bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        ShowChanges();
        ++Pages;
    }
    const double Seconds = double(Pass.nsecsElapsed()) / 1e9;
    const long PeakKiB = PeakResidentKiB();
    const struct mallinfo2 Heap = mallinfo2();
    std::printf("%ld %zu %.3f %d\n", PeakKiB, Heap.uordblks + Heap.hblkhd, Seconds, Pages);
    return PeakKiB > 0 ? 0 : 1;
}

} // namespace

int main(int Argc, char** Argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("QT_SCALE_FACTOR", "1", 1);
    TApplication Application(Argc, Argv);
    const std::size_t OptionLength = std::strlen(PeakMemoryOption);
    if (Argc == 2 && std::strncmp(Argv[1], PeakMemoryOption, OptionLength) == 0)
        return PeakMemory(std::atoi(Argv[1] + OptionLength));
    benchmark::Initialize(&Argc, Argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
