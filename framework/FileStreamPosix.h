#pragma once

#include "framework/FileStreamSystem.h"

#include <QByteArray>

#include <sys/stat.h>

// What the POSIX file streams (FileStreamPosix.cpp) take from the system's own calls beyond POSIX
// (FileStreamLinux.cpp). Internal to the library; a port to another POSIX system writes these.
namespace PosixFiles {

// --- POSIX ---

// Takes a share mode's advisory lock without waiting.
bool Lock(int Handle, TShareMode Share);
bool SameFile(const struct stat& A, const struct stat& B);
// Opens an existing regular file, -1 for anything else. A pipe or a device is refused before it is
// opened, and the open does not wait for a pipe's other end should the name change meanwhile.
// The name itself must be the file, not a link to it.
int OpenRegular(int Folder, const char* Name, int Flags, struct stat& Info);
// The mode a program asks for when it creates a file of data.
constexpr mode_t NewFileRequest = 0666;

// --- The system's own ---

// Follows Path as the system would when opening it, one name at a time from folders held open, so
// that no folder or link swapped in meanwhile can lead elsewhere; a link in a shared folder that
// neither this user nor the folder's owner made is not followed, wherever it stands in the path.
// Every step works from a folder's descriptor, so no path grows longer than one the system was
// given. On success Folder holds the last folder and Name the last name in it, which is no link;
// Info describes it when Exists. A missing last name is no failure: the file need not exist.
bool Resolve(const QByteArray& Path, TOwnedHandle& Folder, QByteArray& Name, struct stat& Info, bool& Exists);

// A file in the folder that has no name until MakeLasting gives it one, so that a killed writer
// leaves nothing; -1 where the system has none (errno says why), and then a named one is made.
int CreateUnnamedTemporary(int Folder);
// Gives such a file a name made from Prefix.
bool NameUnnamed(int Handle, int Folder, const QByteArray& Prefix, QByteArray& Name);

// Gives a temporary that is to become a new file what the system gives a file created in the
// folder that Listing reads: its mask's permissions, or the folder's default access list.
void GiveNewFileRights(int Handle, int Listing);
// Extended attributes, the access control list among them, go with the content to the new file.
void CopyAttributes(int From, int To);
// A folder in which names can be made but not removed or renamed over.
bool AppendOnly(int Listing);
// A rename that fails with EEXIST where the name is taken: 0, or the error (EINVAL or ENOSYS
// where the file system cannot tell).
int RenameNoReplace(int Folder, const char* From, const char* To);

} // namespace PosixFiles
