// The file streams' steps on a POSIX system, from what POSIX itself offers: descriptors, openat and
// the other calls relative to a folder, flock, fstat.
#include "framework/FileStreamPosix.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace PosixFiles;

namespace PosixFiles {

bool Lock(int Handle, TShareMode Share)
{
    const int Operation = (Share == TShareMode::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
    int Result;
    do
        Result = flock(Handle, Operation);
    while (Result != 0 && errno == EINTR);
    return Result == 0;
}

bool SameFile(const struct stat& A, const struct stat& B)
{
    return A.st_dev == B.st_dev && A.st_ino == B.st_ino;
}

int OpenRegular(int Folder, const char* Name, int Flags, struct stat& Info)
{
    if (::fstatat(Folder, Name, &Info, AT_SYMLINK_NOFOLLOW) != 0)
        return -1;
    if (!S_ISREG(Info.st_mode)) {
        errno = EINVAL;
        return -1;
    }
    TOwnedHandle Handle(::openat(Folder, Name, Flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | O_NOFOLLOW));
    if (!Handle.Valid())
        return -1;
    if (fstat(Handle.Get(), &Info) != 0 || !S_ISREG(Info.st_mode)) {
        errno = EINVAL;
        return -1;
    }
    const int Status = fcntl(Handle.Get(), F_GETFL);
    if (Status < 0 || fcntl(Handle.Get(), F_SETFL, Status & ~O_NONBLOCK) != 0)
        return -1;
    return Handle.Release();
}

} // namespace PosixFiles

namespace {

bool LockBefore(int Handle, TShareMode Share, TClock::time_point Deadline)
{
    return TryUntil(Deadline, [&] {
        return Lock(Handle, Share) ? TOutcome::Done : errno == EWOULDBLOCK ? TOutcome::Again : TOutcome::Failed;
    });
}

// The lock of a temporary made a moment ago is free but for someone who opened it meanwhile. Such a
// temporary is left to that outsider, so that the write never waits on one; a named one may also
// have been taken for abandoned and removed.
bool ClaimTemporary(int Handle)
{
    struct stat Info{};
    return Lock(Handle, TShareMode::Exclusive) && fstat(Handle, &Info) == 0 && Info.st_nlink > 0;
}

int CreateNamedTemporary(int Folder, const QByteArray& Prefix, QByteArray& Name)
{
    for (int Attempt = 0; Attempt < 100; ++Attempt) {
        Name = TemporaryName(Prefix);
        // Only this user may open it until it is complete; it gets the permissions it is meant to
        // have just before it takes the file's place.
        TOwnedHandle Handle(::openat(Folder, Name.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (!Handle.Valid()) {
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

} // namespace

void CloseFile(TFileHandle Handle)
{
    ::close(Handle);
}

// A NUL would cut the name short, and a character the file system's encoding lacks would change it.
bool NativeName(const QString& FileName, QByteArray& Name)
{
    Name = QFile::encodeName(FileName);
    return !FileName.isEmpty() && !FileName.contains(QChar(0)) && QFile::decodeName(Name) == FileName;
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

bool FlushFile(TFileHandle Handle)
{
    return fsync(Handle) == 0;
}

TFileHandle SecondHandle(TFileHandle Handle)
{
    return fcntl(Handle, F_DUPFD_CLOEXEC, 0);
}

// Advisory locks stand in for share modes. Links are followed as ReplaceFile follows them.
TOutcome OpenHeld(const QByteArray& Name, TFileAccess Access, TShareMode Share, TClock::time_point Deadline,
                  TOwnedHandle& Handle)
{
    TOwnedHandle Folder;
    QByteArray LastName;
    struct stat Opened{};
    bool Exists = false;
    if (!Resolve(Name, Folder, LastName, Opened, Exists) || !Exists)
        return TOutcome::Failed;
    Handle.Reset(OpenRegular(Folder.Get(), LastName.constData(), Access == TFileAccess::Read ? O_RDONLY : O_RDWR, Opened));
    if (!Handle.Valid() || !LockBefore(Handle.Get(), Share, Deadline))
        return TOutcome::Failed;
    struct stat Named{};
    const bool Replaced = ::fstatat(Folder.Get(), LastName.constData(), &Named, AT_SYMLINK_NOFOLLOW) != 0 ||
                          !SameFile(Opened, Named);
    return Replaced ? TOutcome::Again : TOutcome::Done;
}

TOutcome HoldOld(const QByteArray& Path, TTarget& Target, TClock::time_point Deadline)
{
    if (!Resolve(Path, Target.Folder, Target.Name, Target.Old, Target.Exists) ||
        (Target.Exists && !S_ISREG(Target.Old.st_mode)))
        return TOutcome::Failed;
    if (!Target.Exists)
        return TOutcome::Done;
    const int Folder = Target.Folder.Get();
    const char* const Name = Target.Name.constData();
    // A file its owner made read-only is not replaced behind its back, as a write in place would be refused.
    if (::faccessat(Folder, Name, W_OK, AT_EACCESS | AT_SYMLINK_NOFOLLOW) != 0)
        return TOutcome::Failed;
    // One this process may not read cannot be held, but can be replaced.
    Target.Held.Reset(OpenRegular(Folder, Name, O_RDONLY, Target.Old));
    if (!Target.Held.Valid()) {
        // Removed or replaced since it was looked at.
        if (errno == ENOENT)
            return TOutcome::Again;
        if (errno != EACCES)
            return TOutcome::Failed;
    } else {
        if (!LockBefore(Target.Held.Get(), TShareMode::Exclusive, Deadline))
            return TOutcome::Failed;
        // The writer this one waited for replaced the file by a rename: what it held is no longer
        // under the name, and merging against it would lose what that writer wrote.
        struct stat Named{};
        if (::fstatat(Folder, Name, &Named, AT_SYMLINK_NOFOLLOW) != 0 || !SameFile(Named, Target.Old))
            return TOutcome::Again;
    }
    Target.Links = Target.Old.st_nlink;
    return TOutcome::Done;
}

QByteArray LastName(const TTarget& Target)
{
    return Target.Name;
}

bool KeepsEveryName(TTarget& Target)
{
    // What the folder says of itself is read through a descriptor that may read it.
    Target.Listing.Reset(::openat(Target.Folder.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return AppendOnly(Target.Listing.Get());
}

// It is created as any file of data, with what the system gives a file created there, and locked
// at once; one that another writer wrote before the lock was taken is that writer's.
TOutcome CreateUnderName(const TTarget& Target, TOwnedHandle& Handle, TClock::time_point Deadline)
{
    Handle.Reset(::openat(Target.Folder.Get(), Target.Name.constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, NewFileRequest));
    if (!Handle.Valid() && errno == EEXIST)
        return TOutcome::Again;
    struct stat Info{};
    if (!Handle.Valid() || !LockBefore(Handle.Get(), TShareMode::Exclusive, Deadline) || fstat(Handle.Get(), &Info) != 0)
        return TOutcome::Failed;
    return Info.st_size != 0 ? TOutcome::Again : TOutcome::Done;
}

// A writer holds its temporary locked as long as it lives: a temporary whose lock is free belongs
// to a writer that was killed, and nobody will finish it.
void RemoveAbandonedTemporaries(const TTarget& Target, const QByteArray& Prefix)
{
    const int Folder = Target.Folder.Get();
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
        TOwnedHandle Handle(OpenRegular(Folder, Entry->d_name, O_RDONLY, Opened));
        if (Handle.Valid() && Lock(Handle.Get(), TShareMode::Exclusive) &&
            ::fstatat(Folder, Entry->d_name, &Named, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(Opened, Named))
            ::unlinkat(Folder, Entry->d_name, 0);
    }
    ::closedir(Entries);
}

TOutcome CreateTemporary(const TTarget& Target, const QByteArray& Prefix, TOwnedHandle& Handle, QByteArray& Name)
{
    int Created = CreateUnnamedTemporary(Target.Folder.Get());
    if (Created < 0)
        Created = CreateNamedTemporary(Target.Folder.Get(), Prefix, Name);
    if (Created < 0)
        return errno == EACCES || errno == EPERM ? TOutcome::Refused : TOutcome::Failed;
    Handle.Reset(Created);
    return TOutcome::Done;
}

void RemoveTemporary(const TTarget& Target, const QByteArray& Name)
{
    ::unlinkat(Target.Folder.Get(), Name.constData(), 0);
}

bool GiveAttributes(const TTarget& Target, TFileHandle Temporary)
{
    if (Target.Exists)
        TakeOverAttributes(Temporary, Target.Old, Target.Held.Get());
    else
        GiveNewFileRights(Temporary, Target.Listing.Get());
    return true;
}

bool MakeLasting(const TTarget& Target, TFileHandle Temporary, const QByteArray& Prefix, QByteArray& Name)
{
    return !Name.isEmpty() || NameUnnamed(Temporary, Target.Folder.Get(), Prefix, Name);
}

// Where there was no file, one that appeared meanwhile is another writer's and is not replaced
// unread. The old file and the temporary stay held until the new one is in place; a durable
// rename is the folder's flush, which follows.
TOutcome MoveIntoPlace(TTarget& Target, const QByteArray& Temporary, TOwnedHandle, bool)
{
    const int Folder = Target.Folder.Get();
    if (!Target.Exists) {
        const int Error = RenameNoReplace(Folder, Temporary.constData(), Target.Name.constData());
        if (Error == 0)
            return TOutcome::Done;
        if (Error == EEXIST)
            return TOutcome::Again;
        // File systems without the flag take the plain rename.
        if (Error != EINVAL && Error != ENOSYS)
            return TOutcome::Failed;
    }
    if (::renameat(Folder, Temporary.constData(), Folder, Target.Name.constData()) == 0)
        return TOutcome::Done;
    return errno == EEXIST ? TOutcome::Again : TOutcome::Failed;
}

void SyncFolder(const TTarget& Target)
{
    if (Target.Listing.Valid()) {
        fsync(Target.Listing.Get());
        return;
    }
    TOwnedHandle Listing(::openat(Target.Folder.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (Listing.Valid())
        fsync(Listing.Get());
}

// The lock moves from the reading descriptor to the writing one; should another writer come in
// between, its content is the one to read.
TOutcome OpenInPlace(TTarget& Target, TOwnedHandle& Handle, TClock::time_point Deadline)
{
    struct stat Current{};
    Handle.Reset(OpenRegular(Target.Folder.Get(), Target.Name.constData(), O_WRONLY, Current));
    Target.Held.Reset();
    if (!Handle.Valid() || !SameFile(Current, Target.Old) || !LockBefore(Handle.Get(), TShareMode::Exclusive, Deadline))
        return TOutcome::Failed;
    if (fstat(Handle.Get(), &Current) != 0 || Current.st_size != Target.Old.st_size ||
        Current.st_mtim.tv_sec != Target.Old.st_mtim.tv_sec || Current.st_mtim.tv_nsec != Target.Old.st_mtim.tv_nsec)
        return TOutcome::Again;
    return ftruncate(Handle.Get(), 0) == 0 ? TOutcome::Done : TOutcome::Failed;
}
