// What the file streams take from Linux beyond POSIX: O_PATH, O_TMPFILE, getrandom, /proc/self,
// renameat2, the inode flags and the extended attributes that hold access lists.
#include "framework/FileStreamPosix.h"

#include <QList>
#include <QtEndian>

#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/random.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace PosixFiles {

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

// The permissions a file created anew gets, as the process's mask leaves them. The mask is read,
// never set: setting it would change it for every thread of the program for a moment. When it
// cannot be read (no /proc, no free descriptor), the file stays this user's alone.
mode_t NewFileMode()
{
    TOwnedHandle Status(::open("/proc/self/status", O_RDONLY | O_CLOEXEC));
    QByteArray Text(4096, '\0');
    const ssize_t Length = Status.Get() < 0 ? -1 : ::read(Status.Get(), Text.data(), size_t(Text.size()));
    Text.truncate(Length < 0 ? 0 : Length);
    const qsizetype At = Text.indexOf("\nUmask:");
    bool Valid = false;
    const uint Mask = At < 0 ? 0 : Text.mid(At + 7, Text.indexOf('\n', At + 1) - At - 7).trimmed().toUInt(&Valid, 8);
    return Valid ? mode_t(0666 & ~Mask) : mode_t(0600);
}

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

} // namespace

bool Resolve(const QByteArray& Path, TOwnedHandle& Folder, QByteArray& LastName, struct stat& Info, bool& Exists)
{
    std::vector<QByteArray> Names;
    PushNames(Names, Path);
    Folder.Reset(Path.startsWith('/') ? OpenRoot() : ::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!Folder.Valid())
        return false;
    for (int Links = 0; !Names.empty();) {
        const QByteArray Name = Names.back();
        Names.pop_back();
        const bool Last = Names.empty();
        // The entry itself, never what a link in its place points to: what it is, who owns it and,
        // for a link, where it points are all read from the one thing held, which no swap changes.
        // "." and ".." are looked up as any name, so ".." is the held folder's parent on disk, as
        // the system takes it.
        TOwnedHandle Entry(::openat(Folder.Get(), Name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        struct stat Found{};
        if (!Entry.Valid() || fstat(Entry.Get(), &Found) != 0) {
            Exists = false;
            LastName = Name;
            return Last && errno == ENOENT;
        }
        if (S_ISLNK(Found.st_mode)) {
            if (++Links > MaxLinks || !MayFollow(Folder.Get(), Found))
                return false;
            QByteArray Target(PATH_MAX, '\0');
            const ssize_t Length = ::readlinkat(Entry.Get(), "", Target.data(), size_t(Target.size()));
            if (Length <= 0 || Length >= Target.size())
                return false;
            Target.truncate(Length);
            if (Target.startsWith('/')) {
                Folder.Reset(OpenRoot());
                if (!Folder.Valid())
                    return false;
            }
            PushNames(Names, Target);
        } else if (Last) {
            Exists = true;
            Info = Found;
            LastName = Name;
            return true;
        } else if (S_ISDIR(Found.st_mode)) {
            Folder.Reset(Entry.Release());
        } else {
            errno = ENOTDIR;
            return false;
        }
    }
    return false;
}

int CreateUnnamedTemporary(int Folder)
{
    // The name is given through /proc, which needs no privilege. It is looked for every time, as a
    // program may lose it (a new mount namespace, a sandbox) after its first write.
    if (!UnnamedTemporariesAllowed() || ::access("/proc/self/fd", X_OK) != 0)
        return -1;
    // Only this user may open it until it is complete.
    TOwnedHandle Handle(::openat(Folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
    if (Handle.Valid() && !Lock(Handle.Get(), TShareMode::Exclusive)) {
        errno = EAGAIN;
        return -1;
    }
    return Handle.Release();
}

bool NameUnnamed(int Handle, int Folder, const QByteArray& Prefix, QByteArray& Name)
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

bool AppendOnly(int Listing)
{
    int Flags = 0;
    return Listing >= 0 && ::ioctl(Listing, FS_IOC_GETFLAGS, &Flags) == 0 && (Flags & FS_APPEND_FL) != 0;
}

int RenameNoReplace(int Folder, const char* From, const char* To)
{
    return ::renameat2(Folder, From, Folder, To, RENAME_NOREPLACE) == 0 ? 0 : errno;
}

} // namespace PosixFiles

bool SystemRandom(std::uint64_t& Bits)
{
    return getrandom(&Bits, sizeof Bits, GRND_NONBLOCK) == ssize_t(sizeof Bits);
}
