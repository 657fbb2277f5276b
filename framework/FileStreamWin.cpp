#include "framework/FileStream.h"

#include "framework/FileStreamSystem.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdint>
#include <string>
#include <thread>
#include <utility>

#include <windows.h>
#include <bcrypt.h>

// The system names its own routine so; ours is the one declared in FileStream.h.
#undef ReplaceFile

namespace {

using TClock = std::chrono::steady_clock;

// The name as the system takes it: UTF-16, absolute and with the prefix that lifts the length limit
// of classic paths; false for a name that a NUL would cut short.
bool NativeName(const QString& FileName, std::wstring& Name)
{
    if (FileName.isEmpty() || FileName.contains(QChar(0)))
        return false;
    const QString Absolute = QDir::toNativeSeparators(QDir::cleanPath(QFileInfo(FileName).absoluteFilePath()));
    if (Absolute.startsWith(QLatin1String("\\\\?\\")))
        Name = Absolute.toStdWString();
    else if (Absolute.startsWith(QLatin1String("\\\\")))
        Name = L"\\\\?\\UNC\\" + Absolute.mid(2).toStdWString();
    else
        Name = L"\\\\?\\" + Absolute.toStdWString();
    return true;
}

std::wstring FolderOf(const std::wstring& Name)
{
    return Name.substr(0, Name.find_last_of(L'\\'));
}

std::wstring LastNameOf(const std::wstring& Name)
{
    return Name.substr(Name.find_last_of(L'\\') + 1);
}

// Closes the handle it holds when it goes out of scope.
class THandle {
public:
    THandle() = default;
    explicit THandle(HANDLE Handle) : FHandle(Handle) {}
    THandle(const THandle&) = delete;
    THandle& operator=(const THandle&) = delete;
    ~THandle() { Reset(); }
    HANDLE Get() const { return FHandle; }
    bool Valid() const { return FHandle != INVALID_HANDLE_VALUE; }
    HANDLE Release() { return std::exchange(FHandle, INVALID_HANDLE_VALUE); }
    void Reset(HANDLE Handle = INVALID_HANDLE_VALUE)
    {
        if (Valid())
            CloseHandle(FHandle);
        FHandle = Handle;
    }

private:
    HANDLE FHandle = INVALID_HANDLE_VALUE;
};

DWORD ShareFlags(TShareMode Share)
{
    return Share == TShareMode::Exclusive ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE;
}

// Opens an existing file on a disk; a device, a pipe or a folder gives an invalid handle.
HANDLE OpenExisting(const std::wstring& Name, DWORD Access, DWORD Share)
{
    THandle Handle(CreateFileW(Name.c_str(), Access, Share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!Handle.Valid())
        return INVALID_HANDLE_VALUE;
    BY_HANDLE_FILE_INFORMATION Info{};
    if (GetFileType(Handle.Get()) != FILE_TYPE_DISK || !GetFileInformationByHandle(Handle.Get(), &Info) ||
        (Info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    return Handle.Release();
}

// The name of the file a handle stands for once links are followed, with the long-path prefix.
bool FinalName(HANDLE Handle, std::wstring& Name)
{
    std::wstring Buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD Length = GetFinalPathNameByHandleW(Handle, Buffer.data(), DWORD(Buffer.size()), FILE_NAME_NORMALIZED);
        if (Length == 0)
            return false;
        if (Length < Buffer.size()) {
            Buffer.resize(Length);
            Name = Buffer;
            return true;
        }
        Buffer.resize(Length + 1);
    }
}

// Temporaries of one file share a prefix made from its name; the rest is random, so that nobody can
// take the names a write will try first.
std::wstring TemporaryPrefix(const std::wstring& LastName)
{
    std::uint64_t Hash = 14695981039346656037ull;
    for (const wchar_t Unit : LastName) {
        Hash ^= std::uint16_t(Unit);
        Hash *= 1099511628211ull;
    }
    return L".~" + QString::number(qulonglong(Hash), 16).rightJustified(16, u'0').toStdWString() + L'.';
}

std::wstring TemporaryName(const std::wstring& Prefix)
{
    std::uint64_t Random = 0;
    if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&Random), sizeof Random,
                                        BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
        static std::atomic<std::uint64_t> Counter{0};
        Random = (std::uint64_t(GetCurrentProcessId()) << 32) ^ std::uint64_t(GetTickCount64()) ^
                 (Counter++ * 0x9E3779B97F4A7C15ull);
    }
    return Prefix + QString::number(qulonglong(Random), 16).rightJustified(16, u'0').toStdWString();
}

// A temporary that is still held belongs to a live writer; one that can be opened for deletion was
// left by a writer that died before it could remove it.
void RemoveAbandonedTemporaries(const std::wstring& Folder, const std::wstring& Prefix)
{
    WIN32_FIND_DATAW Entry{};
    const HANDLE Search = FindFirstFileW((Folder + L'\\' + Prefix + L'*').c_str(), &Entry);
    if (Search == INVALID_HANDLE_VALUE)
        return;
    do
        DeleteFileW((Folder + L'\\' + Entry.cFileName).c_str());
    while (FindNextFileW(Search, &Entry));
    FindClose(Search);
}

bool SetDeleteOnClose(HANDLE Handle, bool Delete)
{
    FILE_DISPOSITION_INFO Disposition{};
    Disposition.DeleteFile = Delete;
    return SetFileInformationByHandle(Handle, FileDispositionInfo, &Disposition, sizeof Disposition);
}

// A new file in the folder that nobody else may open while it is written, and that the system
// removes should this process die before it is complete.
HANDLE CreateTemporary(const std::wstring& Folder, const std::wstring& Prefix, std::wstring& Name)
{
    for (int Attempt = 0; Attempt < 100; ++Attempt) {
        Name = Folder + L'\\' + TemporaryName(Prefix);
        THandle Handle(CreateFileW(Name.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!Handle.Valid()) {
            if (GetLastError() == ERROR_FILE_EXISTS || GetLastError() == ERROR_ALREADY_EXISTS)
                continue;
            Name.clear();
            return INVALID_HANDLE_VALUE;
        }
        SetDeleteOnClose(Handle.Get(), true);
        return Handle.Release();
    }
    Name.clear();
    SetLastError(ERROR_FILE_EXISTS);
    return INVALID_HANDLE_VALUE;
}

bool KeepAttributes(HANDLE Temporary, const BY_HANDLE_FILE_INFORMATION& Old)
{
    constexpr DWORD Kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                           FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    FILE_BASIC_INFO Basic{};
    Basic.CreationTime.LowPart = Old.ftCreationTime.dwLowDateTime;
    Basic.CreationTime.HighPart = LONG(Old.ftCreationTime.dwHighDateTime);
    Basic.FileAttributes = (Old.dwFileAttributes & Kept) ? (Old.dwFileAttributes & Kept) : FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(Temporary, FileBasicInfo, &Basic, sizeof Basic);
}

// Removes the temporary unless it has become the real file.
struct TTemporaryGuard {
    std::wstring Name;
    ~TTemporaryGuard()
    {
        if (!Name.empty())
            DeleteFileW(Name.c_str());
    }
};

} // namespace

TFileStream TFileStream::Open(const QString& FileName, TFileAccess Access, TShareMode Share,
                              std::chrono::milliseconds Wait)
{
    std::wstring Name;
    if (!NativeName(FileName, Name))
        RaiseOpenError(FileName);
    const DWORD Rights = Access == TFileAccess::Read ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
    const TClock::time_point Deadline = TClock::now() + Wait;
    auto Pause = std::chrono::milliseconds(1);
    for (;;) {
        const HANDLE Handle = OpenExisting(Name, Rights, ShareFlags(Share));
        if (Handle != INVALID_HANDLE_VALUE)
            return TFileStream(Handle);
        // Another open that refuses to share may end soon; a missing or forbidden file will not come.
        if (GetLastError() != ERROR_SHARING_VIOLATION || TClock::now() >= Deadline)
            break;
        std::this_thread::sleep_for(std::min<TClock::duration>(Pause, Deadline - TClock::now()));
        Pause = std::min(Pause * 2, std::chrono::milliseconds(20));
    }
    RaiseOpenError(FileName);
}

TFileStream::TFileStream(TFileStream&& Other) noexcept : FHandle(Other.FHandle)
{
    Other.FHandle = INVALID_HANDLE_VALUE;
}

TFileStream::~TFileStream()
{
    if (FHandle != INVALID_HANDLE_VALUE)
        CloseHandle(FHandle);
}

// One call moves at most a DWORD's worth; a gigabyte a call keeps well clear of that.
constexpr std::int64_t LargestTransfer = std::int64_t(1) << 30;

std::int64_t ReadSome(TFileHandle Handle, void* Buffer, std::int64_t Count)
{
    DWORD Got = 0;
    return ReadFile(Handle, Buffer, DWORD(std::min(Count, LargestTransfer)), &Got, nullptr) ? Got : 0;
}

std::int64_t WriteSome(TFileHandle Handle, const void* Buffer, std::int64_t Count)
{
    DWORD Put = 0;
    return WriteFile(Handle, Buffer, DWORD(std::min(Count, LargestTransfer)), &Put, nullptr) ? Put : 0;
}

void TFileStream::Flush()
{
    if (!FlushFileBuffers(FHandle))
        RaiseWriteError();
}

namespace {

// What one attempt at a replacement came to: done, or to be made again because another writer held
// the file or put a new one under the name meanwhile, which is the one to read and replace.
enum class TAttempt { Done, Again };

bool HeldByAnother(DWORD Error)
{
    return Error == ERROR_SHARING_VIOLATION || Error == ERROR_LOCK_VIOLATION;
}

TAttempt ReplaceOnce(const QString& FileName, std::wstring Target, const std::function<void(TFileStream&)>& Write,
                     bool Durable, const std::function<void(TFileStream&)>& ReadOld)
{

    // The old file is held, unshared, for the whole write, as one created anew would be. Links lead
    // to the file they name, which is the one replaced.
    THandle Held(OpenExisting(Target, GENERIC_READ, 0));
    const bool Exists = Held.Valid();
    BY_HANDLE_FILE_INFORMATION Old{};
    if (Exists) {
        if (!GetFileInformationByHandle(Held.Get(), &Old))
            RaiseCreateError(FileName);
        // Where the system cannot say (Wine, for names beyond 260 characters), the name given is
        // the file's: links are rare on Windows.
        std::wstring Final;
        if (FinalName(Held.Get(), Final))
            Target = Final;
        // A read-only file cannot be created anew.
        if (Old.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
            RaiseCreateError(FileName);
        // A second handle of the same open: closing it keeps the file held.
        if (ReadOld) {
            HANDLE Reading = INVALID_HANDLE_VALUE;
            if (!DuplicateHandle(GetCurrentProcess(), Held.Get(), GetCurrentProcess(), &Reading, 0, FALSE,
                                 DUPLICATE_SAME_ACCESS))
                RaiseCreateError(FileName);
            TFileStream OldStream = TFileStreamAccess::Adopt(Reading);
            ReadOld(OldStream);
        }
    } else {
        const DWORD Error = GetLastError();
        if (HeldByAnother(Error))
            return TAttempt::Again;
        if (Error != ERROR_FILE_NOT_FOUND)
            RaiseCreateError(FileName);
    }

    const std::wstring Folder = FolderOf(Target);
    const std::wstring Prefix = TemporaryPrefix(LastNameOf(Target));
    TTemporaryGuard Temporary;
    THandle Handle;
    // Another name of the same file would keep the old content after a replacement.
    if (!Exists || Old.nNumberOfLinks <= 1) {
        RemoveAbandonedTemporaries(Folder, Prefix);
        Handle.Reset(CreateTemporary(Folder, Prefix, Temporary.Name));
        if (!Handle.Valid() && !(Exists && GetLastError() == ERROR_ACCESS_DENIED))
            RaiseCreateError(FileName);
    }

    if (!Handle.Valid()) {
        // In place: the folder refuses a new file, or the file has other names.
        Held.Reset();
        THandle Writing(CreateFileW(Target.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!Writing.Valid()) {
            if (HeldByAnother(GetLastError()))
                return TAttempt::Again;
            RaiseCreateError(FileName);
        }
        TFileStream Stream = TFileStreamAccess::Adopt(Writing.Release());
        Write(Stream);
        if (Durable)
            Stream.Flush();
        return TAttempt::Done;
    }

    {
        TFileStream Stream = TFileStreamAccess::Adopt(Handle.Release());
        Write(Stream);
        if (Durable)
            Stream.Flush();
        // The replaced file's attributes and creation time go with its name. The system's
        // replacement keeps them too, but not every implementation of it does.
        if (Exists && !KeepAttributes(Stream.Handle(), Old))
            RaiseCreateError(FileName);
        // Complete: the file now outlives the handle.
        if (!SetDeleteOnClose(Stream.Handle(), false))
            RaiseCreateError(FileName);
    }
    Held.Reset();
    // The replaced file's attributes, security and creation time stay with its name. Another writer
    // that opened the old file in the moment since it was let go, or created one where there was
    // none, has the content to read first.
    const bool Replaced =
        Exists ? ReplaceFileW(Target.c_str(), Temporary.Name.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                              nullptr, nullptr) != 0
               : MoveFileExW(Temporary.Name.c_str(), Target.c_str(), Durable ? MOVEFILE_WRITE_THROUGH : 0) != 0;
    if (!Replaced) {
        const DWORD Error = GetLastError();
        if (HeldByAnother(Error) || Error == ERROR_UNABLE_TO_REMOVE_REPLACED || Error == ERROR_ALREADY_EXISTS ||
            Error == ERROR_FILE_EXISTS)
            return TAttempt::Again;
        RaiseCreateError(FileName);
    }
    Temporary.Name.clear();
    return TAttempt::Done;
}

} // namespace

void ReplaceFile(const QString& FileName, const std::function<void(TFileStream&)>& Write, bool Durable,
                 const std::function<void(TFileStream&)>& ReadOld, std::chrono::milliseconds Wait)
{
    std::wstring Target;
    if (!NativeName(FileName, Target))
        RaiseCreateError(FileName);
    const TClock::time_point Deadline = TClock::now() + Wait;
    auto Pause = std::chrono::milliseconds(1);
    for (int Attempt = 0;; ++Attempt) {
        if (ReplaceOnce(FileName, Target, Write, Durable, ReadOld) == TAttempt::Done)
            return;
        if (Attempt >= 3 && TClock::now() >= Deadline)
            RaiseCreateError(FileName);
        const TClock::duration Left = std::max<TClock::duration>(Deadline - TClock::now(), TClock::duration::zero());
        std::this_thread::sleep_for(std::min<TClock::duration>(Pause, Left));
        Pause = std::min(Pause * 2, std::chrono::milliseconds(20));
    }
}



void SetUnnamedTemporariesAllowed(bool)
{
}
