#pragma once

#include <QByteArray>

#include <utility>

#include <sys/stat.h>
#include <unistd.h>

// What the Linux file streams share with their path resolution. Internal to the library.
namespace PosixFiles {

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
// With Follow false the name itself must be the file, not a link to it.
int OpenRegular(int Folder, const char* Name, int Flags, struct stat& Info, bool Follow = true);

// The file a name stands for: the folder that holds it, open, and its name there. Every step works
// from a folder's descriptor, so no path grows longer than one the system was given.
struct TPlace {
    TDescriptor Folder;
    QByteArray Name;
};

// Follows Path as the system would when opening it, one name at a time from folders held open, so
// that no folder or link swapped in meanwhile can lead elsewhere; a link in a shared folder that
// neither this user nor the folder's owner made is not followed, wherever it stands in the path.
// On success Place holds the last folder and the last name in it, which is no link; Info describes
// it when Exists. A missing last name is no failure: the file need not exist.
bool Resolve(const QByteArray& Path, TPlace& Place, struct stat& Info, bool& Exists);

} // namespace PosixFiles
