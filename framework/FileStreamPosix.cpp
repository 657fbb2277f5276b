#include "framework/FileStream.h"

#include "framework/FileStreamPathPosix.h"
#include "framework/FileStreamSystem.h"

#include <QFile>
#include <QtEndian>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <thread>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace PosixFiles;

namespace {

using TClock = std::chrono::steady_clock;

std::atomic<bool> UnnamedTemporariesAllowed{true};

// The system's own name for a file, or false when it has none that stands for exactly this name:
// a NUL would cut it short, and a character the file system's encoding lacks would change it.
bool NativeName(const QString& FileName, QByteArray& Name)
{
    Name = QFile::encodeName(FileName);
    return !FileName.isEmpty() && !FileName.contains(QChar(0)) && QFile::decodeName(Name) == FileName;
}

bool Lock(int Handle, TShareMode Share)
{
    const int Operation = (Share == TShareMode::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
    int Result;
    do
        Result = flock(Handle, Operation);
    while (Result != 0 && errno == EINTR);
    return Result == 0;
}

// Tries the lock until Deadline. A holder ends its write in a moment, so the lock is asked for
// again and again rather than waited for: a wait without a timeout could hang on a stuck holder.
bool LockBefore(int Handle, TShareMode Share, TClock::time_point Deadline)
{
    auto Pause = std::chrono::milliseconds(1);
    bool Locked;
    while (!(Locked = Lock(Handle, Share)) && errno == EWOULDBLOCK && TClock::now() < Deadline) {
        std::this_thread::sleep_for(std::min<TClock::duration>(Pause, Deadline - TClock::now()));
        Pause = std::min(Pause * 2, std::chrono::milliseconds(20));
    }
    return Locked;
}

bool SameFile(const struct stat& A, const struct stat& B)
{
    return A.st_dev == B.st_dev && A.st_ino == B.st_ino;
}

// Temporaries of one file share a prefix made from its name. A hash keeps the names short, so that
// a file whose name is near the length limit gets temporaries too.
QByteArray TemporaryPrefix(const QByteArray& Target)
{
    std::uint64_t Hash = 14695981039346656037ull;
    for (const char Byte : Target) {
        Hash ^= static_cast<unsigned char>(Byte);
        Hash *= 1099511628211ull;
    }
    return ".~" + QByteArray::number(qulonglong(Hash), 16).rightJustified(16, '0') + '.';
}

// The rest of a temporary's name is random, so that nobody can take the names it will try first.
QByteArray TemporaryName(const QByteArray& Prefix)
{
    std::uint64_t Random = 0;
    if (getrandom(&Random, sizeof Random, GRND_NONBLOCK) != ssize_t(sizeof Random)) {
        static std::atomic<std::uint64_t> Counter{0};
        Random = (std::uint64_t(getpid()) << 32) ^ std::uint64_t(TClock::now().time_since_epoch().count()) ^
                 (Counter++ * 0x9E3779B97F4A7C15ull);
    }
    return Prefix + QByteArray::number(qulonglong(Random), 16).rightJustified(16, '0');
}

// A writer holds its temporary locked as long as it lives: a temporary whose lock is free belongs
// to a writer that was killed, and nobody will finish it.
void RemoveAbandonedTemporaries(int Folder, const QByteArray& Prefix)
{
    const int Listing = ::openat(Folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* Entries = Listing < 0 ? nullptr : ::fdopendir(Listing);
    if (!Entries) {
        if (Listing >= 0)
            ::close(Listing);
        return;
    }
    while (const dirent* Entry = ::readdir(Entries)) {
        if (std::strncmp(Entry->d_name, Prefix.constData(), size_t(Prefix.size())) != 0)
            continue;
        struct stat Opened{}, Named{};
        TDescriptor Handle(OpenRegular(Folder, Entry->d_name, O_RDONLY, Opened, false));
        if (Handle.Get() >= 0 && Lock(Handle.Get(), TShareMode::Exclusive) &&
            ::fstatat(Folder, Entry->d_name, &Named, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(Opened, Named))
            ::unlinkat(Folder, Entry->d_name, 0);
    }
    ::closedir(Entries);
}

// The permissions a file created anew gets, as the process's mask leaves them. The mask is read,
// never set: setting it would change it for every thread of the program for a moment. When it
// cannot be read (no /proc, no free descriptor), the file stays this user's alone.
mode_t NewFileMode()
{
    TDescriptor Status(::open("/proc/self/status", O_RDONLY | O_CLOEXEC));
    QByteArray Text(4096, '\0');
    const ssize_t Length = Status.Get() < 0 ? -1 : ::read(Status.Get(), Text.data(), size_t(Text.size()));
    Text.truncate(Length < 0 ? 0 : Length);
    const qsizetype At = Text.indexOf("\nUmask:");
    bool Valid = false;
    const uint Mask = At < 0 ? 0 : Text.mid(At + 7, Text.indexOf('\n', At + 1) - At - 7).trimmed().toUInt(&Valid, 8);
    return Valid ? mode_t(0666 & ~Mask) : mode_t(0600);
}

// The mode a program asks for when it creates a file of data.
constexpr mode_t NewFileRequest = 0666;

// The access list the system gives a file created with NewFileRequest in a folder with a default
// list: the default's entries, with the owner's, the group class's (the mask, or the owning group
// without one) and the others' rights cut to the mode; the process's mask plays no part then.
// Mode gets the matching permissions. False when the folder has no default list. The attribute's
// form: a little-endian version 2, then entries of a 16-bit tag, 16-bit rights and 32-bit id.
bool InheritedAccessList(int Listing, QByteArray& List, mode_t& Mode)
{
    constexpr std::uint16_t UserObj = 0x01, GroupObj = 0x04, Mask = 0x10, Other = 0x20;
    constexpr int Header = 4, EntrySize = 8;
    List.resize(Header + 32 * EntrySize);
    ssize_t Size;
    while ((Size = fgetxattr(Listing, "system.posix_acl_default", List.data(), size_t(List.size()))) < 0 &&
           errno == ERANGE) {
        const ssize_t Needed = fgetxattr(Listing, "system.posix_acl_default", nullptr, 0);
        if (Needed <= 0)
            return false;
        List.resize(Needed);
    }
    if (Size <= Header || (Size - Header) % EntrySize != 0 || qFromLittleEndian<std::uint32_t>(List.constData()) != 2)
        return false;
    List.truncate(Size);
    bool HasMask = false;
    for (qsizetype At = Header; At < Size; At += EntrySize)
        HasMask = HasMask || qFromLittleEndian<std::uint16_t>(List.constData() + At) == Mask;
    Mode = 0;
    for (qsizetype At = Header; At < Size; At += EntrySize) {
        const std::uint16_t Tag = qFromLittleEndian<std::uint16_t>(List.constData() + At);
        const int Shift = Tag == UserObj ? 6 : Tag == (HasMask ? Mask : GroupObj) ? 3 : Tag == Other ? 0 : -1;
        if (Shift < 0)
            continue;
        const std::uint16_t Rights =
            qFromLittleEndian<std::uint16_t>(List.constData() + At + 2) & ((NewFileRequest >> Shift) | ~07);
        qToLittleEndian(Rights, List.data() + At + 2);
        Mode |= mode_t(Rights & 07) << Shift;
    }
    return true;
}

// Gives a temporary that is to become a new file what the system gives a file created there.
// The mode is set as well, so that it is right where the folder's list cannot be copied.
void GiveNewFileRights(int Handle, int Listing)
{
    QByteArray List;
    mode_t Mode = 0;
    if (Listing < 0 || !InheritedAccessList(Listing, List, Mode)) {
        fchmod(Handle, NewFileMode());
        return;
    }
    fchmod(Handle, Mode);
    fsetxattr(Handle, "system.posix_acl_access", List.constData(), size_t(List.size()), 0);
}

// In an append-only folder names can be made but not removed or renamed over: a temporary would
// stay there for good.
bool AppendOnly(int Listing)
{
    int Flags = 0;
    return Listing >= 0 && ::ioctl(Listing, FS_IOC_GETFLAGS, &Flags) == 0 && (Flags & FS_APPEND_FL) != 0;
}

// Only this user may open a temporary until it is complete; it gets the permissions it is meant to
// have just before it takes the file's place.
constexpr mode_t TemporaryMode = 0600;

// The lock of a temporary made a moment ago is free but for someone who opened it meanwhile. Such a
// temporary is left to that outsider, so that the write never waits on one; a named one may also
// have been taken for abandoned and removed.
bool ClaimTemporary(int Handle)
{
    struct stat Info{};
    return Lock(Handle, TShareMode::Exclusive) && fstat(Handle, &Info) == 0 && Info.st_nlink > 0;
}

// An unnamed file in the folder; it is named only when complete, so a killed writer leaves nothing.
int CreateUnnamedTemporary(int Folder)
{
    // The name is given through /proc, which needs no privilege. It is looked for every time, as a
    // program may lose it (a new mount namespace, a sandbox) after its first write.
    if (!UnnamedTemporariesAllowed || ::access("/proc/self/fd", X_OK) != 0)
        return -1;
    TDescriptor Handle(::openat(Folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, TemporaryMode));
    if (Handle.Get() >= 0 && !Lock(Handle.Get(), TShareMode::Exclusive)) {
        errno = EAGAIN;
        return -1;
    }
    return Handle.Release();
}

int CreateNamedTemporary(int Folder, const QByteArray& Prefix, QByteArray& Name)
{
    for (int Attempt = 0; Attempt < 100; ++Attempt) {
        Name = TemporaryName(Prefix);
        TDescriptor Handle(::openat(Folder, Name.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, TemporaryMode));
        if (Handle.Get() < 0) {
            if (errno == EEXIST)
                continue;
            const int Error = errno;
            Name.clear();
            errno = Error;
            return -1;
        }
        // Another writer may have taken it for abandoned before the lock was taken.
        if (ClaimTemporary(Handle.Get()))
            return Handle.Release();
    }
    Name.clear();
    errno = EEXIST;
    return -1;
}

// Extended attributes, the access control list among them, go with the content to the new file.
// Those this process may not set (another user's, the system's) are left.
void CopyAttributes(int From, int To)
{
    std::vector<char> Names(1024);
    ssize_t Length;
    while ((Length = flistxattr(From, Names.data(), Names.size())) < 0 && errno == ERANGE) {
        const ssize_t Needed = flistxattr(From, nullptr, 0);
        if (Needed <= 0)
            return;
        Names.resize(size_t(Needed));
    }
    if (Length <= 0)
        return;
    std::vector<char> Value(256);
    for (const char* Name = Names.data(); Name < Names.data() + Length; Name += std::strlen(Name) + 1) {
        ssize_t Size;
        while ((Size = fgetxattr(From, Name, Value.data(), Value.size())) < 0 && errno == ERANGE) {
            const ssize_t Needed = fgetxattr(From, Name, nullptr, 0);
            if (Needed <= 0)
                break;
            Value.resize(size_t(Needed));
        }
        if (Size >= 0)
            fsetxattr(To, Name, Value.data(), size_t(Size), 0);
    }
}

// Gives the new file the old one's owner, where this process may, its permissions and its other
// attributes.
void TakeOverAttributes(int Handle, const struct stat& Old, int OldHandle)
{
    struct stat New{};
    if (fstat(Handle, &New) != 0)
        return;
    mode_t Mode = Old.st_mode & 07777;
    if ((New.st_uid != Old.st_uid || New.st_gid != Old.st_gid) && fchown(Handle, Old.st_uid, Old.st_gid) != 0) {
        // Set-id bits are not handed to a file of another owner or group.
        Mode &= 0777;
        if (New.st_gid != Old.st_gid)
            fchown(Handle, uid_t(-1), Old.st_gid);
    }
    fchmod(Handle, Mode);
    if (OldHandle >= 0)
        CopyAttributes(OldHandle, Handle);
}

bool LinkUnnamed(int Handle, int Folder, const QByteArray& Prefix, QByteArray& Name)
{
    const QByteArray Source = "/proc/self/fd/" + QByteArray::number(Handle);
    for (int Attempt = 0; Attempt < 100; ++Attempt) {
        Name = TemporaryName(Prefix);
        if (::linkat(AT_FDCWD, Source.constData(), Folder, Name.constData(), AT_SYMLINK_FOLLOW) == 0)
            return true;
        if (errno != EEXIST)
            break;
    }
    Name.clear();
    return false;
}

void SyncFolder(int Folder)
{
    const int Handle = ::openat(Folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (Handle >= 0) {
        fsync(Handle);
        ::close(Handle);
    }
}

// Removes the named temporary unless it has become the real file.
struct TTemporaryGuard {
    int Folder;
    QByteArray Name;
    ~TTemporaryGuard()
    {
        if (!Name.isEmpty())
            ::unlinkat(Folder, Name.constData(), 0);
    }
};

} // namespace

TFileStream TFileStream::Open(const QString& FileName, TFileAccess Access, TShareMode Share,
                              std::chrono::milliseconds Wait)
{
    QByteArray Name;
    if (!NativeName(FileName, Name))
        RaiseOpenError(FileName);
    const int Flags = Access == TFileAccess::Read ? O_RDONLY : O_RDWR;
    const TClock::time_point Deadline = TClock::now() + Wait;
    for (int Reopened = 0;; ++Reopened) {
        TPlace Place;
        struct stat Opened{};
        bool Exists = false;
        if (!Resolve(Name, Place, Opened, Exists) || !Exists)
            break;
        TDescriptor Handle(OpenRegular(Place.Folder.Get(), Place.Name.constData(), Flags, Opened, false));
        if (Handle.Get() < 0)
            break;
        if (!LockBefore(Handle.Get(), Share, Deadline))
            break;
        // A writer that replaces the file by a rename in its folder holds the old one until the new
        // one is in its place: what was waited for is then under the name.
        struct stat Named{};
        const bool Replaced = ::fstatat(Place.Folder.Get(), Place.Name.constData(), &Named, AT_SYMLINK_NOFOLLOW) != 0 ||
                              !SameFile(Opened, Named);
        if (!Replaced || (Reopened >= 3 && TClock::now() >= Deadline))
            return TFileStream(Handle.Release());
    }
    RaiseOpenError(FileName);
}

TFileStream::TFileStream(TFileStream&& Other) noexcept : FHandle(Other.FHandle)
{
    Other.FHandle = -1;
}

TFileStream::~TFileStream()
{
    if (FHandle >= 0)
        ::close(FHandle);
}

std::int64_t ReadSome(TFileHandle Handle, void* Buffer, std::int64_t Count)
{
    ssize_t Got;
    do
        Got = ::read(Handle, Buffer, size_t(Count));
    while (Got < 0 && errno == EINTR);
    return Got < 0 ? 0 : Got;
}

std::int64_t WriteSome(TFileHandle Handle, const void* Buffer, std::int64_t Count)
{
    ssize_t Put;
    do
        Put = ::write(Handle, Buffer, size_t(Count));
    while (Put < 0 && errno == EINTR);
    return Put < 0 ? 0 : Put;
}

void TFileStream::Flush()
{
    if (fsync(FHandle) != 0)
        RaiseWriteError();
}

namespace {

// What one attempt at a replacement came to: done, or to be made again because another writer put
// a new file under the name meanwhile, which is the one to read and replace.
enum class TAttempt { Done, Again };

// Moves a complete temporary to the name: 0, or the error. Where there was no file, one that
// appeared meanwhile is another writer's and is not replaced unread (EEXIST).
int MoveIntoPlace(int Folder, const QByteArray& Temporary, const char* Name, bool Exists)
{
    if (!Exists) {
        if (::renameat2(Folder, Temporary.constData(), Folder, Name, RENAME_NOREPLACE) == 0)
            return 0;
        // File systems without the flag take the plain rename.
        if (errno != EINVAL && errno != ENOSYS)
            return errno;
    }
    return ::renameat(Folder, Temporary.constData(), Folder, Name) == 0 ? 0 : errno;
}

// Where the folder keeps every name made in it, a file that is not there yet is made under its own
// name, with what the system gives any file created anew, and written there: no temporary is left.
// It is locked at once; one that another writer wrote before the lock was taken is that writer's.
TAttempt CreateUnderName(const QString& FileName, int Folder, const char* Name,
                         const std::function<void(TFileStream&)>& Write, bool Durable, TClock::time_point Deadline)
{
    TDescriptor Created(
        ::openat(Folder, Name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, NewFileRequest));
    if (Created.Get() < 0 && errno == EEXIST)
        return TAttempt::Again;
    struct stat Info{};
    if (Created.Get() < 0 || !LockBefore(Created.Get(), TShareMode::Exclusive, Deadline) ||
        fstat(Created.Get(), &Info) != 0)
        RaiseCreateError(FileName);
    if (Info.st_size != 0)
        return TAttempt::Again;
    TFileStream Stream = TFileStreamAccess::Adopt(Created.Release());
    Write(Stream);
    if (Durable) {
        Stream.Flush();
        SyncFolder(Folder);
    }
    return TAttempt::Done;
}

TAttempt ReplaceOnce(const QString& FileName, const QByteArray& Path,
                     const std::function<void(TFileStream&)>& Write, bool Durable,
                     const std::function<void(TFileStream&)>& ReadOld, TClock::time_point Deadline)
{
    TPlace Target;
    struct stat Old{};
    bool Exists = false;
    if (!Resolve(Path, Target, Old, Exists) || (Exists && !S_ISREG(Old.st_mode)))
        RaiseCreateError(FileName);
    const int Folder = Target.Folder.Get();
    const char* const Name = Target.Name.constData();
    // A file its owner made read-only is not replaced behind its back, as a write in place would be refused.
    if (Exists && ::faccessat(Folder, Name, W_OK, AT_EACCESS | AT_SYMLINK_NOFOLLOW) != 0)
        RaiseCreateError(FileName);

    // The old file is held for the whole write, as one created anew would be: others who open it
    // meanwhile wait or fail. One this process may not read cannot be held, but can be replaced.
    TDescriptor Held;
    if (Exists) {
        Held.Reset(OpenRegular(Folder, Name, O_RDONLY, Old, false));
        if (Held.Get() < 0) {
            // Removed or replaced since it was looked at.
            if (errno == ENOENT)
                return TAttempt::Again;
            if (errno != EACCES)
                RaiseCreateError(FileName);
        } else {
            if (!LockBefore(Held.Get(), TShareMode::Exclusive, Deadline))
                RaiseCreateError(FileName);
            // The writer this one waited for replaced the file by a rename: what it held is no
            // longer under the name, and merging against it would lose what that writer wrote.
            struct stat Named{};
            if (::fstatat(Folder, Name, &Named, AT_SYMLINK_NOFOLLOW) != 0 || !SameFile(Named, Old))
                return TAttempt::Again;
        }
        // A second descriptor of the same open file: closing it keeps the lock.
        if (ReadOld && Held.Get() >= 0) {
            const int Reading = fcntl(Held.Get(), F_DUPFD_CLOEXEC, 0);
            if (Reading < 0)
                RaiseCreateError(FileName);
            TFileStream Old = TFileStreamAccess::Adopt(Reading);
            ReadOld(Old);
        }
    }

    // What the folder says of itself is read through a descriptor that may read it.
    TDescriptor Listing(::openat(Folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const bool KeepsNames = AppendOnly(Listing.Get());
    if (!Exists && KeepsNames)
        return CreateUnderName(FileName, Folder, Name, Write, Durable, Deadline);

    const QByteArray Prefix = TemporaryPrefix(Target.Name);
    TTemporaryGuard Temporary{Folder, {}};
    int Handle = -1;
    // Another name of the same file would keep the old content after a rename.
    if (!KeepsNames && (!Exists || Old.st_nlink <= 1)) {
        RemoveAbandonedTemporaries(Folder, Prefix);
        Handle = CreateUnnamedTemporary(Folder);
        if (Handle < 0)
            Handle = CreateNamedTemporary(Folder, Prefix, Temporary.Name);
        if (Handle < 0 && !(Exists && (errno == EACCES || errno == EPERM)))
            RaiseCreateError(FileName);
    }

    if (Handle < 0) {
        // In place: the folder refuses a new file or keeps every name, or the file has other names.
        // The lock moves from the reading descriptor to the writing one; should another writer come
        // in between, its content is the one to read.
        struct stat Current{};
        TDescriptor Writing(OpenRegular(Folder, Name, O_WRONLY, Current, false));
        Held.Reset();
        if (Writing.Get() < 0 || !SameFile(Current, Old) || !LockBefore(Writing.Get(), TShareMode::Exclusive, Deadline))
            RaiseCreateError(FileName);
        if (fstat(Writing.Get(), &Current) != 0 || Current.st_size != Old.st_size ||
            Current.st_mtim.tv_sec != Old.st_mtim.tv_sec || Current.st_mtim.tv_nsec != Old.st_mtim.tv_nsec)
            return TAttempt::Again;
        if (ftruncate(Writing.Get(), 0) != 0)
            RaiseCreateError(FileName);
        TFileStream Stream = TFileStreamAccess::Adopt(Writing.Release());
        Write(Stream);
        if (Durable)
            Stream.Flush();
        return TAttempt::Done;
    }

    TFileStream Stream = TFileStreamAccess::Adopt(Handle);
    Write(Stream);
    if (Exists)
        TakeOverAttributes(Handle, Old, Held.Get());
    else
        GiveNewFileRights(Handle, Listing.Get());
    if (Durable)
        Stream.Flush();
    if (Temporary.Name.isEmpty() && !LinkUnnamed(Handle, Folder, Prefix, Temporary.Name))
        RaiseCreateError(FileName);
    const int Error = MoveIntoPlace(Folder, Temporary.Name, Name, Exists);
    if (Error == EEXIST)
        return TAttempt::Again;
    if (Error != 0)
        RaiseCreateError(FileName);
    Temporary.Name.clear();
    if (Durable)
        SyncFolder(Folder);
    return TAttempt::Done;
}

} // namespace

void ReplaceFile(const QString& FileName, const std::function<void(TFileStream&)>& Write, bool Durable,
                 const std::function<void(TFileStream&)>& ReadOld, std::chrono::milliseconds Wait)
{
    QByteArray Path;
    if (!NativeName(FileName, Path))
        RaiseCreateError(FileName);
    const TClock::time_point Deadline = TClock::now() + Wait;
    // A few attempts even without a wait: a replacement by another writer is over once seen.
    for (int Attempt = 0;; ++Attempt) {
        if (ReplaceOnce(FileName, Path, Write, Durable, ReadOld, Deadline) == TAttempt::Done)
            return;
        if (Attempt >= 3 && TClock::now() >= Deadline)
            RaiseCreateError(FileName);
    }
}

void SetUnnamedTemporariesAllowed(bool Allowed)
{
    UnnamedTemporariesAllowed = Allowed;
}
