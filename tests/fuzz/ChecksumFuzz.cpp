// ReadWithCheckSum on files of any content, read with any size. Beyond the sanitizers' checks, the
// outcome must follow from the file alone: a file shorter than size + 4 bytes fails with a read
// error, a complete one is accepted exactly when its stored sum matches, and the buffer always
// holds the bytes read and nothing past them.
//
// An input is the file's content followed by a few trailing bytes that choose the size: either
// near the content's length less four, where the interesting cases lie, or any size up to 128 KiB.
#include "framework/Exceptions.h"
#include "framework/StringTable.h"
#include "scores/Checksumfile.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr unsigned char Untouched = 0xA5;

const QString& FuzzFile()
{
    static const QString Name = QDir::temp().filePath(QStringLiteral("zq_fuzz_%1.chk").arg(getpid()));
    return Name;
}

void RemoveFuzzFile()
{
    ::unlink(QFile::encodeName(FuzzFile()).constData());
}

void Require(bool Condition, const char* What)
{
    if (!Condition) {
        std::fprintf(stderr, "violated: %s\n", What);
        std::abort();
    }
}

void PutFile(const std::vector<std::uint8_t>& Content)
{
    const int Handle = ::open(QFile::encodeName(FuzzFile()).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    Require(Handle >= 0, "the fuzz file can be created");
    const bool Written = Content.empty() || ::write(Handle, Content.data(), Content.size()) == ssize_t(Content.size());
    ::close(Handle);
    Require(Written, "the fuzz file can be written");
}

// The sum as the file format defines it, from single bytes.
std::uint32_t ByteWiseSum(const std::uint8_t* Bytes, std::size_t Size)
{
    std::uint32_t Sum = 0;
    for (std::size_t Word = 0; Word + 4 <= Size; Word += 4)
        Sum += std::uint32_t(Bytes[Word]) | std::uint32_t(Bytes[Word + 1]) << 8 |
               std::uint32_t(Bytes[Word + 2]) << 16 | std::uint32_t(Bytes[Word + 3]) << 24;
    return Sum;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Registered after the name exists, so that it runs before the name is destroyed.
    FuzzFile();
    std::atexit(RemoveFuzzFile);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Input, std::size_t InputSize)
{
    FuzzedDataProvider Provider(Input, InputSize);
    const bool NearTheLength = Provider.ConsumeBool();
    const int Offset = Provider.ConsumeIntegralInRange<int>(-64, 64);
    const std::size_t AnySize = Provider.ConsumeIntegralInRange<std::size_t>(0, std::size_t(1) << 17);
    const std::vector<std::uint8_t> Content = Provider.ConsumeRemainingBytes<std::uint8_t>();
    const long Near = long(Content.size()) - 4 + Offset;
    const std::size_t Size = NearTheLength ? std::size_t(std::max(0L, Near)) : AnySize;

    PutFile(Content);
    // Exactly Size bytes on the heap, so that any access past them is caught.
    std::unique_ptr<std::uint8_t[]> Buffer(new std::uint8_t[Size]);
    std::memset(Buffer.get(), Untouched, Size);

    bool Accepted = false;
    QString Message;
    try {
        ReadWithCheckSum(FuzzFile(), Buffer.get(), Size);
        Accepted = true;
    } catch (const EReadError& Error) {
        Message = Error.Message();
    }

    const std::size_t Read = std::min(Size, Content.size());
    Require(std::equal(Content.begin(), Content.begin() + long(Read), Buffer.get()), "the buffer holds what was read");
    Require(std::all_of(Buffer.get() + Read, Buffer.get() + Size, [](std::uint8_t Byte) { return Byte == Untouched; }),
            "nothing past what was read is written");
    if (Content.size() < Size + 4) {
        Require(!Accepted && Message == FrameworkString(SReadError), "a short file fails with a read error");
        return 0;
    }
    const std::uint32_t Stored = std::uint32_t(Content[Size]) | std::uint32_t(Content[Size + 1]) << 8 |
                                 std::uint32_t(Content[Size + 2]) << 16 | std::uint32_t(Content[Size + 3]) << 24;
    const bool Matches = ByteWiseSum(Content.data(), Size) == Stored;
    Require(Accepted == Matches, "a complete file is accepted exactly when its sum matches");
    Require(Accepted || Message == FrameworkString(SCheckSumError) + FuzzFile(), "a mismatch names the file");
    return 0;
}
