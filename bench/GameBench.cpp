// A move of the falling piece against a full repaint of the glass, both shown on screen.
#include "framework/Application.h"
#include "framework/PaintBox.h"
#include "framework/Random.h"
#include "game/ZorvikFrm.h"
#include "scores/BestScoresFrm.h"

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <QTimer>
#include <QWindow>

#include <cstdlib>

namespace {

TZorvikForm* Form = nullptr;

// Lets the window paint what was asked and hand it to the screen: as the event loop does, in
// two turns, since what one turn posts is delivered in the next.
void ShowChanges()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents();
}

void StartGame()
{
    RandSeed(1);
    Form->PlaceNextPiece(11, 0);
    Form->Execute(Form->aPlay);
    Form->Timer->stop(); // the benchmark drives the game itself
    ShowChanges();
}

void BM_MovePiece(benchmark::State& State)
{
    StartGame();
    TPaintCounter Counter;
    Form->pbGlass->installEventFilter(&Counter);
    int Direction = 1;
    for (auto _ : State) {
        if (!Form->TryMove(Direction, 0, 0))
            Direction = -Direction;
        ShowChanges();
    }
    State.counters["paints_per_iteration"] = double(Counter.Paints) / State.iterations();
}
BENCHMARK(BM_MovePiece);

void BM_FullGlassRepaint(benchmark::State& State)
{
    StartGame();
    TPaintCounter Counter;
    Form->pbGlass->installEventFilter(&Counter);
    for (auto _ : State) {
        Form->pbGlass->Invalidate();
        ShowChanges();
    }
    State.counters["paints_per_iteration"] = double(Counter.Paints) / State.iterations();
}
BENCHMARK(BM_FullGlassRepaint);

// The same two without handing the result to the screen: the game's own share of the work.
void BM_MovePieceDrawingOnly(benchmark::State& State)
{
    StartGame();
    int Direction = 1;
    for (auto _ : State)
        if (!Form->TryMove(Direction, 0, 0))
            Direction = -Direction;
    ShowChanges();
}
BENCHMARK(BM_MovePieceDrawingOnly);

void BM_FullGlassDrawingOnly(benchmark::State& State)
{
    StartGame();
    for (auto _ : State)
        Form->pbGlassPaint(Form->pbGlass);
    ShowChanges();
}
BENCHMARK(BM_FullGlassDrawingOnly);

void BM_TimersOutsideARunningGame(benchmark::State& State)
{
    StartGame();
    Form->Execute(Form->aPause);
    int Active = 0;
    for (auto _ : State) {
        Active = 0;
        for (QTimer* Timer : Form->findChildren<QTimer*>())
            Active += Timer->isActive();
        benchmark::DoNotOptimize(Active);
    }
    State.counters["active_timers_paused"] = Active;
    Form->Execute(Form->aStop);
}
BENCHMARK(BM_TimersOutsideARunningGame)->Iterations(1);

} // namespace

int main(int Argc, char** Argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    TApplication Application(Argc, Argv);
    Form = new TZorvikForm;
    BestScoresForm = new TBestScoresForm(Form);
    BestScoresForm->SetStateBlock(&Form->StateBlock());
    Form->show();
    // The window must be exposed before anything reaches the screen.
    while (!Form->windowHandle() || !Form->windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    ShowChanges();
    benchmark::Initialize(&Argc, Argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete Form;
    return 0;
}
