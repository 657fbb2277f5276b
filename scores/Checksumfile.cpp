#include "scores/Checksumfile.h"

#include "framework/Exceptions.h"
#include "framework/FileStream.h"
#include "framework/StringTable.h"

#include <QDir>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <limits>

using namespace Exceptions;

namespace {

constexpr std::size_t WordSize = sizeof(std::uint32_t);
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
// Small enough that the fuzzer's inputs span several chunks.
constexpr std::size_t ChunkSize = 64;
#else
// Large enough that the reads' calls cost little, small enough that a chunk is still in the
// second-level cache when it is summed.
constexpr std::size_t ChunkSize = std::size_t(512) << 10;
#endif
static_assert(ChunkSize % WordSize == 0);
constexpr std::size_t Lanes = 32;

// The sums are compiled twice on x86-64, for the vector unit every processor has and for the
// wider one most have; the loader picks one. Windows' loader cannot pick: there it is the first.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__SANITIZE_ADDRESS__) && !defined(_WIN32)
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
        Sum = TransferSummed(static_cast<unsigned char*>(Data), Size,
                             [&](unsigned char* Chunk, std::int64_t Count) { Stream.ReadBuffer(Chunk, Count); });
        Stream.ReadBuffer(Stored, WordSize);
    }
    if (Sum != LittleEndianWord(Stored))
        throw EReadError(FrameworkString(SCheckSumError) + QDir::toNativeSeparators(FileName));
}
