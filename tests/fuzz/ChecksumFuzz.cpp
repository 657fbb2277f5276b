// ReadWithCheckSum on files of any content, read with any size, and WriteWithCheckSum round trips.
// Beyond the sanitizers' checks, the outcome must follow from the file alone: a file shorter than
// size + 4 bytes fails with a read error, a complete one is accepted exactly when its stored sum
// matches, and the buffer always holds the bytes read and nothing past them. Written data read back
// byte for byte after a file of exactly size + 4 bytes. The fuzz build reads in chunks of 64 bytes,
// so that most inputs take several.
//
// An input is a few leading bytes that choose the size (either near the content's length less four,
// where the interesting cases lie, or any size up to 128 KiB) and the caller buffer's misalignment,
// then the file's content.
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

using namespace Exceptions;

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

std::vector<std::uint8_t> GetFile()
{
    QFile File(FuzzFile());
    Require(File.open(QIODevice::ReadOnly), "the fuzz file can be read");
    const QByteArray Bytes = File.readAll();
    return std::vector<std::uint8_t>(Bytes.begin(), Bytes.end());
}

// A caller buffer of Size bytes that starts Misalignment bytes into its allocation and ends where
// the allocation ends, so that any access past it is caught; the bytes before it must stay as set.
struct TBuffer {
    TBuffer(std::size_t Size, std::size_t Misalignment)
        : Storage(new std::uint8_t[Misalignment + Size]), Data(Storage.get() + Misalignment), Size(Size),
          Misalignment(Misalignment)
    {
        std::memset(Storage.get(), Untouched, Misalignment + Size);
    }
    bool UntouchedFrom(std::size_t Offset) const
    {
        const auto IsUntouched = [](std::uint8_t Byte) { return Byte == Untouched; };
        return std::all_of(Storage.get(), Data, IsUntouched) && std::all_of(Data + Offset, Data + Size, IsUntouched);
    }
    std::unique_ptr<std::uint8_t[]> Storage;
    std::uint8_t* Data;
    std::size_t Size;
    std::size_t Misalignment;
};

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
    const std::size_t Misalignment = Provider.ConsumeIntegralInRange<std::size_t>(0, 15);
    const std::vector<std::uint8_t> Content = Provider.ConsumeRemainingBytes<std::uint8_t>();
    const long Near = long(Content.size()) - 4 + Offset;
    const std::size_t Size = NearTheLength ? std::size_t(std::max(0L, Near)) : AnySize;

    PutFile(Content);
    TBuffer Buffer(Size, Misalignment);
    bool Accepted = false;
    QString Message;
    try {
        ReadWithCheckSum(FuzzFile(), Buffer.Data, Size);
        Accepted = true;
    } catch (const EReadError& Error) {
        Message = Error.Message();
    }

    const std::size_t Read = std::min(Size, Content.size());
    Require(std::equal(Content.begin(), Content.begin() + long(Read), Buffer.Data), "the buffer holds what was read");
    Require(Buffer.UntouchedFrom(Read), "nothing outside what was read is written");
    if (Content.size() < Size + 4) {
        Require(!Accepted && Message == FrameworkString(SReadError), "a short file fails with a read error");
    } else {
        const std::uint32_t Stored = std::uint32_t(Content[Size]) | std::uint32_t(Content[Size + 1]) << 8 |
                                     std::uint32_t(Content[Size + 2]) << 16 | std::uint32_t(Content[Size + 3]) << 24;
        const bool Matches = ByteWiseSum(Content.data(), Size) == Stored;
        Require(Accepted == Matches, "a complete file is accepted exactly when its sum matches");
        Require(Accepted || Message == FrameworkString(SCheckSumError) + QDir::toNativeSeparators(FuzzFile()), "a mismatch names the file");
    }

    // The content as data: written, it is the data and their sum, and it reads back unchanged.
    WriteWithCheckSum(FuzzFile(), Content.data(), Content.size());
    const std::uint32_t Sum = ByteWiseSum(Content.data(), Content.size());
    std::vector<std::uint8_t> Expected = Content;
    for (int Shift = 0; Shift < 32; Shift += 8)
        Expected.push_back(std::uint8_t(Sum >> Shift));
    Require(GetFile() == Expected, "the written file is the data and their sum");
    TBuffer Back(Content.size(), (Misalignment + 7) % 16);
    ReadWithCheckSum(FuzzFile(), Back.Data, Content.size());
    Require(std::equal(Content.begin(), Content.end(), Back.Data) && Back.UntouchedFrom(Content.size()),
            "written data read back byte for byte");
    return 0;
}
