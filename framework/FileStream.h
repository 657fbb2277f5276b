#pragma once

#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>

// How others may use a file while it is open here. Advisory locks stand in for share modes:
// a file opened without sharing holds an exclusive lock, one opened with sharing a shared lock,
// and an open that the locks of others refuse fails.
enum class TShareMode { Exclusive, DenyNone };

enum class TFileAccess { Read, ReadWrite };

// The system's own handle of an open file.
#ifdef _WIN32
using TFileHandle = void*;
#else
using TFileHandle = int;
#endif

// A file opened for one operation and closed by the destructor in every case.
class TFileStream {
public:
    // Opens an existing regular file (or a link to one) without ever blocking on a pipe or a device;
    // raises EFOpenError "Cannot open file <name>", also for a name the system cannot represent. While the locks of others refuse the open, it
    // tries again for up to Wait; a file replaced by a rename meanwhile is opened anew. Links are
    // followed as ReplaceFile follows them, in the folders of the name as in its last part.
    static TFileStream Open(const QString& FileName, TFileAccess Access, TShareMode Share,
                            std::chrono::milliseconds Wait = std::chrono::milliseconds(0));

    TFileStream(TFileStream&& Other) noexcept;
    TFileStream& operator=(TFileStream&&) = delete;
    ~TFileStream();

    // As many bytes as the file still holds, up to Count.
    std::int64_t Read(void* Buffer, std::int64_t Count);
    std::int64_t Write(const void* Buffer, std::int64_t Count);
    // Exactly Count bytes, or EReadError "Stream read error" / EWriteError "Stream write error".
    void ReadBuffer(void* Buffer, std::int64_t Count);
    void WriteBuffer(const void* Buffer, std::int64_t Count);
    // Hands what was written to the disk.
    void Flush();
    // The handle, for reading by other means than Read; it stays owned by the stream.
    TFileHandle Handle() const { return FHandle; }

private:
    explicit TFileStream(TFileHandle Handle) : FHandle(Handle) {}
    // The systems' implementations make streams of the handles they open.
    friend struct TFileStreamAccess;

    TFileHandle FHandle;
};

// Creates a file anew with the given content. Symbolic links are followed as the system follows
// them, but not one in a sticky folder everyone may write that belongs neither to this user nor to
// the folder's owner, whether it stands for a folder of the name or for the file. The content goes
// to a new file in the same folder, which only this user may open until it is complete and then
// gets the old file's permissions, owner and extended attributes, or for a file that did not exist
// those the system gives a file created there (the folder's default access list included); it
// replaces the old one by a rename once complete (and, with Durable, on disk): a failed write
// therefore leaves the old file as it was, and a killed process leaves no new file behind. A file
// with several names, or one in a folder that refuses new files, is written in place instead; in
// an append-only folder, which keeps every name made in it, an existing file is written in place
// and a new one is made under its own name. Every
// step works from the folder's descriptor, so any name the system can open can be written. Raises
// EFCreateError "Cannot create file <name>" when the file cannot be made, is not a regular file, may
// not be written, has a name the system cannot represent, or is held by another open, and the write
// errors of TFileStream. ReadOld, when given, reads the old file, held as it is, before anything
// is written, so that what it holds can go into the new content without another writer coming in
// between; it is not called when there is no old file or this process may not read it. While
// another open holds the file, the replacement waits for it up to Wait; when that writer has put a
// new file under the name meanwhile, the new one is held and read instead (ReadOld and Write may
// therefore run more than once), and so is a file that another writer created where there was none.
void ReplaceFile(const QString& FileName, const std::function<void(TFileStream&)>& Write, bool Durable = true,
                 const std::function<void(TFileStream&)>& ReadOld = {},
                 std::chrono::milliseconds Wait = std::chrono::milliseconds(0));
