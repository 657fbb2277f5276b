#include "scores/Checksumfile.h"

#include "framework/Exceptions.h"
#include "framework/FileStream.h"
#include "framework/StringTable.h"

#include <QtEndian>

#include <cstring>

namespace {

constexpr std::size_t WordSize = sizeof(std::uint32_t);
constexpr std::size_t Lanes = 16;

// memcpy rather than a cast: the data may be unaligned, and the compiler turns it into one load.
std::uint32_t LittleEndianWord(const unsigned char* Bytes)
{
    std::uint32_t Word;
    std::memcpy(&Word, Bytes, WordSize);
    return qFromLittleEndian(Word);
}

} // namespace

std::uint32_t CheckSum(const void* Data, std::size_t Size)
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

void WriteWithCheckSum(const QString& FileName, const void* Data, std::size_t Size)
{
    unsigned char Stored[WordSize];
    qToLittleEndian(CheckSum(Data, Size), Stored);
    ReplaceFile(FileName, [&](TFileStream& Stream) {
        Stream.WriteBuffer(Data, std::int64_t(Size));
        Stream.WriteBuffer(Stored, WordSize);
    });
}

void ReadWithCheckSum(const QString& FileName, void* Data, std::size_t Size)
{
    unsigned char Stored[WordSize];
    {
        TFileStream Stream = TFileStream::Open(FileName, TFileAccess::Read, TShareMode::Exclusive);
        Stream.ReadBuffer(Data, std::int64_t(Size));
        Stream.ReadBuffer(Stored, WordSize);
    }
    if (CheckSum(Data, Size) != LittleEndianWord(Stored))
        throw EReadError(FrameworkString(SCheckSumError) + FileName);
}
