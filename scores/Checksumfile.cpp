#include "scores/Checksumfile.h"

#include "framework/Exceptions.h"
#include "framework/FileStream.h"
#include "framework/StringTable.h"

#include <QtEndian>

#include <algorithm>
#include <csetjmp>
#include <csignal>
#include <cstring>
#include <limits>
#include <mutex>

#include <sys/mman.h>
#include <sys/stat.h>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define ZQ_STREAMING_STORES 1
#endif

namespace {

constexpr std::size_t WordSize = sizeof(std::uint32_t);
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
// Small enough that the fuzzer's inputs span several chunks and take the mapped path too.
constexpr std::size_t ChunkSize = 64;
constexpr std::size_t MappedMinimum = 1024;
#else
// Large enough that the calls cost little, small enough to be still in the cache when summed.
constexpr std::size_t ChunkSize = std::size_t(1) << 20;
// Below this a mapping costs more to set up than the copy it saves.
constexpr std::size_t MappedMinimum = std::size_t(1) << 20;
#endif
static_assert(ChunkSize % WordSize == 0);
constexpr std::size_t Lanes = 16;

// The sums are compiled twice on x86-64, for the vector unit every processor has and for the
// wider one most have; the loader picks one.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__SANITIZE_ADDRESS__)
#define ZQ_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define ZQ_VECTOR_CLONES
#endif

// memcpy rather than a cast: the data may be unaligned, and the compiler turns it into one load.
std::uint32_t LittleEndianWord(const unsigned char* Bytes)
{
    std::uint32_t Word;
    std::memcpy(&Word, Bytes, WordSize);
    return qFromLittleEndian(Word);
}

// Copies Size bytes and returns their checksum, in one pass: each word is summed while it is in a
// register on its way.
ZQ_VECTOR_CLONES std::uint32_t CopySummed(unsigned char* To, const unsigned char* From, std::size_t Size)
{
    const std::size_t Words = Size / WordSize;
    std::uint32_t LaneSums[Lanes] = {};
    std::size_t Index = 0;
    for (; Index + Lanes <= Words; Index += Lanes)
        for (std::size_t Lane = 0; Lane < Lanes; ++Lane) {
            std::uint32_t Word;
            std::memcpy(&Word, From + (Index + Lane) * WordSize, WordSize);
            std::memcpy(To + (Index + Lane) * WordSize, &Word, WordSize);
            LaneSums[Lane] += qFromLittleEndian(Word);
        }
    std::uint32_t Sum = 0;
    for (const std::uint32_t LaneSum : LaneSums)
        Sum += LaneSum;
    for (; Index < Words; ++Index) {
        Sum += LittleEndianWord(From + Index * WordSize);
        std::memcpy(To + Index * WordSize, From + Index * WordSize, WordSize);
    }
    std::memcpy(To + Words * WordSize, From + Words * WordSize, Size % WordSize);
    return Sum;
}

#ifdef ZQ_STREAMING_STORES
// Beyond the caches' size the target's old contents are not worth fetching: stores that bypass the
// cache move each byte once each way, where plain stores read the target before writing it.
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
constexpr std::size_t StreamingMinimum = 2048;
#else
constexpr std::size_t StreamingMinimum = std::size_t(8) << 20;
#endif
constexpr std::size_t VectorSize = 32;
constexpr std::size_t BlockSize = 4 * VectorSize;

// Copies and sums whole blocks into a target aligned to the vector size.
__attribute__((target("avx2"))) std::uint32_t StreamSummed(unsigned char* To, const unsigned char* From,
                                                            std::size_t Size)
{
    __m256i Sums[4] = {_mm256_setzero_si256(), _mm256_setzero_si256(), _mm256_setzero_si256(),
                       _mm256_setzero_si256()};
    for (std::size_t Offset = 0; Offset < Size; Offset += BlockSize)
        for (std::size_t Part = 0; Part < 4; ++Part) {
            const std::size_t At = Offset + Part * VectorSize;
            const __m256i Words = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(From + At));
            _mm256_stream_si256(reinterpret_cast<__m256i*>(To + At), Words);
            Sums[Part] = _mm256_add_epi32(Sums[Part], Words);
        }
    _mm_sfence();
    const __m256i Total = _mm256_add_epi32(_mm256_add_epi32(Sums[0], Sums[1]), _mm256_add_epi32(Sums[2], Sums[3]));
    alignas(VectorSize) std::uint32_t Lanes[VectorSize / WordSize];
    _mm256_store_si256(reinterpret_cast<__m256i*>(Lanes), Total);
    std::uint32_t Sum = 0;
    for (const std::uint32_t Lane : Lanes)
        Sum += Lane;
    return Sum;
}
#endif

