#include "framework/Exceptions.h"
#include "framework/FileStream.h"
#include "framework/FileStreamSystem.h"
#include "scores/Checksumfile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtEndian>

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#ifndef _WIN32
#include "ChildProcess.h"

#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <sys/sysmacros.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace Exceptions;

namespace {

using TBytes = std::vector<unsigned char>;

const QString CheckSumMessage = QString::fromUtf8("Ошибка в контрольной сумме при чтении из файла ");

// The sum as the file format defines it, built from single bytes rather than word loads.
std::uint32_t ReferenceSum(const TBytes& Bytes)
{
    std::uint32_t Sum = 0;
    for (std::size_t Word = 0; Word + 4 <= Bytes.size(); Word += 4)
        Sum += std::uint32_t(Bytes[Word]) | std::uint32_t(Bytes[Word + 1]) << 8 |
               std::uint32_t(Bytes[Word + 2]) << 16 | std::uint32_t(Bytes[Word + 3]) << 24;
    return Sum;
}

TBytes LittleEndian(std::uint32_t Value)
{
    return {static_cast<unsigned char>(Value), static_cast<unsigned char>(Value >> 8),
            static_cast<unsigned char>(Value >> 16), static_cast<unsigned char>(Value >> 24)};
}

TBytes Concat(TBytes Head, const TBytes& Tail)
{
    Head.insert(Head.end(), Tail.begin(), Tail.end());
    return Head;
}

TBytes RandomBytes(std::size_t Size, unsigned Seed)
{
    std::mt19937 Generator(Seed);
    TBytes Bytes(Size);
    for (auto& Byte : Bytes)
        Byte = static_cast<unsigned char>(Generator());
    return Bytes;
}

TBytes Letters(char First, char Last)
{
    TBytes Bytes;
    for (char Letter = First; Letter <= Last; ++Letter)
        Bytes.push_back(static_cast<unsigned char>(Letter));
    return Bytes;
}

// Raw file access that bypasses the routines under test.
TBytes FileBytes(const QString& Name)
{
    QFile File(Name);
    if (!File.open(QIODevice::ReadOnly))
        return {};
    const QByteArray Content = File.readAll();
    return TBytes(Content.begin(), Content.end());
}

void PutFile(const QString& Name, const TBytes& Bytes)
{
    QFile File(Name);
    ASSERT_TRUE(File.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(File.write(reinterpret_cast<const char*>(Bytes.data()), qint64(Bytes.size())), qint64(Bytes.size()));
}

#ifndef _WIN32
// An access list as the system stores it in an extended attribute: a little-endian version 2, then
// (tag, rights, id) entries.
enum TAclTag : std::uint16_t {
    AclUserObj = 0x01,
    AclUser = 0x02,
    AclGroupObj = 0x04,
    AclGroup = 0x08,
    AclMask = 0x10,
    AclOther = 0x20
};
struct TAclEntry {
    TAclTag Tag;
    std::uint16_t Rights;
    std::uint32_t Id = 0xFFFFFFFF;
};

QByteArray AccessListBytes(std::initializer_list<TAclEntry> Entries)
{
    QByteArray Bytes(4, '\0');
    qToLittleEndian(std::uint32_t(2), Bytes.data());
    for (const TAclEntry& Entry : Entries) {
        QByteArray Field(8, '\0');
        qToLittleEndian(std::uint16_t(Entry.Tag), Field.data());
        qToLittleEndian(Entry.Rights, Field.data() + 2);
        qToLittleEndian(Entry.Id, Field.data() + 4);
        Bytes += Field;
    }
    return Bytes;
}

// An extended attribute's value, empty when the file has none of that name.
QByteArray AttributeOf(const QString& Name, const char* Key)
{
    QByteArray Value(1024, '\0');
    const ssize_t Size = getxattr(QFile::encodeName(Name).constData(), Key, Value.data(), size_t(Value.size()));
    return Size < 0 ? QByteArray() : Value.left(Size);
}

mode_t ModeOf(const QString& Name)
{
    struct stat Info{};
    return stat(QFile::encodeName(Name).constData(), &Info) == 0 ? Info.st_mode & 07777 : mode_t(-1);
}
#endif

class ChecksumFile : public ::testing::Test {
protected:
    QString Path(const QString& Name) const { return Folder.filePath(Name); }

    TBytes ReadBack(const QString& Name, std::size_t Size)
    {
        TBytes Buffer(Size, 0xEE);
        ReadWithCheckSum(Name, Buffer.data(), Buffer.size());
        return Buffer;
    }

    QStringList FolderEntries() const
    {
        return QDir(Folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                                             QDir::Name);
    }

    QTemporaryDir Folder;
};

TEST(CheckSum, SumsTheWholeLittleEndianWordsWithWrapAround)
{
    const TBytes Abc = Letters('a', 'c');
    EXPECT_EQ(CheckSum(Abc.data(), Abc.size()), 0u);
    const TBytes Four = Letters('a', 'd');
    EXPECT_EQ(LittleEndian(CheckSum(Four.data(), Four.size())), Four);
    const TBytes Eight = Letters('a', 'h');
    const TBytes Nine = Letters('a', 'i');
    EXPECT_EQ(LittleEndian(CheckSum(Eight.data(), Eight.size())), (TBytes{0xC6, 0xC8, 0xCA, 0xCC}));
    EXPECT_EQ(LittleEndian(CheckSum(Nine.data(), Nine.size())), (TBytes{0xC6, 0xC8, 0xCA, 0xCC}));
    const TBytes Wrapping{0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x00, 0x00, 0x00};
    EXPECT_EQ(CheckSum(Wrapping.data(), Wrapping.size()), 1u);
    EXPECT_EQ(CheckSum(nullptr, 0), 0u);
}

// Lengths around the widths of vector loops and their remainders.
TEST(CheckSum, AgreesWithTheByteWiseSumForEveryLengthUpTo300AndALargeBuffer)
{
    const TBytes Bytes = RandomBytes(300, 1);
    for (std::size_t Size = 0; Size <= Bytes.size(); ++Size)
        ASSERT_EQ(CheckSum(Bytes.data(), Size), ReferenceSum(TBytes(Bytes.begin(), Bytes.begin() + Size)))
            << "size " << Size;
    const TBytes Large = RandomBytes((1 << 20) + 7, 2);
    EXPECT_EQ(CheckSum(Large.data(), Large.size()), ReferenceSum(Large));
}

TEST(CheckSum, GivesTheSameSumAtEveryOffsetOfABuffer)
{
    const TBytes Data = RandomBytes(203, 3);
    const std::uint32_t Expected = ReferenceSum(Data);
    TBytes Shifted(Data.size() + 64);
    for (std::size_t Offset = 0; Offset < 64; ++Offset) {
        std::memcpy(Shifted.data() + Offset, Data.data(), Data.size());
        EXPECT_EQ(CheckSum(Shifted.data() + Offset, Data.size()), Expected) << "offset " << Offset;
    }
}

TEST_F(ChecksumFile, HoldsTheDataThenTheLittleEndianSum)
{
    const TBytes Four = Letters('a', 'd');
    WriteWithCheckSum(Path("four.chk"), Four.data(), Four.size());
    EXPECT_EQ(FileBytes(Path("four.chk")), (TBytes{0x61, 0x62, 0x63, 0x64, 0x61, 0x62, 0x63, 0x64}));

    const TBytes Nine = Letters('a', 'i');
    WriteWithCheckSum(Path("nine.chk"), Nine.data(), Nine.size());
    EXPECT_EQ(FileBytes(Path("nine.chk")), Concat(Nine, {0xC6, 0xC8, 0xCA, 0xCC}));

    const TBytes Wrapping{0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x00, 0x00, 0x00};
    WriteWithCheckSum(Path("wrap.chk"), Wrapping.data(), Wrapping.size());
    EXPECT_EQ(FileBytes(Path("wrap.chk")), Concat(Wrapping, {0x01, 0x00, 0x00, 0x00}));
}

TEST_F(ChecksumFile, SizesZeroToNineWriteSizePlusFourBytesAndReadBack)
{
    const TBytes Source = RandomBytes(9, 4);
    for (std::size_t Size = 0; Size <= 9; ++Size) {
        const TBytes Data(Source.begin(), Source.begin() + Size);
        const QString Name = Path(QString("size%1.chk").arg(Size));
        WriteWithCheckSum(Name, Data.data(), Data.size());
        EXPECT_EQ(FileBytes(Name), Concat(Data, LittleEndian(ReferenceSum(Data)))) << "size " << Size;
        EXPECT_EQ(ReadBack(Name, Size), Data) << "size " << Size;
    }
    EXPECT_EQ(FileBytes(Path("size0.chk")), (TBytes{0, 0, 0, 0}));
}

// A large read spans many chunks, into a target at any alignment.
TEST_F(ChecksumFile, ALargeBufferRoundTripsIntoAnyAlignmentAndAFaultFarIntoItIsFound)
{
    const TBytes Data = RandomBytes((9 << 20) + 5, 5);
    const QString Name = Path("large.chk");
    WriteWithCheckSum(Name, Data.data(), Data.size());
    const TBytes Good = FileBytes(Name);
    EXPECT_EQ(Good, Concat(Data, LittleEndian(ReferenceSum(Data))));
    TBytes Spacious(Data.size() + 128, 0xEE);
    const std::size_t ToLine = (64 - reinterpret_cast<std::uintptr_t>(Spacious.data()) % 64) % 64;
    for (const std::size_t Offset : {0, 4, 36, 1, 63}) {
        unsigned char* const Target = Spacious.data() + ToLine + Offset;
        std::fill(Spacious.begin(), Spacious.end(), 0xEE);
        ReadWithCheckSum(Name, Target, Data.size());
        EXPECT_TRUE(std::equal(Data.begin(), Data.end(), Target)) << "offset " << Offset;
        EXPECT_EQ(Target[Data.size()], 0xEE) << "offset " << Offset;
    }

    TBytes Bad = Good;
    Bad[Data.size() - 5] ^= 0x80;
    PutFile(Name, Bad);
    TBytes Buffer(Data.size());
    EXPECT_EQ(MessageOf<EReadError>([&] { ReadWithCheckSum(Name, Buffer.data(), Buffer.size()); }),
              CheckSumMessage + QDir::toNativeSeparators(Name));
    EXPECT_EQ(Buffer, TBytes(Bad.begin(), Bad.begin() + Data.size()));

    const std::size_t Cut = (2 << 20) + 3;
    PutFile(Name, TBytes(Good.begin(), Good.begin() + Cut));
    TBytes Partial(Data.size(), 0xEE);
    EXPECT_EQ(MessageOf<EReadError>([&] { ReadWithCheckSum(Name, Partial.data(), Partial.size()); }),
              "Stream read error");
    EXPECT_TRUE(std::equal(Data.begin(), Data.begin() + Cut, Partial.begin()));
    EXPECT_TRUE(std::all_of(Partial.begin() + Cut, Partial.end(), [](unsigned char Byte) { return Byte == 0xEE; }));
}

TEST_F(ChecksumFile, WritingReplacesALongerFileWhollyAndLeavesNoOtherFile)
{
    PutFile(Path("old.chk"), RandomBytes(100, 6));
    const TBytes Data = Letters('a', 'f');
    WriteWithCheckSum(Path("old.chk"), Data.data(), Data.size());
    EXPECT_EQ(FileBytes(Path("old.chk")), Concat(Data, LittleEndian(ReferenceSum(Data))));
    EXPECT_EQ(FolderEntries(), QStringList{"old.chk"});
}

TEST_F(ChecksumFile, AFileShorterThanSizePlusFourFailsWithAReadErrorKeepingWhatWasRead)
{
    const TBytes Data = Letters('a', 'h');
    WriteWithCheckSum(Path("eight.chk"), Data.data(), Data.size());

    // Reading more than was written: the data fit, the checksum does not.
    TBytes Buffer(10, 0xEE);
    EXPECT_EQ(MessageOf<EReadError>([&] { ReadWithCheckSum(Path("eight.chk"), Buffer.data(), Buffer.size()); }),
              "Stream read error");
    EXPECT_EQ(Buffer, Concat(Data, {0xC6, 0xC8}));

    // A file shorter than the data themselves.
    PutFile(Path("five.bin"), Letters('a', 'e'));
    TBytes Partial(8, 0xEE);
    EXPECT_EQ(MessageOf<EReadError>([&] { ReadWithCheckSum(Path("five.bin"), Partial.data(), Partial.size()); }),
              "Stream read error");
    EXPECT_EQ(Partial, Concat(Letters('a', 'e'), {0xEE, 0xEE, 0xEE}));

    PutFile(Path("empty.bin"), {});
    EXPECT_EQ(MessageOf<EReadError>([&] { ReadWithCheckSum(Path("empty.bin"), nullptr, 0); }), "Stream read error");
}

TEST_F(ChecksumFile, ASmallerReadSizeTakesDataBytesAsTheStoredSum)
{
    const TBytes Data = Letters('a', 'h');
    const QString Name = Path("eight.chk");
    WriteWithCheckSum(Name, Data.data(), Data.size());
    TBytes Buffer(4);
    EXPECT_EQ(MessageOf<EReadError>([&] { ReadWithCheckSum(Name, Buffer.data(), Buffer.size()); }),
              CheckSumMessage + QDir::toNativeSeparators(Name));
    EXPECT_EQ(Buffer, Letters('a', 'd'));

    // Unless those bytes happen to equal the sum of the shorter buffer.
    const TBytes Repeated{0x01, 0x02, 0x03, 0x04, 0x01, 0x02, 0x03, 0x04};
    WriteWithCheckSum(Path("repeated.chk"), Repeated.data(), Repeated.size());
    EXPECT_EQ(ReadBack(Path("repeated.chk"), 4), (TBytes{0x01, 0x02, 0x03, 0x04}));
}

TEST_F(ChecksumFile, EveryFlippedBitInTheSummedPartOrTheSumIsDetected)
{
    const TBytes Data = RandomBytes(11, 7);
    const QString Name = Path("flip.chk");
    WriteWithCheckSum(Name, Data.data(), Data.size());
    const TBytes Good = FileBytes(Name);
    ASSERT_EQ(Good.size(), 15u);
    const std::size_t Summed = 8;
    for (std::size_t Byte = 0; Byte < Good.size(); ++Byte) {
        if (Byte >= Summed && Byte < Data.size())
            continue;
        for (int Bit = 0; Bit < 8; ++Bit) {
            TBytes Bad = Good;
            Bad[Byte] ^= static_cast<unsigned char>(1 << Bit);
            PutFile(Name, Bad);
            TBytes Buffer(Data.size());
            EXPECT_EQ(MessageOf<EReadError>([&] { ReadWithCheckSum(Name, Buffer.data(), Buffer.size()); }),
                      CheckSumMessage + QDir::toNativeSeparators(Name))
                << "byte " << Byte << " bit " << Bit;
            EXPECT_EQ(Buffer, TBytes(Bad.begin(), Bad.begin() + Data.size()));
        }
    }
}

TEST_F(ChecksumFile, ChangesInTheLastSizeModFourBytesGoUnnoticed)
{
    const TBytes Data = RandomBytes(11, 8);
    const QString Name = Path("tail.chk");
    WriteWithCheckSum(Name, Data.data(), Data.size());
    TBytes Changed = FileBytes(Name);
    for (std::size_t Byte = 8; Byte < 11; ++Byte)
        Changed[Byte] = static_cast<unsigned char>(~Changed[Byte]);
    PutFile(Name, Changed);
    EXPECT_EQ(ReadBack(Name, Data.size()), TBytes(Changed.begin(), Changed.begin() + 11));
}

TEST_F(ChecksumFile, BytesAfterTheSumAreIgnored)
{
    const TBytes Data = Letters('a', 'i');
    const QString Name = Path("extra.chk");
    WriteWithCheckSum(Name, Data.data(), Data.size());
    PutFile(Name, Concat(FileBytes(Name), {0x00, 0xFF, 0x12}));
    EXPECT_EQ(ReadBack(Name, Data.size()), Data);
}

TEST_F(ChecksumFile, TheChecksumMessageNamesTheFileAsGiven)
{
    ASSERT_TRUE(QDir(Folder.path()).mkdir("sub"));
    const TBytes Data = Letters('a', 'h');
    const QString Name = Folder.path() + "/sub/.././odd name.chk";
    WriteWithCheckSum(Name, Data.data(), Data.size());
    TBytes Bad = FileBytes(Path("odd name.chk"));
    Bad[0] ^= 1;
    PutFile(Name, Bad);
    TBytes Buffer(Data.size());
    const QString Message = MessageOf<EReadError>([&] { ReadWithCheckSum(Name, Buffer.data(), Buffer.size()); });
    EXPECT_EQ(Message, CheckSumMessage + QDir::toNativeSeparators(Name));
    EXPECT_EQ(CheckSumMessage.size(), 47);
}

TEST_F(ChecksumFile, AMissingFileCannotBeOpened)
{
    const QString Name = Path("missing.chk");
    TBytes Buffer(4);
    EXPECT_EQ(MessageOf<EFOpenError>([&] { ReadWithCheckSum(Name, Buffer.data(), Buffer.size()); }),
              "Cannot open file " + QDir::toNativeSeparators(Name));
    EXPECT_TRUE(FolderEntries().isEmpty());
}

TEST_F(ChecksumFile, AFileHeldByAnotherOpenCanNeitherBeReadNorReplaced)
{
    const TBytes Old = Letters('a', 'h');
    const TBytes New = Letters('i', 'p');
    const QString Name = Path("held.chk");
    WriteWithCheckSum(Name, Old.data(), Old.size());
    const TBytes OldFile = FileBytes(Name);
    {
        TFileStream Holder = TFileStream::Open(Name, TFileAccess::Read, TShareMode::Exclusive);
        TBytes Buffer(Old.size(), 0xEE);
        EXPECT_EQ(MessageOf<EFOpenError>([&] { ReadWithCheckSum(Name, Buffer.data(), Buffer.size()); }),
                  "Cannot open file " + QDir::toNativeSeparators(Name));
        EXPECT_EQ(Buffer, TBytes(Old.size(), 0xEE));
        EXPECT_EQ(MessageOf<EFCreateError>([&] { WriteWithCheckSum(Name, New.data(), New.size()); }),
                  "Cannot create file " + QDir::toNativeSeparators(Name));
    }
    // Even an open that allows sharing keeps the routines out, as they take the file without sharing.
    {
        TFileStream Holder = TFileStream::Open(Name, TFileAccess::Read, TShareMode::DenyNone);
        TBytes Buffer(Old.size());
        EXPECT_EQ(MessageOf<EFOpenError>([&] { ReadWithCheckSum(Name, Buffer.data(), Buffer.size()); }),
                  "Cannot open file " + QDir::toNativeSeparators(Name));
        EXPECT_EQ(MessageOf<EFCreateError>([&] { WriteWithCheckSum(Name, New.data(), New.size()); }),
                  "Cannot create file " + QDir::toNativeSeparators(Name));
    }
    EXPECT_EQ(FileBytes(Name), OldFile);
    EXPECT_EQ(FolderEntries(), QStringList{"held.chk"});

    // Released, the same calls succeed.
    WriteWithCheckSum(Name, New.data(), New.size());
    EXPECT_EQ(ReadBack(Name, New.size()), New);
}

TEST_F(ChecksumFile, AFileCannotBeCreatedUnderARegularFile)
{
    PutFile(Path("plain"), {0x01});
    const QString Name = Path("plain/inside.chk");
    const TBytes Data = Letters('a', 'd');
    EXPECT_EQ(MessageOf<EFCreateError>([&] { WriteWithCheckSum(Name, Data.data(), Data.size()); }),
              "Cannot create file " + QDir::toNativeSeparators(Name));
    EXPECT_EQ(FileBytes(Path("plain")), TBytes{0x01});
    EXPECT_EQ(FolderEntries(), QStringList{"plain"});
}

// Permissions, links, special files, other processes and limits, as POSIX has them; Windows' own
// cases are in FileStreamWinTests.cpp.
#ifndef _WIN32
// Without the write access to the folder that an atomic replacement needs, a file that may be
// written is written where it is; one that may not keeps its content.
TEST_F(ChecksumFile, AFolderThatRefusesNewFilesHasItsWritableFilesWrittenInPlace)
{
    ASSERT_TRUE(QDir(Folder.path()).mkdir("locked"));
    const QString Writable = Path("locked/writable.chk");
    const QString ReadOnly = Path("locked/readonly.chk");
    const TBytes Old = Letters('a', 'h');
    const TBytes New = RandomBytes(3000, 4);
    WriteWithCheckSum(Writable, Old.data(), Old.size());
    WriteWithCheckSum(ReadOnly, Old.data(), Old.size());
    const TBytes OldFile = FileBytes(ReadOnly);
    ASSERT_TRUE(QFile::setPermissions(ReadOnly, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    ASSERT_TRUE(GiveToChild(Writable) && GiveToChild(ReadOnly) && GiveToChild(Path("locked")));
    ASSERT_TRUE(QFile::setPermissions(Path("locked"), QFile::ReadOwner | QFile::ExeOwner));
    ASSERT_TRUE(QFile::setPermissions(Folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                         QFile::ExeGroup | QFile::ExeOther));

    const int Outcome = RunInChild(
        [&] {
            WriteWithCheckSum(Writable, New.data(), New.size());
            try {
                WriteWithCheckSum(ReadOnly, New.data(), New.size());
            } catch (const EFCreateError& Error) {
                return Error.Message() == "Cannot create file " + QDir::toNativeSeparators(ReadOnly) ? 0 : 3;
            }
            return 2;
        },
        true);
    QFile::setPermissions(Path("locked"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(Outcome, 0);
    EXPECT_EQ(ReadBack(Writable, New.size()), New);
    EXPECT_EQ(FileBytes(ReadOnly), OldFile);
    EXPECT_EQ(QDir(Path("locked")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name),
              QStringList({"readonly.chk", "writable.chk"}));
}

// A read-only file is refused as it would be on a system where such a file cannot be created anew,
// though the folder would let it be replaced.
TEST_F(ChecksumFile, AReadOnlyFileInAWritableFolderIsNotReplaced)
{
    const QString Name = Path("readonly.chk");
    const TBytes Old = Letters('a', 'h');
    const TBytes New = Letters('i', 'p');
    WriteWithCheckSum(Name, Old.data(), Old.size());
    const TBytes OldFile = FileBytes(Name);
    ASSERT_TRUE(QFile::setPermissions(Name, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    ASSERT_TRUE(GiveToChild(Name) && GiveToChild(Folder.path()));

    const int Outcome = RunInChild(
        [&] {
            try {
                WriteWithCheckSum(Name, New.data(), New.size());
            } catch (const EFCreateError& Error) {
                return Error.Message() == "Cannot create file " + QDir::toNativeSeparators(Name) ? 0 : 3;
            }
            return 2;
        },
        true);
    EXPECT_EQ(Outcome, 0);
    EXPECT_EQ(FileBytes(Name), OldFile);
    EXPECT_EQ(FolderEntries(), QStringList{"readonly.chk"});
}

// A FIFO would block an open until a writer comes, for ever; the alarm turns a hang into a failure.
TEST_F(ChecksumFile, APipeAFolderOrADeviceIsNeitherReadNorReplaced)
{
    alarm(60);
    const QString Pipe = Path("pipe.chk");
    const QString SubFolder = Path("folder.chk");
    const QString Device = Path("device.chk");
    ASSERT_EQ(mkfifo(QFile::encodeName(Pipe).constData(), 0666), 0);
    ASSERT_TRUE(QDir(Folder.path()).mkdir("folder.chk"));
    ASSERT_TRUE(QFile::link("/dev/null", Device));
    const TBytes Data = Letters('a', 'h');
    TBytes Buffer(Data.size(), 0xEE);
    for (const QString& Name : {Pipe, SubFolder, Device}) {
        EXPECT_EQ(MessageOf<EFOpenError>([&] { ReadWithCheckSum(Name, Buffer.data(), Buffer.size()); }),
                  "Cannot open file " + QDir::toNativeSeparators(Name));
        // A link to a device is followed to it, and a device here is the system's own.
        if (Name != Device) {
            EXPECT_EQ(MessageOf<EFCreateError>([&] { WriteWithCheckSum(Name, Data.data(), Data.size()); }),
                      "Cannot create file " + QDir::toNativeSeparators(Name));
        }
    }
    EXPECT_EQ(Buffer, TBytes(Data.size(), 0xEE));
    EXPECT_TRUE(QFileInfo(SubFolder).isDir());
    struct stat Info{};
    EXPECT_TRUE(lstat(QFile::encodeName(Pipe).constData(), &Info) == 0 && S_ISFIFO(Info.st_mode));
    // A device node of this test's own, where the system lets one be made.
    const QString Node = Path("node.chk");
    const bool Made = mknod(QFile::encodeName(Node).constData(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    if (Made) {
        EXPECT_EQ(MessageOf<EFCreateError>([&] { WriteWithCheckSum(Node, Data.data(), Data.size()); }),
                  "Cannot create file " + QDir::toNativeSeparators(Node));
        EXPECT_TRUE(lstat(QFile::encodeName(Node).constData(), &Info) == 0 && S_ISCHR(Info.st_mode));
    }
    EXPECT_EQ(FolderEntries().size(), Made ? 4 : 3);
    alarm(0);
}

// Replacing a file keeps what the player set up around it.
TEST_F(ChecksumFile, ReplacingWritesThroughLinksAndKeepsPermissionsOwnerAndOtherNames)
{
    const TBytes Old = Letters('a', 'h');
    const TBytes New = Letters('i', 'p');
    const auto Stat = [&](const QString& Name) {
        struct stat Info{};
        lstat(QFile::encodeName(Path(Name)).constData(), &Info);
        return Info;
    };

    // A symbolic link stays, and the file it points to gets the content, also when it is not there yet.
    WriteWithCheckSum(Path("real.chk"), Old.data(), Old.size());
    ASSERT_TRUE(QFile::link("real.chk", Path("link.chk")));
    ASSERT_TRUE(QFile::link("made.chk", Path("dangling.chk")));
    WriteWithCheckSum(Path("link.chk"), New.data(), New.size());
    WriteWithCheckSum(Path("dangling.chk"), New.data(), New.size());
    EXPECT_TRUE(S_ISLNK(Stat("link.chk").st_mode) && S_ISLNK(Stat("dangling.chk").st_mode));
    EXPECT_EQ(ReadBack(Path("real.chk"), New.size()), New);
    EXPECT_EQ(ReadBack(Path("made.chk"), New.size()), New);

    // The permissions stay, and so does the owner where this process may give it.
    WriteWithCheckSum(Path("private.chk"), Old.data(), Old.size());
    ASSERT_EQ(chmod(QFile::encodeName(Path("private.chk")).constData(), 0600), 0);
    ASSERT_TRUE(GiveToChild(Path("private.chk")));
    const struct stat Before = Stat("private.chk");
    WriteWithCheckSum(Path("private.chk"), New.data(), New.size());
    const struct stat After = Stat("private.chk");
    EXPECT_EQ(After.st_mode & 07777, 0600u);
    EXPECT_EQ(After.st_uid, Before.st_uid);
    EXPECT_EQ(After.st_gid, Before.st_gid);
    // Kept by the replacement, not by writing in place.
    EXPECT_NE(After.st_ino, Before.st_ino);

    // Every name of a file with several sees the new content.
    WriteWithCheckSum(Path("first.chk"), Old.data(), Old.size());
    ASSERT_EQ(link(QFile::encodeName(Path("first.chk")).constData(), QFile::encodeName(Path("second.chk")).constData()), 0);
    WriteWithCheckSum(Path("first.chk"), New.data(), New.size());
    EXPECT_EQ(ReadBack(Path("second.chk"), New.size()), New);
    EXPECT_EQ(Stat("second.chk").st_nlink, nlink_t(2));

    // A name relative to the current folder, through a link in it.
    const QString Current = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(Folder.path()));
    WriteWithCheckSum("link.chk", Old.data(), Old.size());
    QDir::setCurrent(Current);
    EXPECT_EQ(ReadBack(Path("real.chk"), Old.size()), Old);

    EXPECT_EQ(FolderEntries(), QStringList({"dangling.chk", "first.chk", "link.chk", "made.chk", "private.chk",
                                            "real.chk", "second.chk"}));
}

#endif

TEST_F(ChecksumFile, ANameOfTheLongestLegalLengthIsWrittenAndRead)
{
    const QString Name = Path(QString(255, u'n'));
    const TBytes Data = Letters('a', 'h');
    WriteWithCheckSum(Name, Data.data(), Data.size());
    WriteWithCheckSum(Name, Data.data(), Data.size());
    EXPECT_EQ(ReadBack(Name, Data.size()), Data);
    EXPECT_EQ(FolderEntries(), QStringList{QString(255, u'n')});
}

#ifndef _WIN32
// Another process that ignores the lock cuts the file short and lets it grow again while a child
// reads it over and over: each read succeeds or fails with a read error, and none ends the child.
TEST_F(ChecksumFile, AFileCutShortWhileItIsReadFailsTheReadAndNothingElse)
{
    const TBytes Data = RandomBytes(8 << 20, 6);
    const QString Name = Path("shrinking.chk");
    WriteWithCheckSum(Name, Data.data(), Data.size());
    const int Handle = ::open(QFile::encodeName(Name).constData(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(Handle, 0);
    const pid_t Reader = fork();
    if (Reader == 0) {
        TBytes Buffer(Data.size());
        for (int Round = 0; Round < 100; ++Round) {
            try {
                ReadWithCheckSum(Name, Buffer.data(), Buffer.size());
            } catch (const EReadError&) {
            }
        }
        _exit(0);
    }
    // Whole for a while, then short and growing back piece by piece.
    const TBytes File = FileBytes(Name);
    constexpr std::size_t Piece = 1 << 20;
    int Status = 0;
    while (waitpid(Reader, &Status, WNOHANG) == 0) {
        for (std::size_t Offset = 0; Offset < File.size(); Offset += Piece)
            ASSERT_GT(pwrite(Handle, File.data() + Offset, std::min(Piece, File.size() - Offset), off_t(Offset)), 0);
        ASSERT_EQ(ftruncate(Handle, Piece), 0);
        for (std::size_t Offset = Piece; Offset < File.size(); Offset += Piece)
            ASSERT_GT(pwrite(Handle, File.data() + Offset, std::min(Piece, File.size() - Offset), off_t(Offset)), 0);
    }
    ::close(Handle);
    EXPECT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 0) << "the reader ended by signal " << WTERMSIG(Status);
}

// The child dies at a known point: past a file size limit, with the signal's default action.
TEST_F(ChecksumFile, AWriteKilledPartWayLeavesTheOldFileAndNothingElse)
{
    const TBytes Old = Letters('a', 'h');
    const TBytes New = RandomBytes(1 << 16, 5);
    const QString Name = Path("killed.chk");
    WriteWithCheckSum(Name, Old.data(), Old.size());
    const TBytes OldFile = FileBytes(Name);
    for (const bool Unnamed : {true, false}) {
        SCOPED_TRACE(Unnamed ? "unnamed temporary" : "named temporary");
        const int Outcome = RunInChild([&] {
            SetUnnamedTemporariesAllowed(Unnamed);
            const rlimit NoCore{0, 0};
            setrlimit(RLIMIT_CORE, &NoCore);
            std::signal(SIGXFSZ, SIG_DFL);
            const rlimit Limit{4096, RLIM_INFINITY};
            setrlimit(RLIMIT_FSIZE, &Limit);
            WriteWithCheckSum(Name, New.data(), New.size());
            return 0;
        });
        EXPECT_EQ(Outcome, -SIGXFSZ);
        EXPECT_EQ(FileBytes(Name), OldFile);
        if (!Unnamed) {
            // The killed writer's file has a name; the next write of the same file removes it.
            EXPECT_EQ(FolderEntries().size(), 2);
            SetUnnamedTemporariesAllowed(false);
            WriteWithCheckSum(Name, Old.data(), Old.size());
            SetUnnamedTemporariesAllowed(true);
        }
        EXPECT_EQ(FolderEntries(), QStringList{"killed.chk"});
    }
    EXPECT_EQ(ReadBack(Name, Old.size()), Old);
}

// A file size limit binds every user, root too: the write stops part way.
TEST_F(ChecksumFile, AFailedWriteLeavesThePreviousFileAsItWas)
{
    const TBytes Old = Letters('a', 'h');
    const QString Name = Path("limited.chk");
    WriteWithCheckSum(Name, Old.data(), Old.size());
    const TBytes OldFile = FileBytes(Name);

    rlimit Saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &Saved), 0);
    rlimit Limited = Saved;
    Limited.rlim_cur = 1024;
    const auto SavedHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &Limited), 0);
    const TBytes New = RandomBytes(4096, 9);
    const QString Message = MessageOf<EWriteError>([&] { WriteWithCheckSum(Name, New.data(), New.size()); });
    setrlimit(RLIMIT_FSIZE, &Saved);
    std::signal(SIGXFSZ, SavedHandler);

    EXPECT_EQ(Message, "Stream write error");
    EXPECT_EQ(FileBytes(Name), OldFile);
    EXPECT_EQ(FolderEntries(), QStringList{"limited.chk"});
}

// A link in a sticky folder that everyone may write is followed only when it belongs to this user or
// to the folder's owner: someone else's link there must not lead a write to a file of ours.
TEST_F(ChecksumFile, ALinkPlantedByAnotherUserInASharedFolderIsNotFollowed)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to act as two users";
    const TBytes Old = Letters('a', 'h');
    const TBytes New = Letters('i', 'p');
    const QString Victim = Path("victim.chk");
    WriteWithCheckSum(Victim, Old.data(), Old.size());
    ASSERT_EQ(chmod(QFile::encodeName(Victim).constData(), 0600), 0);
    const TBytes VictimFile = FileBytes(Victim);
    ASSERT_TRUE(QDir(Folder.path()).mkdir("shared"));
    const QByteArray Shared = QFile::encodeName(Path("shared"));
    ASSERT_EQ(chmod(Shared.constData(), 01777), 0);
    ASSERT_EQ(chmod(QFile::encodeName(Folder.path()).constData(), 0755), 0);
    const auto PlantAsNobody = [&](const QString& Link) {
        return RunInChild([&] { return symlink("../victim.chk", QFile::encodeName(Link).constData()) == 0 ? 0 : 2; },
                          true);
    };

    const QString Planted = Path("shared/planted.chk");
    ASSERT_EQ(PlantAsNobody(Planted), 0);
    EXPECT_EQ(MessageOf<EFCreateError>([&] { WriteWithCheckSum(Planted, New.data(), New.size()); }),
              "Cannot create file " + QDir::toNativeSeparators(Planted));
    EXPECT_EQ(FileBytes(Victim), VictimFile);
    // The process's own link there is followed.
    const QString Own = Path("shared/own.chk");
    ASSERT_TRUE(QFile::link("../victim.chk", Own));
    WriteWithCheckSum(Own, New.data(), New.size());
    EXPECT_EQ(ReadBack(Victim, New.size()), New);
    // So is a link of the folder's owner.
    ASSERT_EQ(chown(Shared.constData(), NobodyId, NobodyId), 0);
    WriteWithCheckSum(Planted, Old.data(), Old.size());
    EXPECT_EQ(ReadBack(Victim, Old.size()), Old);
    // A folder that only its owner may write is not shared.
    ASSERT_EQ(chmod(Shared.constData(), 0755), 0);
    WriteWithCheckSum(Planted, New.data(), New.size());
    EXPECT_EQ(ReadBack(Victim, New.size()), New);
    struct stat Info{};
    EXPECT_TRUE(lstat(QFile::encodeName(Planted).constData(), &Info) == 0 && S_ISLNK(Info.st_mode));
}

// A shared folder and a folder of root's beside it, holding a file only root may read.
class SharedFolderLinks : public ChecksumFile {
protected:
    void SetUp() override
    {
        if (geteuid() != 0)
            GTEST_SKIP() << "needs root to act as two users";
        ASSERT_EQ(chmod(QFile::encodeName(Folder.path()).constData(), 0755), 0);
        ASSERT_TRUE(QDir(Folder.path()).mkdir("private") && QDir(Folder.path()).mkdir("shared"));
        ASSERT_EQ(chmod(QFile::encodeName(Path("shared")).constData(), 01777), 0);
        WriteWithCheckSum(Secret, Old.data(), Old.size());
        ASSERT_EQ(chmod(QFile::encodeName(Secret).constData(), 0600), 0);
        SecretFile = FileBytes(Secret);
        ASSERT_EQ(stat(QFile::encodeName(Secret).constData(), &SecretInfo), 0);
    }

    // Root's file has its content and inode, and nothing else came into its folder.
    void ExpectSecretUntouched() const
    {
        struct stat Now{};
        EXPECT_EQ(FileBytes(Secret), SecretFile);
        EXPECT_TRUE(stat(QFile::encodeName(Secret).constData(), &Now) == 0 && Now.st_ino == SecretInfo.st_ino);
        EXPECT_EQ(QDir(Path("private")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                  QStringList{"secret.chk"});
    }

    const TBytes Old = Letters('a', 'h');
    const TBytes New = Letters('i', 'p');
    const QString Secret = Path("private/secret.chk");
    TBytes SecretFile;
    struct stat SecretInfo{};
};

// The rule for links in a shared folder holds for a link that stands for a folder of the name too:
// through another user's link there, root would otherwise write and read in any folder of root's.
TEST_F(SharedFolderLinks, AFolderLinkOfAnotherUserIsRefusedForWriteAndReadAndOneOfThisUserIsFollowed)
{
    const QByteArray Absolute = QFile::encodeName(Path("private"));
    ASSERT_EQ(RunInChild(
                  [&] {
                      return symlink("../private", QFile::encodeName(Path("shared/relative")).constData()) == 0 &&
                                     symlink(Absolute.constData(), QFile::encodeName(Path("shared/absolute")).constData()) == 0
                                 ? 0
                                 : 2;
                  },
                  true),
              0);
    // Root's own links: one to the folder, one to the other user's link.
    ASSERT_TRUE(QFile::link("../private", Path("shared/own")));
    ASSERT_TRUE(QFile::link("relative", Path("shared/chained")));

    const struct {
        const char* Name;
        bool Followed;
    } Cases[] = {
        {"shared/relative/secret.chk", false},
        {"shared/absolute/secret.chk", false},
        {"shared/chained/secret.chk", false},
        {"shared/relative/./secret.chk", false},
        {"shared/own/secret.chk", true},
        {"shared/own/../private/secret.chk", true},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        const QString Name = Path(Case.Name);
        if (Case.Followed) {
            WriteWithCheckSum(Name, New.data(), New.size());
            EXPECT_EQ(ReadBack(Name, New.size()), New);
            EXPECT_EQ(ReadBack(Secret, New.size()), New);
            WriteWithCheckSum(Secret, Old.data(), Old.size());
            continue;
        }
        EXPECT_EQ(MessageOf<EFCreateError>([&] { WriteWithCheckSum(Name, New.data(), New.size()); }),
                  "Cannot create file " + QDir::toNativeSeparators(Name));
        TBytes Buffer(Old.size(), 0xEE);
        EXPECT_EQ(MessageOf<EFOpenError>([&] { ReadWithCheckSum(Name, Buffer.data(), Buffer.size()); }),
                  "Cannot open file " + QDir::toNativeSeparators(Name));
        EXPECT_EQ(Buffer, TBytes(Old.size(), 0xEE));
        EXPECT_EQ(FileBytes(Secret), SecretFile);
    }
    EXPECT_EQ(ReadBack(Secret, Old.size()), Old);
    EXPECT_EQ(QDir(Path("private")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{"secret.chk"});
}

// The other user swaps a folder of its own and its link to root's folder back and forth while root
// writes and reads through the folder's name: each write lands in the real folder or is refused,
// and each read finds what was written there or nothing, never root's file.
TEST_F(SharedFolderLinks, AFolderSwappedWithALinkMeanwhileNeverLeadsAWriteOrAReadThroughTheLink)
{
    const QByteArray Real = QFile::encodeName(Path("shared/real"));
    const QByteArray Link = QFile::encodeName(Path("shared/link"));
    const QByteArray Target = QFile::encodeName(Path("private"));
    ASSERT_EQ(RunInChild(
                  [&] {
                      return mkdir(Real.constData(), 0755) == 0 && symlink(Target.constData(), Link.constData()) == 0
                                 ? 0
                                 : 2;
                  },
                  true),
              0);
    int Stop[2];
    ASSERT_EQ(pipe2(Stop, O_CLOEXEC), 0);
    // Swaps until the pipe is closed; fails when it never swapped.
    const pid_t Swapper = StartChild(
        [&] {
            ::close(Stop[1]);
            fcntl(Stop[0], F_SETFL, O_NONBLOCK);
            long Swaps = 0;
            char Byte;
            while (::read(Stop[0], &Byte, 1) < 0 && errno == EAGAIN)
                Swaps += renameat2(AT_FDCWD, Real.constData(), AT_FDCWD, Link.constData(), RENAME_EXCHANGE) == 0;
            return Swaps > 0 ? 0 : 2;
        },
        true);
    ::close(Stop[0]);
    const QString Name = Path("shared/real/secret.chk");
    int Written = 0, Refused = 0, Read = 0;
    for (int Round = 0; Round < 300; ++Round) {
        try {
            WriteWithCheckSum(Name, New.data(), New.size());
            ++Written;
        } catch (const EFCreateError& Error) {
            EXPECT_EQ(Error.Message(), "Cannot create file " + QDir::toNativeSeparators(Name));
            ++Refused;
        }
        TBytes Buffer(New.size(), 0xEE);
        try {
            ReadWithCheckSum(Name, Buffer.data(), Buffer.size());
            EXPECT_EQ(Buffer, New) << "round " << Round;
            ++Read;
        } catch (const EFOpenError&) {
        }
    }
    ::close(Stop[1]);
    EXPECT_EQ(WaitForChild(Swapper), 0);
    ExpectSecretUntouched();
    std::printf("%d writes landed, %d refused, %d reads\n", Written, Refused, Read);
}

TEST_F(ChecksumFile, ANameTheSystemCannotRepresentIsRefusedNotCutShort)
{
    const TBytes Old = Letters('a', 'h');
    const TBytes New = Letters('i', 'p');
    WriteWithCheckSum(Path("valid.chk"), Old.data(), Old.size());
    const TBytes OldFile = FileBytes(Path("valid.chk"));
    const QString WithNul = Path("valid.chk") + QChar(0) + ".other";
    const QString Unpaired = Path("valid.chk") + QChar(0xD800);
    for (const QString& Name : {WithNul, Unpaired}) {
        EXPECT_EQ(MessageOf<EFCreateError>([&] { WriteWithCheckSum(Name, New.data(), New.size()); }),
                  "Cannot create file " + QDir::toNativeSeparators(Name));
        TBytes Buffer(Old.size(), 0xEE);
        EXPECT_EQ(MessageOf<EFOpenError>([&] { ReadWithCheckSum(Name, Buffer.data(), Buffer.size()); }),
                  "Cannot open file " + QDir::toNativeSeparators(Name));
    }
    EXPECT_EQ(FileBytes(Path("valid.chk")), OldFile);
    // Any name that does exist in the file system's encoding is written as it is.
    const QString Accented = Path(QString::fromUtf8("сч\u00e9t \U0001F600.chk"));
    WriteWithCheckSum(Accented, New.data(), New.size());
    EXPECT_EQ(ReadBack(Accented, New.size()), New);
    EXPECT_EQ(FolderEntries(), QStringList({"valid.chk", QString::fromUtf8("сч\u00e9t \U0001F600.chk")}));
}

// The temporary's name must never make a path longer than the one given, and a chain of links is
// followed as far as the system follows one when it opens a name.
TEST_F(ChecksumFile, ALongPathAndAChainOfFortyLinksAreWrittenAsTheyAreRead)
{
    const TBytes Old = Letters('a', 'h');
    const TBytes New = Letters('i', 'p');
    QString Deep = Folder.path();
    const QString Step = QString(200, u'd');
    while (Deep.size() + 1 + Step.size() + 2 < PATH_MAX - 4)
        Deep += '/' + Step;
    Deep += '/' + QString(PATH_MAX - 4 - 2 - Deep.size() - 1, u'e');
    ASSERT_TRUE(QDir().mkpath(Deep));
    const QString Long = Deep + "/f";
    ASSERT_EQ(QFile::encodeName(Long).size(), PATH_MAX - 4);
    WriteWithCheckSum(Long, Old.data(), Old.size());
    EXPECT_EQ(ReadBack(Long, Old.size()), Old);
    WriteWithCheckSum(Long, New.data(), New.size());
    EXPECT_EQ(ReadBack(Long, New.size()), New);
    EXPECT_EQ(QDir(Deep).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList{"f"});

    // link1 -> link2 -> ... -> link40 -> real.chk: forty links, the most the system follows.
    constexpr int Links = 40;
    WriteWithCheckSum(Path("real.chk"), Old.data(), Old.size());
    for (int Link = 1; Link <= Links; ++Link)
        ASSERT_TRUE(QFile::link(Link == Links ? QString("real.chk") : QString("link%1").arg(Link + 1),
                                Path(QString("link%1").arg(Link))));
    WriteWithCheckSum(Path("link1"), New.data(), New.size());
    EXPECT_EQ(ReadBack(Path("link1"), New.size()), New);
    EXPECT_EQ(ReadBack(Path("real.chk"), New.size()), New);
    // One more than the system follows fails both ways.
    ASSERT_TRUE(QFile::link("link1", Path("link0")));
    TBytes Buffer(Old.size(), 0xEE);
    EXPECT_EQ(MessageOf<EFOpenError>([&] { ReadWithCheckSum(Path("link0"), Buffer.data(), Buffer.size()); }),
              "Cannot open file " + QDir::toNativeSeparators(Path("link0")));
    EXPECT_EQ(MessageOf<EFCreateError>([&] { WriteWithCheckSum(Path("link0"), Old.data(), Old.size()); }),
              "Cannot create file " + QDir::toNativeSeparators(Path("link0")));
    EXPECT_EQ(ReadBack(Path("real.chk"), New.size()), New);
}

// Where /proc is hidden the file mode mask cannot be read: a new file is then this user's alone,
// whatever the mask, and a replacement, whose unnamed temporary would get its name through /proc,
// takes a named one, leaving nothing behind.
TEST_F(ChecksumFile, WithoutProcANewFileIsThisUsersAloneAndAReplacementStillSucceeds)
{
    const TBytes Old = Letters('a', 'h');
    const TBytes New = Letters('i', 'p');
    // Written here first, so that the child starts as a program that has written with /proc.
    WriteWithCheckSum(Path("existing.chk"), Old.data(), Old.size());
    constexpr int NotPermitted = 77;
    const int Outcome = RunInChild([&] {
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return NotPermitted;
        if (umount2("/proc", MNT_DETACH) != 0 && mount("none", "/proc", "tmpfs", 0, "size=16k") != 0)
            return NotPermitted;
        if (access("/proc/self/status", F_OK) == 0)
            return 2;
        for (const mode_t Mask : {mode_t(077), mode_t(022)}) {
            umask(Mask);
            const QString Name = Path(QString("new%1.chk").arg(Mask, 3, 8, QChar('0')));
            WriteWithCheckSum(Name, New.data(), New.size());
        }
        WriteWithCheckSum(Path("existing.chk"), New.data(), New.size());
        return 0;
    });
    if (Outcome == NotPermitted)
        GTEST_SKIP() << "this process may not hide /proc in a mount namespace of its own";
    ASSERT_EQ(Outcome, 0);
    EXPECT_EQ(ModeOf(Path("new077.chk")), 0600u);
    EXPECT_EQ(ModeOf(Path("new022.chk")), 0600u);
    EXPECT_EQ(ReadBack(Path("existing.chk"), New.size()), New);
    EXPECT_EQ(ReadBack(Path("new022.chk"), New.size()), New);
    EXPECT_EQ(FolderEntries(), QStringList({"existing.chk", "new022.chk", "new077.chk"}));
}

// An append-only folder keeps every name made in it: a temporary could neither be renamed over the
// file nor removed. An existing file is written where it is, a new one made under its own name with
// the mode any new file gets.
TEST_F(ChecksumFile, InAnAppendOnlyFolderExistingAndNewFilesAreWrittenAndNoOtherNameIsLeft)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to set the append-only attribute";
    const TBytes Old = Letters('a', 'h');
    const TBytes New = RandomBytes(3000, 10);
    WriteWithCheckSum(Path("existing.chk"), Old.data(), Old.size());
    const int Handle = ::open(QFile::encodeName(Folder.path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(Handle, 0);
    int Flags = 0;
    if (ioctl(Handle, FS_IOC_GETFLAGS, &Flags) != 0) {
        ::close(Handle);
        GTEST_SKIP() << "the file system of the test's folder has no file attributes";
    }
    int AppendOnly = Flags | FS_APPEND_FL;
    if (ioctl(Handle, FS_IOC_SETFLAGS, &AppendOnly) != 0) {
        ::close(Handle);
        GTEST_SKIP() << "the file system of the test's folder refuses the append-only attribute";
    }
    // Cleared in every case, so that the folder can be removed.
    struct TClear {
        int Handle;
        int Flags;
        ~TClear()
        {
            ioctl(Handle, FS_IOC_SETFLAGS, &Flags);
            ::close(Handle);
        }
    } Clear{Handle, Flags};

    const mode_t Mask = umask(027);
    WriteWithCheckSum(Path("existing.chk"), New.data(), New.size());
    WriteWithCheckSum(Path("new.chk"), Old.data(), Old.size());
    // Once there, the new file is written in place like any other.
    WriteWithCheckSum(Path("new.chk"), New.data(), New.size());
    SetUnnamedTemporariesAllowed(false);
    WriteWithCheckSum(Path("named.chk"), New.data(), New.size());
    SetUnnamedTemporariesAllowed(true);
    umask(Mask);
    for (const char* Name : {"existing.chk", "new.chk", "named.chk"}) {
        SCOPED_TRACE(Name);
        EXPECT_EQ(ReadBack(Path(Name), New.size()), New);
    }
    EXPECT_EQ(ModeOf(Path("new.chk")), 0640u);
    EXPECT_EQ(FolderEntries(), QStringList({"existing.chk", "named.chk", "new.chk"}));
}

// In a folder with a default access list a new file gets what the system gives any file created
// there with read and write for all, whatever the file mode mask; the private mode the temporary
// had while it was written must not show.
TEST_F(ChecksumFile, ANewFileInAFolderWithADefaultAccessListGetsWhatTheSystemGivesAFileCreatedThere)
{
    const TBytes Data = Letters('a', 'h');
    const struct {
        const char* Label;
        QByteArray Default;
    } Cases[] = {
        {"a named user under a mask",
         AccessListBytes({{AclUserObj, 7}, {AclUser, 6, NobodyId}, {AclGroupObj, 5}, {AclMask, 6}, {AclOther, 4}})},
        {"a named group under a full mask",
         AccessListBytes({{AclUserObj, 6}, {AclGroupObj, 7}, {AclGroup, 5, NobodyId}, {AclMask, 7}, {AclOther, 6}})},
        {"a narrow mask", AccessListBytes({{AclUserObj, 7}, {AclUser, 7, NobodyId}, {AclGroupObj, 7}, {AclMask, 4}, {AclOther, 0}})},
        {"the base entries only", AccessListBytes({{AclUserObj, 6}, {AclGroupObj, 4}, {AclOther, 0}})},
    };
    int Index = 0;
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Label);
        const QString Sub = Path(QString("acl%1").arg(Index++));
        ASSERT_TRUE(QDir().mkdir(Sub));
        if (setxattr(QFile::encodeName(Sub).constData(), "system.posix_acl_default", Case.Default.constData(),
                     size_t(Case.Default.size()), 0) != 0)
            GTEST_SKIP() << "the file system here keeps no access lists";
        const mode_t Mask = umask(077);
        const int Made = ::open(QFile::encodeName(Sub + "/made").constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        for (const bool Unnamed : {true, false}) {
            SetUnnamedTemporariesAllowed(Unnamed);
            WriteWithCheckSum(Sub + (Unnamed ? "/unnamed.chk" : "/named.chk"), Data.data(), Data.size());
        }
        SetUnnamedTemporariesAllowed(true);
        umask(Mask);
        ASSERT_GE(Made, 0);
        ::close(Made);
        const QByteArray Expected = AttributeOf(Sub + "/made", "system.posix_acl_access");
        for (const char* Name : {"/unnamed.chk", "/named.chk"}) {
            SCOPED_TRACE(Name);
            EXPECT_EQ(ModeOf(Sub + Name), ModeOf(Sub + "/made"));
            EXPECT_EQ(AttributeOf(Sub + Name, "system.posix_acl_access").toHex().toStdString(), Expected.toHex().toStdString());
        }
    }
}

// While it is written, the new file is this user's alone, whatever the old one's permissions; it
// takes them, and the old file's extended attributes, only once complete.
TEST_F(ChecksumFile, ATemporaryIsPrivateUntilCompleteThenTakesTheModeAndAttributesOfTheOldFile)
{
    const TBytes Old = Letters('a', 'h');
    const QString Name = Path("shared.chk");
    const QByteArray Native = QFile::encodeName(Name);
    // A file made anew gets what the program's file mode mask leaves of read and write for all.
    const mode_t Mask = umask(027);
    WriteWithCheckSum(Name, Old.data(), Old.size());
    umask(Mask);
    struct stat Made{};
    ASSERT_EQ(stat(Native.constData(), &Made), 0);
    EXPECT_EQ(Made.st_mode & 07777, 0640u);
    ASSERT_EQ(chmod(Native.constData(), 0664), 0);
    const bool Attributes = setxattr(Native.constData(), "user.zorvik.origin", "player", 6, 0) == 0;
    // An access list that lets nobody read the file.
    const QByteArray AccessList = AccessListBytes({{AclUserObj, 6}, {AclUser, 4, NobodyId}, {AclGroupObj, 6}, {AclMask, 6}, {AclOther, 4}});
    const bool Acl = setxattr(Native.constData(), "system.posix_acl_access", AccessList.constData(),
                              size_t(AccessList.size()), 0) == 0;
    const auto Attribute = [&](const char* Key) { return AttributeOf(Name, Key); };
    const QByteArray StoredAcl = Attribute("system.posix_acl_access");

    for (const bool Unnamed : {true, false}) {
        SCOPED_TRACE(Unnamed ? "unnamed temporary" : "named temporary");
        SetUnnamedTemporariesAllowed(Unnamed);
        struct stat During{};
        QStringList Names;
        ReplaceFile(Name, [&](TFileStream& Stream) {
            Stream.WriteBuffer(Old.data(), std::int64_t(Old.size()));
            fstat(Stream.Handle(), &During);
            Names = FolderEntries();
        });
        SetUnnamedTemporariesAllowed(true);
        EXPECT_EQ(During.st_mode & 07777, 0600u);
        EXPECT_EQ(Names.size(), Unnamed ? 1 : 2);
        struct stat After{};
        ASSERT_EQ(stat(Native.constData(), &After), 0);
        EXPECT_EQ(After.st_ino, During.st_ino);
        EXPECT_EQ(After.st_mode & 07777, 0664u);
        if (Attributes) {
            EXPECT_EQ(Attribute("user.zorvik.origin"), "player");
        }
        if (Acl) {
            EXPECT_EQ(Attribute("system.posix_acl_access"), StoredAcl);
        }
    }
    EXPECT_EQ(FolderEntries(), QStringList{"shared.chk"});
    if (!Attributes || !Acl)
        GTEST_SKIP() << "the file system here keeps no user attributes or access lists";
}

#endif

} // namespace

// Messages write the file's name as the system does, whichever separators the program used.
TEST(FileMessages, NameTheFileWithTheSystemsSeparators)
{
    struct TCase
    {
        const char* What;
        QString Name;
        std::function<void(const QString&)> Action;
        QString Expected;
    };
    unsigned char Byte = 0;
    const auto Read = [&](const QString& Name) { ReadWithCheckSum(Name, &Byte, 1); };
    const auto Write = [&](const QString& Name) { WriteWithCheckSum(Name, &Byte, 1); };
#ifdef _WIN32
    const QString Missing = QStringLiteral("C:/Program Files/Zorvik missing folder/Zorvik.dat");
    const QString Open = QStringLiteral("Cannot open file C:\\Program Files\\Zorvik missing folder\\Zorvik.dat");
    const QString Create = QStringLiteral("Cannot create file C:\\Program Files\\Zorvik missing folder\\Zorvik.dat");
#else
    const QString Missing = QStringLiteral("/nonexistent/Zorvik missing folder/Zorvik.dat");
    const QString Open = QStringLiteral("Cannot open file /nonexistent/Zorvik missing folder/Zorvik.dat");
    const QString Create = QStringLiteral("Cannot create file /nonexistent/Zorvik missing folder/Zorvik.dat");
#endif
    const TCase Cases[] = {
        {"open", Missing, Read, Open},
        {"create", Missing, Write, Create},
    };
    for (const TCase& Case : Cases)
        EXPECT_EQ(MessageOf([&] { Case.Action(Case.Name); }), Case.Expected) << Case.What;

    // A sum that does not fit names the file too.
    QTemporaryDir Folder;
    ASSERT_TRUE(Folder.isValid());
    const QString Name = Folder.path() + QStringLiteral("/sub/bad.chk");
    ASSERT_TRUE(QDir().mkpath(Folder.path() + QStringLiteral("/sub")));
    WriteWithCheckSum(Name, &Byte, 1);
    QFile File(Name);
    ASSERT_TRUE(File.open(QIODevice::ReadWrite));
    File.seek(1);
    File.write("\x01\x02\x03\x04", 4);
    File.close();
    const QString Message = MessageOf<EReadError>([&] { Read(Name); });
    EXPECT_TRUE(Message.startsWith(CheckSumMessage)) << qPrintable(Message);
#ifdef _WIN32
    EXPECT_TRUE(Message.endsWith(QStringLiteral("\\sub\\bad.chk"))) << qPrintable(Message);
    EXPECT_FALSE(Message.contains(QLatin1Char('/'))) << qPrintable(Message);
#else
    EXPECT_EQ(Message, CheckSumMessage + Name);
#endif
}
