#include "framework/FileStreamPathPosix.h"

#include <QList>

#include <cerrno>
#include <climits>
#include <vector>

#include <fcntl.h>

namespace PosixFiles {

int OpenRegular(int Folder, const char* Name, int Flags, struct stat& Info, bool Follow)
{
    if (::fstatat(Folder, Name, &Info, Follow ? 0 : AT_SYMLINK_NOFOLLOW) != 0)
        return -1;
    if (!S_ISREG(Info.st_mode)) {
        errno = EINVAL;
        return -1;
    }
    TDescriptor Handle(
        ::openat(Folder, Name, Flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (Follow ? 0 : O_NOFOLLOW)));
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

namespace {

// The most links the system follows in one name.
constexpr int MaxLinks = 40;

// The kernel's rule for links in a shared folder: in a sticky folder that everyone may write, a
// link is followed only when it belongs to this user or to the folder's owner, so that a link
// planted by someone else cannot send a write to a file of ours. The folder is the one held.
bool MayFollow(int Folder, const struct stat& Link)
{
    struct stat Info{};
    if (fstat(Folder, &Info) != 0)
        return false;
    const bool Shared = (Info.st_mode & S_ISVTX) && (Info.st_mode & S_IWOTH);
    return !Shared || Link.st_uid == geteuid() || Link.st_uid == Info.st_uid;
}

// Puts the names of Path on top of those still to be walked, its first name on top.
void PushNames(std::vector<QByteArray>& Names, const QByteArray& Path)
{
    // A slash at the end names a folder, as its "." does.
    if (Path.endsWith('/'))
        Names.push_back(".");
    const QList<QByteArray> Parts = Path.split('/');
    for (auto Part = Parts.crbegin(); Part != Parts.crend(); ++Part)
        if (!Part->isEmpty())
            Names.push_back(*Part);
}

int OpenRoot()
{
    return ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
}

} // namespace

bool Resolve(const QByteArray& Path, TPlace& Place, struct stat& Info, bool& Exists)
{
    std::vector<QByteArray> Names;
    PushNames(Names, Path);
    Place.Folder.Reset(Path.startsWith('/') ? OpenRoot() : ::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (Place.Folder.Get() < 0)
        return false;
    for (int Links = 0; !Names.empty();) {
        const QByteArray Name = Names.back();
        Names.pop_back();
        const bool Last = Names.empty();
        // The entry itself, never what a link in its place points to: what it is, who owns it and,
        // for a link, where it points are all read from the one thing held, which no swap changes.
        // "." and ".." are looked up as any name, so ".." is the held folder's parent on disk, as
        // the system takes it.
        TDescriptor Entry(::openat(Place.Folder.Get(), Name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        struct stat Found{};
        if (Entry.Get() < 0 || fstat(Entry.Get(), &Found) != 0) {
            Exists = false;
            Place.Name = Name;
            return Last && errno == ENOENT;
        }
        if (S_ISLNK(Found.st_mode)) {
            if (++Links > MaxLinks || !MayFollow(Place.Folder.Get(), Found))
                return false;
            QByteArray Target(PATH_MAX, '\0');
            const ssize_t Length = ::readlinkat(Entry.Get(), "", Target.data(), size_t(Target.size()));
            if (Length <= 0 || Length >= Target.size())
                return false;
            Target.truncate(Length);
            if (Target.startsWith('/')) {
                Place.Folder.Reset(OpenRoot());
                if (Place.Folder.Get() < 0)
                    return false;
            }
            PushNames(Names, Target);
        } else if (Last) {
            Exists = true;
            Info = Found;
            Place.Name = Name;
            return true;
        } else if (S_ISDIR(Found.st_mode)) {
            Place.Folder.Reset(Entry.Release());
        } else {
            errno = ENOTDIR;
            return false;
        }
    }
    return false;
}

} // namespace PosixFiles
