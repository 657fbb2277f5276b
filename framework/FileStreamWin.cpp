// The file streams' steps on Windows.
#include "framework/FileStreamSystem.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstdint>
#include <string>

#include <windows.h>
#include <bcrypt.h>

namespace {

std::wstring FolderOf(const std::wstring& Name)
{
    return Name.substr(0, Name.find_last_of(L'\\'));
}

std::wstring LastNameOf(const std::wstring& Name)
{
    return Name.substr(Name.find_last_of(L'\\') + 1);
}

DWORD ShareFlags(TShareMode Share)
{
    return Share == TShareMode::Exclusive ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE;
}

// Opens an existing file on a disk; a device, a pipe or a folder gives an invalid handle.
HANDLE OpenExisting(const std::wstring& Name, DWORD Access, DWORD Share)
{
    TOwnedHandle Handle(CreateFileW(Name.c_str(), Access, Share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
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

bool SetDeleteOnClose(HANDLE Handle, bool Delete)
{
    FILE_DISPOSITION_INFO Disposition{};
    Disposition.DeleteFile = Delete;
    return SetFileInformationByHandle(Handle, FileDispositionInfo, &Disposition, sizeof Disposition);
}

bool HeldByAnother(DWORD Error)
{
    return Error == ERROR_SHARING_VIOLATION || Error == ERROR_LOCK_VIOLATION;
}

std::uint64_t TimeOf(const FILETIME& Time)
{
    return std::uint64_t(Time.dwHighDateTime) << 32 | Time.dwLowDateTime;
}

} // namespace

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

void CloseFile(TFileHandle Handle)
{
    CloseHandle(Handle);
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

bool FlushFile(TFileHandle Handle)
{
    return FlushFileBuffers(Handle) != 0;
}

bool SystemRandom(std::uint64_t& Bits)
{
    return BCRYPT_SUCCESS(BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&Bits), sizeof Bits,
                                          BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}

TFileHandle SecondHandle(TFileHandle Handle)
{
    HANDLE Second = INVALID_HANDLE_VALUE;
    if (!DuplicateHandle(GetCurrentProcess(), Handle, GetCurrentProcess(), &Second, 0, FALSE, DUPLICATE_SAME_ACCESS))
        return INVALID_HANDLE_VALUE;
    return Second;
}

// Another open that refuses to share may end soon; a missing or forbidden file will not come. The
// system's share modes hold the file, and a file replaced meanwhile cannot be opened before it is.
TOutcome OpenHeld(const std::wstring& Name, TFileAccess Access, TShareMode Share, TClock::time_point Deadline,
                  TOwnedHandle& Handle)
{
    const DWORD Rights = Access == TFileAccess::Read ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
    const bool Opened = TryUntil(Deadline, [&] {
        Handle.Reset(OpenExisting(Name, Rights, ShareFlags(Share)));
        return Handle.Valid()                               ? TOutcome::Done
               : GetLastError() == ERROR_SHARING_VIOLATION ? TOutcome::Again
                                                            : TOutcome::Failed;
    });
    return Opened ? TOutcome::Done : TOutcome::Failed;
}

// The old file is held unshared. Links lead to the file they name, which is the one replaced.
TOutcome HoldOld(const std::wstring& Path, TTarget& Target, TClock::time_point Deadline)
{
    Target.Path = Path;
    DWORD Error = ERROR_SUCCESS;
    const bool Held = TryUntil(Deadline, [&] {
        Target.Held.Reset(OpenExisting(Path, GENERIC_READ, 0));
        Error = GetLastError();
        return Target.Held.Valid() ? TOutcome::Done : HeldByAnother(Error) ? TOutcome::Again : TOutcome::Failed;
    });
    // Where there is no file, one is made.
    if (!Held)
        return HeldByAnother(Error) ? TOutcome::Again : Error == ERROR_FILE_NOT_FOUND ? TOutcome::Done : TOutcome::Failed;
    BY_HANDLE_FILE_INFORMATION Old{};
    if (!GetFileInformationByHandle(Target.Held.Get(), &Old))
        return TOutcome::Failed;
    // Where the system cannot say (Wine, for names beyond 260 characters), the name given is the
    // file's: links are rare on Windows.
    std::wstring Final;
    if (FinalName(Target.Held.Get(), Final))
        Target.Path = Final;
    // A read-only file cannot be created anew.
    if (Old.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
        return TOutcome::Failed;
    Target.Exists = true;
    Target.Links = Old.nNumberOfLinks;
    Target.Attributes = Old.dwFileAttributes;
    Target.CreationTime = TimeOf(Old.ftCreationTime);
    return TOutcome::Done;
}

std::wstring LastName(const TTarget& Target)
{
    return LastNameOf(Target.Path);
}

// No Windows folder keeps every name made in it.
bool KeepsEveryName(TTarget&)
{
    return false;
}

// Asked for only where a folder keeps every name, which none does here.
TOutcome CreateUnderName(const TTarget&, TOwnedHandle&, TClock::time_point)
{
    return TOutcome::Failed;
}

// A temporary that is still held belongs to a live writer; one that can be opened for deletion was
// left by a writer that died before it could remove it.
void RemoveAbandonedTemporaries(const TTarget& Target, const std::wstring& Prefix)
{
    const std::wstring Folder = FolderOf(Target.Path);
    WIN32_FIND_DATAW Entry{};
    const HANDLE Search = FindFirstFileW((Folder + L'\\' + Prefix + L'*').c_str(), &Entry);
    if (Search == INVALID_HANDLE_VALUE)
        return;
    do
        DeleteFileW((Folder + L'\\' + Entry.cFileName).c_str());
    while (FindNextFileW(Search, &Entry));
    FindClose(Search);
}

// Nobody else may open it while it is written, and the system removes it should this process die
// before it is complete.
TOutcome CreateTemporary(const TTarget& Target, const std::wstring& Prefix, TOwnedHandle& Handle, std::wstring& Name)
{
    const std::wstring Folder = FolderOf(Target.Path);
    for (int Attempt = 0; Attempt < 100; ++Attempt) {
        Name = TemporaryName(Prefix);
        Handle.Reset(CreateFileW((Folder + L'\\' + Name).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
                                 CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!Handle.Valid()) {
            const DWORD Error = GetLastError();
            if (Error == ERROR_FILE_EXISTS || Error == ERROR_ALREADY_EXISTS)
                continue;
            Name.clear();
            return Error == ERROR_ACCESS_DENIED ? TOutcome::Refused : TOutcome::Failed;
        }
        SetDeleteOnClose(Handle.Get(), true);
        return TOutcome::Done;
    }
    Name.clear();
    return TOutcome::Failed;
}

void RemoveTemporary(const TTarget& Target, const std::wstring& Name)
{
    DeleteFileW((FolderOf(Target.Path) + L'\\' + Name).c_str());
}

// The replaced file's attributes and creation time go with its name. The system's replacement
// keeps them too, but not every implementation of it does.
bool GiveAttributes(const TTarget& Target, TFileHandle Temporary)
{
    if (!Target.Exists)
        return true;
    constexpr DWORD Kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                           FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    FILE_BASIC_INFO Basic{};
    Basic.CreationTime.QuadPart = LONGLONG(Target.CreationTime);
    Basic.FileAttributes = (Target.Attributes & Kept) ? (Target.Attributes & Kept) : FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(Temporary, FileBasicInfo, &Basic, sizeof Basic);
}

// The temporary has its name from the start: complete, it now outlives the handle.
bool MakeLasting(const TTarget&, TFileHandle Temporary, const std::wstring&, std::wstring&)
{
    return SetDeleteOnClose(Temporary, false);
}

// The replaced file's attributes, security and creation time stay with its name. Another writer
// that opened the old file in the moment since it was let go, or created one where there was none,
// has the content to read first.
TOutcome MoveIntoPlace(TTarget& Target, const std::wstring& Temporary, TOwnedHandle Handle, bool Durable)
{
    // Neither file may be open unshared here while the system moves them.
    Handle.Reset();
    Target.Held.Reset();
    const std::wstring From = FolderOf(Target.Path) + L'\\' + Temporary;
    const bool Replaced =
        Target.Exists ? ReplaceFileW(Target.Path.c_str(), From.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                                     nullptr, nullptr) != 0
                      : MoveFileExW(From.c_str(), Target.Path.c_str(), Durable ? MOVEFILE_WRITE_THROUGH : 0) != 0;
    if (Replaced)
        return TOutcome::Done;
    const DWORD Error = GetLastError();
    if (HeldByAnother(Error) || Error == ERROR_UNABLE_TO_REMOVE_REPLACED || Error == ERROR_ALREADY_EXISTS ||
        Error == ERROR_FILE_EXISTS)
        return TOutcome::Again;
    return TOutcome::Failed;
}

// The move was written through.
void SyncFolder(const TTarget&)
{
}

// Should another writer hold the file now, its content is the one to read.
TOutcome OpenInPlace(TTarget& Target, TOwnedHandle& Handle, TClock::time_point)
{
    Target.Held.Reset();
    Handle.Reset(CreateFileW(Target.Path.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL,
                             nullptr));
    if (Handle.Valid())
        return TOutcome::Done;
    return HeldByAnother(GetLastError()) ? TOutcome::Again : TOutcome::Failed;
}
