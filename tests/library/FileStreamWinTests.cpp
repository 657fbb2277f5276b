// The file streams on Windows: the system's share modes, read-only files, attributes kept by the
// replacement, names of any length and characters.
#include "framework/Exceptions.h"
#include "framework/FileStream.h"
#include "scores/Checksumfile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <functional>
#include <string>
#include <vector>

#include <windows.h>

using namespace Exceptions;

#undef ReplaceFile

namespace {

using TBytes = std::vector<unsigned char>;

std::wstring Wide(const QString& Name)
{
    return QDir::toNativeSeparators(Name).toStdWString();
}

// An open of another program's that shares as Share says.
HANDLE HoldOpen(const QString& Name, DWORD Share)
{
    return CreateFileW(Wide(Name).c_str(), GENERIC_READ, Share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

class WindowsFiles : public ::testing::Test {
protected:
    QString Path(const QString& Name) const { return Folder.filePath(Name); }

    TBytes ReadBack(const QString& Name, std::size_t Size)
    {
        TBytes Buffer(Size, 0xEE);
        ReadWithCheckSum(Name, Buffer.data(), Buffer.size());
        return Buffer;
    }

    QStringList Entries() const
    {
        return QDir(Folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                                             QDir::Name);
    }

    QTemporaryDir Folder;
    const TBytes Old{'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'};
    const TBytes New{'i', 'j', 'k', 'l', 'm', 'n', 'o', 'p'};
};

} // namespace

// The checksummed routines and saves share nothing; the state load shares reading and writing.
TEST_F(WindowsFiles, AnOpenThatSharesNothingRefusesEveryOtherOpen)
{
    const QString Name = Path("held.chk");
    WriteWithCheckSum(Name, Old.data(), Old.size());

    const HANDLE Sharing = HoldOpen(Name, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_NE(Sharing, INVALID_HANDLE_VALUE);
    TBytes Buffer(Old.size(), 0xEE);
    EXPECT_EQ(MessageOf<EFOpenError>([&] { ReadWithCheckSum(Name, Buffer.data(), Buffer.size()); }),
              "Cannot open file " + QDir::toNativeSeparators(Name));
    EXPECT_EQ(MessageOf<EFCreateError>([&] { WriteWithCheckSum(Name, New.data(), New.size()); }),
              "Cannot create file " + QDir::toNativeSeparators(Name));
    // A load that shares gets in beside another that does.
    EXPECT_NO_THROW(TFileStream::Open(Name, TFileAccess::Read, TShareMode::DenyNone));
    CloseHandle(Sharing);

    {
        TFileStream Reading = TFileStream::Open(Name, TFileAccess::Read, TShareMode::Exclusive);
        EXPECT_EQ(HoldOpen(Name, FILE_SHARE_READ | FILE_SHARE_WRITE), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
        EXPECT_EQ(MessageOf<EFOpenError>(
                      [&] { TFileStream::Open(Name, TFileAccess::Read, TShareMode::DenyNone); }),
                  "Cannot open file " + QDir::toNativeSeparators(Name));
    }
    EXPECT_EQ(ReadBack(Name, Old.size()), Old);
    EXPECT_EQ(Entries(), QStringList{"held.chk"});
}

// A read-only file cannot be created anew; its content stays.
TEST_F(WindowsFiles, AReadOnlyFileIsNotReplaced)
{
    const QString Name = Path("readonly.chk");
    WriteWithCheckSum(Name, Old.data(), Old.size());
    ASSERT_TRUE(SetFileAttributesW(Wide(Name).c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(MessageOf<EFCreateError>([&] { WriteWithCheckSum(Name, New.data(), New.size()); }),
              "Cannot create file " + QDir::toNativeSeparators(Name));
    EXPECT_EQ(ReadBack(Name, Old.size()), Old);
    SetFileAttributesW(Wide(Name).c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(Entries(), QStringList{"readonly.chk"});
}

// The replacement keeps what the old file's name carried: its attributes.
TEST_F(WindowsFiles, TheReplacementKeepsTheAttributesAndLeavesNoOtherFile)
{
    const QString Name = Path("hidden.chk");
    WriteWithCheckSum(Name, Old.data(), Old.size());
    ASSERT_TRUE(SetFileAttributesW(Wide(Name).c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    WriteWithCheckSum(Name, New.data(), New.size());
    EXPECT_EQ(ReadBack(Name, New.size()), New);
    EXPECT_TRUE(GetFileAttributesW(Wide(Name).c_str()) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(Entries(), QStringList{"hidden.chk"});
}

// Names go to the system as UTF-16, whole: any character a player can type, any length the system
// allows; a NUL would cut a name short and is refused.
TEST_F(WindowsFiles, NamesOfAnyCharactersAndLengthAreWrittenAsGiven)
{
    const QString Unicode = Path(QString::fromUtf8("сч\u00e9t \U0001F600 \u4e2d.chk"));
    WriteWithCheckSum(Unicode, Old.data(), Old.size());
    EXPECT_EQ(ReadBack(Unicode, Old.size()), Old);

    // Folders beyond the classic 260-character limit, made through the long-path prefix.
    QString Deep = Folder.path();
    std::wstring Prefixed = L"\\\\?\\" + Wide(Folder.path());
    while (Deep.size() < 400) {
        const QString Part(100, u'd');
        Deep += '/' + Part;
        Prefixed += L'\\' + Part.toStdWString();
        ASSERT_TRUE(CreateDirectoryW(Prefixed.c_str(), nullptr));
    }
    const QString Long = Deep + "/f.chk";
    WriteWithCheckSum(Long, Old.data(), Old.size());
    WriteWithCheckSum(Long, New.data(), New.size());
    EXPECT_EQ(ReadBack(Long, New.size()), New);

    const QString WithNul = Path("valid.chk") + QChar(0) + ".other";
    EXPECT_EQ(MessageOf<EFCreateError>([&] { WriteWithCheckSum(WithNul, New.data(), New.size()); }),
              "Cannot create file " + QDir::toNativeSeparators(WithNul));
    EXPECT_FALSE(QFile::exists(Path("valid.chk")));
}