// CopySummed for a copy out of a mapped file: a large one into a word-aligned target (the mapping
// is page-aligned, so the target's words are the file's) bypasses the cache where it can.
std::uint32_t CopySummedFromMapping(unsigned char* To, const unsigned char* From, std::size_t Size)
{
#ifdef ZQ_STREAMING_STORES
    static const bool Streaming = __builtin_cpu_supports("avx2");
    if (Streaming && Size >= StreamingMinimum && reinterpret_cast<std::uintptr_t>(To) % WordSize == 0) {
        const std::size_t Head = (VectorSize - reinterpret_cast<std::uintptr_t>(To) % VectorSize) % VectorSize;
        const std::size_t Body = (Size - Head) / BlockSize * BlockSize;
        return CopySummed(To, From, Head) + StreamSummed(To + Head, From + Head, Body) +
               CopySummed(To + Head + Body, From + Head + Body, Size - Head - Body);
    }
#endif
    return CopySummed(To, From, Size);
}

// Hands the data to Transfer in chunks and sums each chunk right after, while the transfer has left
// it in the cache: the data cross memory once. The chunks are whole words, so their sums add up.
template <class TByte, class TTransfer>
std::uint32_t TransferSummed(TByte* Bytes, std::size_t Size, TTransfer Transfer)
{
    std::uint32_t Sum = 0;
    for (std::size_t Offset = 0; Offset < Size; Offset += ChunkSize) {
        const std::size_t Count = std::min(ChunkSize, Size - Offset);
        Transfer(Bytes + Offset, std::int64_t(Count));
        Sum += CheckSum(Bytes + Offset, Count);
    }
    return Sum;
}

// A mapped file that another process cuts short raises SIGBUS where the copy touches the lost
// part. The handler turns that into a return to the read, which then fails as a short read would;
// any other SIGBUS goes where it went before.
thread_local sigjmp_buf* CutShort = nullptr;
thread_local const unsigned char* MappedFrom = nullptr;
thread_local std::size_t MappedSize = 0;
struct sigaction PreviousBusAction;

void OnBusError(int Signal, siginfo_t* Info, void* Context)
{
    const auto* Address = static_cast<const unsigned char*>(Info->si_addr);
    if (CutShort && Address >= MappedFrom && Address < MappedFrom + MappedSize)
        siglongjmp(*CutShort, 1);
    if (PreviousBusAction.sa_flags & SA_SIGINFO)
        PreviousBusAction.sa_sigaction(Signal, Info, Context);
    else if (PreviousBusAction.sa_handler != SIG_DFL && PreviousBusAction.sa_handler != SIG_IGN)
        PreviousBusAction.sa_handler(Signal);
    else
        std::signal(SIGBUS, SIG_DFL); // the fault comes again, now with the default action
}

