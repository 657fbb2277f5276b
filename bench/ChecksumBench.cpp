// Checksummed files against the memory and file speeds they should reach: CheckSum against memcpy
// over the same buffer, WriteWithCheckSum and ReadWithCheckSum against plain write and read of the
// same bytes. The files go to ZQ_BENCH_DIR (default: the system's temporary folder) and are removed.
// Run with --benchmark_repetitions=5 --benchmark_report_aggregates_only=true and compare medians.
#include "framework/FileStream.h"
#include "scores/Checksumfile.h"

#include <benchmark/benchmark.h>

#include <QtEndian>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
bool FlushToDisk = true;
}

// Takes the place of the C library's fsync in this executable, so that the runs without flushing
// call the routine itself rather than a copy of its steps.
extern "C" int fsync(int Handle)
{
    return FlushToDisk ? int(syscall(SYS_fsync, Handle)) : 0;
}

namespace {

constexpr std::size_t DataSize = std::size_t(256) << 20;

std::vector<unsigned char>& Data()
{
    static std::vector<unsigned char> Buffer = [] {
        std::vector<unsigned char> Bytes(DataSize);
        std::uint32_t Seed = 12345;
        for (auto& Byte : Bytes) {
            Seed = Seed * 1664525u + 1013904223u;
            Byte = static_cast<unsigned char>(Seed >> 24);
        }
        return Bytes;
    }();
    return Buffer;
}

// A second buffer of the same size, touched once so that no page fault falls into a measurement.
std::vector<unsigned char>& Target()
{
    static std::vector<unsigned char> Buffer(DataSize, 1);
    return Buffer;
}

std::string BenchFile()
{
    const char* Dir = std::getenv("ZQ_BENCH_DIR");
    const std::filesystem::path Folder = Dir ? std::filesystem::path(Dir) : std::filesystem::temp_directory_path();
    return (Folder / ("zq_bench_" + std::to_string(getpid()) + ".chk")).string();
}

// The checksummed file's bytes as plain writes produce them: the data, then the stored sum.
void PosixWrite(const std::string& Name, bool Sync)
{
    unsigned char Stored[4];
    qToLittleEndian(CheckSum(Data().data(), DataSize), Stored);
    const int Handle = ::open(Name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (Handle < 0)
        throw std::runtime_error("cannot create " + Name);
    const unsigned char* Bytes = Data().data();
    for (std::size_t Done = 0; Done < DataSize;) {
        const ssize_t Put = ::write(Handle, Bytes + Done, DataSize - Done);
        if (Put <= 0)
            throw std::runtime_error("write failed");
        Done += std::size_t(Put);
    }
    if (::write(Handle, Stored, 4) != 4 || (Sync && ::fsync(Handle) != 0))
        throw std::runtime_error("write failed");
    ::close(Handle);
}

void PosixRead(const std::string& Name)
{
    const int Handle = ::open(Name.c_str(), O_RDONLY | O_CLOEXEC);
    if (Handle < 0)
        throw std::runtime_error("cannot open " + Name);
    unsigned char* Bytes = Target().data();
    for (std::size_t Done = 0; Done < DataSize;) {
        const ssize_t Got = ::read(Handle, Bytes + Done, DataSize - Done);
        if (Got <= 0)
            throw std::runtime_error("read failed");
        Done += std::size_t(Got);
    }
    unsigned char Stored[4];
    if (::read(Handle, Stored, 4) != 4)
        throw std::runtime_error("read failed");
    ::close(Handle);
    benchmark::DoNotOptimize(Stored);
}

void BM_CheckSum(benchmark::State& State)
{
    const unsigned char* Bytes = Data().data();
    for (auto _ : State)
        benchmark::DoNotOptimize(CheckSum(Bytes, DataSize));
    State.SetBytesProcessed(std::int64_t(State.iterations()) * std::int64_t(DataSize));
}
BENCHMARK(BM_CheckSum)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_Memcpy(benchmark::State& State)
{
    const unsigned char* Bytes = Data().data();
    unsigned char* Copy = Target().data();
    for (auto _ : State) {
        std::memcpy(Copy, Bytes, DataSize);
        benchmark::ClobberMemory();
    }
    State.SetBytesProcessed(std::int64_t(State.iterations()) * std::int64_t(DataSize));
}
BENCHMARK(BM_Memcpy)->UseRealTime()->Unit(benchmark::kMillisecond);

// Both flush the file to disk, as WriteWithCheckSum does.
void BM_PosixWriteSync(benchmark::State& State)
{
    const std::string Name = BenchFile();
    for (auto _ : State)
        PosixWrite(Name, true);
    State.SetBytesProcessed(std::int64_t(State.iterations()) * std::int64_t(DataSize));
    std::filesystem::remove(Name);
}
BENCHMARK(BM_PosixWriteSync)->UseRealTime()->MinTime(2)->Unit(benchmark::kMillisecond);

void BM_WriteWithCheckSum(benchmark::State& State)
{
    const std::string Name = BenchFile();
    const QString FileName = QString::fromStdString(Name);
    for (auto _ : State)
        WriteWithCheckSum(FileName, Data().data(), DataSize);
    State.SetBytesProcessed(std::int64_t(State.iterations()) * std::int64_t(DataSize));
    std::filesystem::remove(Name);
}
BENCHMARK(BM_WriteWithCheckSum)->UseRealTime()->MinTime(2)->Unit(benchmark::kMillisecond);

// Without the flush: the cost of the sum, the extra chunking and the replacement apart from the disk.
void BM_PosixWriteNoSync(benchmark::State& State)
{
    const std::string Name = BenchFile();
    for (auto _ : State)
        PosixWrite(Name, false);
    State.SetBytesProcessed(std::int64_t(State.iterations()) * std::int64_t(DataSize));
    std::filesystem::remove(Name);
}
BENCHMARK(BM_PosixWriteNoSync)->UseRealTime()->MinTime(2)->Unit(benchmark::kMillisecond);

void BM_WriteWithCheckSumNoSync(benchmark::State& State)
{
    FlushToDisk = false;
    BM_WriteWithCheckSum(State);
    FlushToDisk = true;
}
BENCHMARK(BM_WriteWithCheckSumNoSync)->UseRealTime()->MinTime(2)->Unit(benchmark::kMillisecond);

// Both read a file that the page cache holds, so that the comparison is of the reading, not the disk.
void BM_PosixRead(benchmark::State& State)
{
    const std::string Name = BenchFile();
    PosixWrite(Name, false);
    for (auto _ : State)
        PosixRead(Name);
    State.SetBytesProcessed(std::int64_t(State.iterations()) * std::int64_t(DataSize));
    std::filesystem::remove(Name);
}
BENCHMARK(BM_PosixRead)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_ReadWithCheckSum(benchmark::State& State)
{
    const std::string Name = BenchFile();
    PosixWrite(Name, false);
    const QString FileName = QString::fromStdString(Name);
    for (auto _ : State)
        ReadWithCheckSum(FileName, Target().data(), DataSize);
    State.SetBytesProcessed(std::int64_t(State.iterations()) * std::int64_t(DataSize));
    std::filesystem::remove(Name);
}
BENCHMARK(BM_ReadWithCheckSum)->UseRealTime()->Unit(benchmark::kMillisecond);

double Milliseconds(std::chrono::steady_clock::duration Time)
{
    return std::chrono::duration<double, std::milli>(Time).count();
}

// Both reads in turn, each pair timed together, so that a change in the machine's load between two
// benchmarks cannot pass for a difference between the reads. Ratio is the median of the pairs'.
void BM_ReadRatio(benchmark::State& State)
{
    using TClock = std::chrono::steady_clock;
    const std::string Name = BenchFile();
    PosixWrite(Name, false);
    const QString FileName = QString::fromStdString(Name);
    std::vector<double> Ratios;
    for (auto _ : State) {
        const TClock::time_point Start = TClock::now();
        PosixRead(Name);
        const TClock::time_point Middle = TClock::now();
        ReadWithCheckSum(FileName, Target().data(), DataSize);
        Ratios.push_back(Milliseconds(TClock::now() - Middle) / Milliseconds(Middle - Start));
    }
    std::sort(Ratios.begin(), Ratios.end());
    State.counters["Ratio"] = Ratios[Ratios.size() / 2];
    std::filesystem::remove(Name);
}
BENCHMARK(BM_ReadRatio)->UseRealTime()->Iterations(31)->Unit(benchmark::kMillisecond);

} // namespace

int main(int Argc, char** Argv)
{
    // Filled and touched before any measurement.
    Data();
    Target();
    benchmark::Initialize(&Argc, Argv);
    if (benchmark::ReportUnrecognizedArguments(Argc, Argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
