// Load and save of the state block, with and without handing the file to the disk.
#include "game/ZorvikState.h"

#include <benchmark/benchmark.h>

#include <QTemporaryDir>

namespace {

QString BenchFile()
{
    static QTemporaryDir Folder;
    return Folder.filePath("Zorvik.dat");
}

void BM_SaveStateDurable(benchmark::State& State)
{
    TStateBlock Block{};
    for (auto _ : State)
        SaveStateBlock(BenchFile(), Block, true);
}
BENCHMARK(BM_SaveStateDurable)->UseRealTime();

void BM_SaveStateWithoutFlush(benchmark::State& State)
{
    TStateBlock Block{};
    for (auto _ : State)
        SaveStateBlock(BenchFile(), Block, false);
}
BENCHMARK(BM_SaveStateWithoutFlush)->UseRealTime();

void BM_LoadState(benchmark::State& State)
{
    TStateBlock Block{};
    Block.FBestScores[0].Score = 1;
    SaveStateBlock(BenchFile(), Block, true);
    for (auto _ : State) {
        LoadStateBlock(BenchFile(), Block);
        benchmark::DoNotOptimize(Block);
    }
    if (Block.FBestScores[0].Score != 1)
        State.SkipWithError("the block did not load");
}
BENCHMARK(BM_LoadState)->UseRealTime();

} // namespace
