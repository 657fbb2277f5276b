#include "framework/FileStream.h"

#include "framework/Exceptions.h"
#include "framework/StringTable.h"

#include <QFile>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <thread>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using TClock = std::chrono::steady_clock;

std::atomic<bool> UnnamedTemporariesAllowed{true};

QByteArray NativeName(const QString& FileName)
{
    return QFile::encodeName(FileName);
}

bool Lock(int Handle, TShareMode Share, bool Wait = false)
{
    const int Operation = (Share == TShareMode::Exclusive ? LOCK_EX : LOCK_SH) | (Wait ? 0 : LOCK_NB);
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

// Closes the descriptor it holds when it goes out of scope.
class TDescriptor {
public:
    TDescriptor() = default;
    explicit TDescriptor(int Handle) : FHandle(Handle) {}
    TDescriptor(const TDescriptor&) = delete;
    TDescriptor& operator=(const TDescriptor&) = delete;
    ~TDescriptor() { Reset(); }
    int Get() const { return FHandle; }
    int Release() { return std::exchange(FHandle, -1); }
    void Reset(int Handle = -1)
    {
        if (FHandle >= 0)
            ::close(FHandle);
        FHandle = Handle;
    }

private:
    int FHandle = -1;
};

// Opens an existing regular file, -1 for anything else. A pipe or a device is refused before it is
// opened, and the open does not wait for a pipe's other end should the name change meanwhile.
int OpenRegular(const QByteArray& Name, int Flags, struct stat& Info)
{
    if (::stat(Name.constData(), &Info) != 0)
        return -1;
    if (!S_ISREG(Info.st_mode)) {
        errno = EINVAL;
        return -1;
    }
    TDescriptor Handle(::open(Name.constData(), Flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (Handle.Get() < 0)
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

// The file a name stands for once symbolic links are followed; it need not exist yet.
bool FollowLinks(QByteArray Name, QByteArray& Target)
{
    for (int Depth = 0; Depth < 40; ++Depth) {
        struct stat Info{};
        if (::lstat(Name.constData(), &Info) != 0 || !S_ISLNK(Info.st_mode)) {
            Target = Name;
            return true;
        }
        QByteArray Link(PATH_MAX, '\0');
        const ssize_t Length = ::readlink(Name.constData(), Link.data(), size_t(Link.size()));
        if (Length < 0 || Length >= Link.size())
            return false;
        Link.truncate(Length);
        if (Link.startsWith('/'))
            Name = Link;
        else
            Name = Name.left(Name.lastIndexOf('/') + 1) + Link;
    }
    return false;
}

QByteArray FolderOf(const QByteArray& Name)
{
    const qsizetype Slash = Name.lastIndexOf('/');
    return Slash < 0 ? QByteArray(".") : Slash == 0 ? QByteArray("/") : Name.left(Slash);
}

// Temporaries of one file share a prefix made from its name. A hash keeps the names short, so that
// a file whose name is near the length limit gets temporaries too.
QByteArray TemporaryPrefix(const QByteArray& Target)
{
    std::uint64_t Hash = 14695981039346656037ull;
    for (const char Byte : Target.mid(Target.lastIndexOf('/') + 1)) {
        Hash ^= static_cast<unsigned char>(Byte);
        Hash *= 1099511628211ull;
    }
    return ".~" + QByteArray::number(qulonglong(Hash), 16).rightJustified(16, '0') + '.';
}

QByteArray TemporaryName(const QByteArray& Folder, const QByteArray& Prefix)
{
    static std::atomic<unsigned> Counter{0};
    return Folder + '/' + Prefix + QByteArray::number(qint64(getpid())) + '-' + QByteArray::number(Counter++);
}

// A writer holds its temporary locked as long as it lives: a temporary whose lock is free belongs
// to a writer that was killed, and nobody will finish it.
void RemoveAbandonedTemporaries(const QByteArray& Folder, const QByteArray& Prefix)
{
    DIR* Entries = ::opendir(Folder.constData());
    if (!Entries)
        return;
    while (const dirent* Entry = ::readdir(Entries)) {
        if (std::strncmp(Entry->d_name, Prefix.constData(), size_t(Prefix.size())) != 0)
            continue;
        const QByteArray Name = Folder + '/' + Entry->d_name;
        TDescriptor Handle(::open(Name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        struct stat Opened{}, Named{};
        if (Handle.Get() >= 0 && fstat(Handle.Get(), &Opened) == 0 && S_ISREG(Opened.st_mode) &&
            Lock(Handle.Get(), TShareMode::Exclusive) && ::lstat(Name.constData(), &Named) == 0 &&
            SameFile(Opened, Named))
            ::unlink(Name.constData());
    }
    ::closedir(Entries);
}

// An unnamed file in the folder; it is named only when complete, so a killed writer leaves nothing.
int CreateUnnamedTemporary(const QByteArray& Folder)
{
    // The name is given through /proc, which needs no privilege.
    static const bool Linkable = ::access("/proc/self/fd", X_OK) == 0;
    if (!UnnamedTemporariesAllowed || !Linkable)
        return -1;
    const int Handle = ::open(Folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (Handle >= 0)
        Lock(Handle, TShareMode::Exclusive, true);
    return Handle;
}

int CreateNamedTemporary(const QByteArray& Folder, const QByteArray& Prefix, QByteArray& Name)
{
    for (int Attempt = 0; Attempt < 100; ++Attempt) {
        Name = TemporaryName(Folder, Prefix);
        TDescriptor Handle(::open(Name.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (Handle.Get() < 0) {
            if (errno == EEXIST)
                continue;
            const int Error = errno;
            Name.clear();
            errno = Error;
            return -1;
        }
        // Another writer may have taken it for abandoned before the lock was taken.
        struct stat Info{};
        if (Lock(Handle.Get(), TShareMode::Exclusive, true) && fstat(Handle.Get(), &Info) == 0 && Info.st_nlink > 0)
            return Handle.Release();
    }
    Name.clear();
    return -1;
}

// Gives the new file the old one's owner, where this process may, and its permissions.
void TakeOverOwnerAndMode(int Handle, const struct stat& Old)
{
    struct stat New{};
    if (fstat(Handle, &New) != 0)
        return;
    if ((New.st_uid != Old.st_uid || New.st_gid != Old.st_gid) && fchown(Handle, Old.st_uid, Old.st_gid) != 0 &&
        New.st_gid != Old.st_gid && fchown(Handle, uid_t(-1), Old.st_gid) != 0) {
        // Set-id bits are not handed to a file of another owner.
        fchmod(Handle, Old.st_mode & 0777);
        return;
    }
    fchmod(Handle, Old.st_mode & (New.st_uid == Old.st_uid ? 07777 : 0777));
}

bool LinkUnnamed(int Handle, const QByteArray& Folder, const QByteArray& Prefix, QByteArray& Name)
{
    const QByteArray Source = "/proc/self/fd/" + QByteArray::number(Handle);
    for (int Attempt = 0; Attempt < 100; ++Attempt) {
        Name = TemporaryName(Folder, Prefix);
        if (::linkat(AT_FDCWD, Source.constData(), AT_FDCWD, Name.constData(), AT_SYMLINK_FOLLOW) == 0)
            return true;
        if (errno != EEXIST)
            break;
    }
    Name.clear();
    return false;
}

void SyncFolder(const QByteArray& Folder)
{
    const int Handle = ::open(Folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (Handle >= 0) {
        fsync(Handle);
        ::close(Handle);
    }
}

[[noreturn]] void RaiseCreateError(const QString& FileName)
{
    throw EFCreateError(FrameworkString(SFCreateError).arg(FileName));
}

// Removes the named temporary unless it has become the real file.
struct TTemporaryGuard {
    QByteArray Name;
    ~TTemporaryGuard()
    {
        if (!Name.isEmpty())
            ::unlink(Name.constData());
    }
};

} // namespace

TFileStream TFileStream::Open(const QString& FileName, TFileAccess Access, TShareMode Share,
                              std::chrono::milliseconds Wait)
{
    const QByteArray Name = NativeName(FileName);
    const int Flags = Access == TFileAccess::Read ? O_RDONLY : O_RDWR;
    const TClock::time_point Deadline = TClock::now() + Wait;
    for (int Reopened = 0;; ++Reopened) {
        struct stat Opened{};
        TDescriptor Handle(OpenRegular(Name, Flags, Opened));
        if (Handle.Get() < 0)
            break;
        auto Pause = std::chrono::milliseconds(1);
        bool Locked;
        while (!(Locked = Lock(Handle.Get(), Share)) && errno == EWOULDBLOCK && TClock::now() < Deadline) {
            std::this_thread::sleep_for(std::min<TClock::duration>(Pause, Deadline - TClock::now()));
            Pause = std::min(Pause * 2, std::chrono::milliseconds(20));
        }
        if (!Locked)
            break;
        // A writer that replaces the file by a rename holds the old one until the new one is in its
        // place: what was waited for is then under the name.
        struct stat Named{};
        const bool Replaced = ::stat(Name.constData(), &Named) != 0 || !SameFile(Opened, Named);
        if (!Replaced || (Reopened >= 3 && TClock::now() >= Deadline))
            return TFileStream(Handle.Release());
    }
    throw EFOpenError(FrameworkString(SFOpenError).arg(FileName));
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

std::int64_t TFileStream::Read(void* Buffer, std::int64_t Count)
{
    auto* Bytes = static_cast<char*>(Buffer);
    std::int64_t Done = 0;
    while (Done < Count) {
        const ssize_t Got = ::read(FHandle, Bytes + Done, size_t(Count - Done));
        if (Got < 0 && errno == EINTR)
            continue;
        if (Got <= 0)
            break;
        Done += Got;
    }
    return Done;
}

std::int64_t TFileStream::Write(const void* Buffer, std::int64_t Count)
{
    const auto* Bytes = static_cast<const char*>(Buffer);
    std::int64_t Done = 0;
    while (Done < Count) {
        const ssize_t Put = ::write(FHandle, Bytes + Done, size_t(Count - Done));
        if (Put < 0 && errno == EINTR)
            continue;
        if (Put <= 0)
            break;
        Done += Put;
    }
    return Done;
}

void TFileStream::ReadBuffer(void* Buffer, std::int64_t Count)
{
    if (Count != 0 && Read(Buffer, Count) != Count)
        throw EReadError(FrameworkString(SReadError));
}

void TFileStream::WriteBuffer(const void* Buffer, std::int64_t Count)
{
    if (Count != 0 && Write(Buffer, Count) != Count)
        throw EWriteError(FrameworkString(SWriteError));
}

void TFileStream::Flush()
{
    if (fsync(FHandle) != 0)
        throw EWriteError(FrameworkString(SWriteError));
}

void ReplaceFile(const QString& FileName, const std::function<void(TFileStream&)>& Write, bool Durable)
{
    QByteArray Target;
    if (!FollowLinks(NativeName(FileName), Target))
        RaiseCreateError(FileName);
    struct stat Old{};
    const bool Exists = ::stat(Target.constData(), &Old) == 0;
    if ((!Exists && errno != ENOENT) || (Exists && !S_ISREG(Old.st_mode)))
        RaiseCreateError(FileName);
    // A file its owner made read-only is not replaced behind its back, as a write in place would be refused.
    if (Exists && ::faccessat(AT_FDCWD, Target.constData(), W_OK, AT_EACCESS) != 0)
        RaiseCreateError(FileName);

    // The old file is held for the whole write, as one created anew would be: others who open it
    // meanwhile wait or fail. One this process may not read cannot be held, but can be replaced.
    TDescriptor Held;
    if (Exists) {
        Held.Reset(OpenRegular(Target, O_RDONLY, Old));
        if (Held.Get() < 0 ? errno != EACCES : !Lock(Held.Get(), TShareMode::Exclusive))
            RaiseCreateError(FileName);
    }

    const QByteArray Folder = FolderOf(Target);
    const QByteArray Prefix = TemporaryPrefix(Target);
    TTemporaryGuard Temporary;
    int Handle = -1;
    // Another name of the same file would keep the old content after a rename.
    if (!Exists || Old.st_nlink <= 1) {
        RemoveAbandonedTemporaries(Folder, Prefix);
        Handle = CreateUnnamedTemporary(Folder);
        if (Handle < 0)
            Handle = CreateNamedTemporary(Folder, Prefix, Temporary.Name);
        if (Handle < 0 && !(Exists && (errno == EACCES || errno == EPERM)))
            RaiseCreateError(FileName);
        if (Handle >= 0 && Exists)
            TakeOverOwnerAndMode(Handle, Old);
    }

    if (Handle < 0) {
        // In place: the folder refuses a new file, or the file has other names. The lock moves from
        // the reading descriptor to the writing one.
        struct stat Current{};
        TDescriptor Writing(OpenRegular(Target, O_WRONLY, Current));
        Held.Reset();
        if (Writing.Get() < 0 || !SameFile(Current, Old) || !Lock(Writing.Get(), TShareMode::Exclusive) ||
            ftruncate(Writing.Get(), 0) != 0)
            RaiseCreateError(FileName);
        TFileStream Stream(Writing.Release());
        Write(Stream);
        if (Durable)
            Stream.Flush();
        return;
    }

    TFileStream Stream(Handle);
    Write(Stream);
    if (Durable)
        Stream.Flush();
    const bool Named = !Temporary.Name.isEmpty() || LinkUnnamed(Handle, Folder, Prefix, Temporary.Name);
    if (!Named || ::rename(Temporary.Name.constData(), Target.constData()) != 0)
        RaiseCreateError(FileName);
    Temporary.Name.clear();
    if (Durable)
        SyncFolder(Folder);
}

void SetUnnamedTemporariesAllowed(bool Allowed)
{
    UnnamedTemporariesAllowed = Allowed;
}