// Fills the buffer straight from the page cache, copying and summing in one pass, when the file is
// large and complete; false leaves the read to the stream.
bool ReadMapped(int Handle, unsigned char* Data, std::size_t Size, std::uint32_t& Sum, unsigned char* Stored)
{
    struct stat Info{};
    if (Size < MappedMinimum || Size > std::numeric_limits<std::size_t>::max() - WordSize ||
        fstat(Handle, &Info) != 0 || std::uint64_t(Info.st_size) < std::uint64_t(Size) + WordSize)
        return false;
    static std::once_flag Installed;
    std::call_once(Installed, [] {
        struct sigaction Action{};
        Action.sa_sigaction = OnBusError;
        Action.sa_flags = SA_SIGINFO;
        sigemptyset(&Action.sa_mask);
        sigaction(SIGBUS, &Action, &PreviousBusAction);
    });
    void* const Map = mmap(nullptr, Size + WordSize, PROT_READ, MAP_SHARED | MAP_POPULATE, Handle, 0);
    if (Map == MAP_FAILED)
        return false;
    MappedFrom = static_cast<const unsigned char*>(Map);
    MappedSize = Size + WordSize;
    sigjmp_buf Recovery;
    const bool Complete = sigsetjmp(Recovery, 1) == 0;
    if (Complete) {
        CutShort = &Recovery;
        Sum = CopySummedFromMapping(Data, MappedFrom, Size);
        std::memcpy(Stored, MappedFrom + Size, WordSize);
    }
    CutShort = nullptr;
    munmap(Map, Size + WordSize);
    if (!Complete)
        throw EReadError(FrameworkString(SReadError));
    return true;
}

} // namespace

static ZQ_VECTOR_CLONES std::uint32_t SumWords(const void* Data, std::size_t Size)
{
    const auto* Bytes = static_cast<const unsigned char*>(Data);
    const std::size_t Words = Size / WordSize;
    // Separate running sums let the additions overlap instead of each waiting for the one before;
    // the compiler keeps them in vector registers. The sum modulo 2^32 does not depend on the order.
    std::uint32_t LaneSums[Lanes] = {};
    std::size_t Index = 0;
    for (; Index + Lanes <= Words; Index += Lanes)
        for (std::size_t Lane = 0; Lane < Lanes; ++Lane)
            LaneSums[Lane] += LittleEndianWord(Bytes + (Index + Lane) * WordSize);
    std::uint32_t Sum = 0;
    for (const std::uint32_t LaneSum : LaneSums)
        Sum += LaneSum;
    for (; Index < Words; ++Index)
        Sum += LittleEndianWord(Bytes + Index * WordSize);
    return Sum;
}

// A plain function over the cloned one: the library's own calls of a cloned function would go
// through the symbol table, where a program's function of the same name takes its place.
std::uint32_t CheckSum(const void* Data, std::size_t Size)
{
    return SumWords(Data, Size);
}

void WriteWithCheckSum(const QString& FileName, const void* Data, std::size_t Size)
{
    // The sum is taken as the data go out, not before: the named file changes only by the final
    // rename, so it is still untouched when the sum is complete.
    ReplaceFile(FileName, [&](TFileStream& Stream) {
        const std::uint32_t Sum =
            TransferSummed(static_cast<const unsigned char*>(Data), Size,
                           [&](const unsigned char* Chunk, std::int64_t Count) { Stream.WriteBuffer(Chunk, Count); });
        unsigned char Stored[WordSize];
        qToLittleEndian(Sum, Stored);
        Stream.WriteBuffer(Stored, WordSize);
    });
}

void ReadWithCheckSum(const QString& FileName, void* Data, std::size_t Size)
{
    std::uint32_t Sum;
    unsigned char Stored[WordSize];
    {
        TFileStream Stream = TFileStream::Open(FileName, TFileAccess::Read, TShareMode::Exclusive);
        if (!ReadMapped(Stream.Handle(), static_cast<unsigned char*>(Data), Size, Sum, Stored)) {
            Sum = TransferSummed(static_cast<unsigned char*>(Data), Size,
                                 [&](unsigned char* Chunk, std::int64_t Count) { Stream.ReadBuffer(Chunk, Count); });
            Stream.ReadBuffer(Stored, WordSize);
        }
    }
    if (Sum != LittleEndianWord(Stored))
        throw EReadError(FrameworkString(SCheckSumError) + FileName);
}
