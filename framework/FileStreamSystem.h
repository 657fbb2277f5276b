#pragma once

#include "framework/FileStream.h"

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <utility>

#ifndef _WIN32
#include <sys/stat.h>
#endif

// What the file streams' common part (FileStream.cpp) asks of each kind of system: a handful of
// steps that it puts together into opening and replacing a file. Internal to the library; a port
// to another system writes these.

using TClock = std::chrono::steady_clock;

// A name as the system's calls take it.
#ifdef _WIN32
using TNativeName = std::wstring;
inline TFileHandle InvalidHandle() { return reinterpret_cast<TFileHandle>(std::intptr_t(-1)); }
#else
using TNativeName = QByteArray;
constexpr TFileHandle InvalidHandle() { return -1; }
#endif

void CloseFile(TFileHandle Handle);

// Closes the handle it holds when it goes out of scope.
class TOwnedHandle {
public:
    TOwnedHandle() = default;
    explicit TOwnedHandle(TFileHandle Handle) : FHandle(Handle) {}
    TOwnedHandle(TOwnedHandle&& Other) noexcept : FHandle(Other.Release()) {}
    TOwnedHandle(const TOwnedHandle&) = delete;
    TOwnedHandle& operator=(const TOwnedHandle&) = delete;
    ~TOwnedHandle() { Reset(); }
    TFileHandle Get() const { return FHandle; }
    bool Valid() const { return FHandle != InvalidHandle(); }
    TFileHandle Release() { return std::exchange(FHandle, InvalidHandle()); }
    void Reset(TFileHandle Handle = InvalidHandle())
    {
        if (Valid())
            CloseFile(FHandle);
        FHandle = Handle;
    }

private:
    TFileHandle FHandle = InvalidHandle();
};

struct TFileStreamAccess {
    static TFileStream Adopt(TFileHandle Handle) { return TFileStream(Handle); }
    static TFileHandle Release(TFileStream& Stream) { return std::exchange(Stream.FHandle, InvalidHandle()); }
};

// What a step came to. Again: another writer holds the file or has put a new one under the name, so
// the step is to be made again (a wait for the holder has already been made). Refused: the folder
// refuses a new file.
enum class TOutcome { Done, Again, Refused, Failed };

// Tries until Deadline while Try answers Again. A holder ends its write in a moment, so the file is
// asked for again and again rather than waited for: a wait without a timeout could hang on a stuck
// holder.
template <class TTry>
bool TryUntil(TClock::time_point Deadline, TTry Try)
{
    auto Pause = std::chrono::milliseconds(1);
    for (;;) {
        const TOutcome Outcome = Try();
        if (Outcome != TOutcome::Again || TClock::now() >= Deadline)
            return Outcome == TOutcome::Done;
        std::this_thread::sleep_for(std::min<TClock::duration>(Pause, Deadline - TClock::now()));
        Pause = std::min(Pause * 2, std::chrono::milliseconds(20));
    }
}

// A fresh name for a temporary of the file whose temporaries share Prefix: the rest is random, so
// that nobody can take the names a write will try first.
TNativeName TemporaryName(const TNativeName& Prefix);

// Where the file system offers them, the new files have no name until they are complete. Tests
// turn this off to try the named kind, which a later replacement cleans up after.
void SetUnnamedTemporariesAllowed(bool Allowed);
bool UnnamedTemporariesAllowed();

[[noreturn]] void RaiseOpenError(const QString& FileName);
[[noreturn]] void RaiseCreateError(const QString& FileName);
[[noreturn]] void RaiseReadError();
[[noreturn]] void RaiseWriteError();

// --- What each system writes ---

// The system's own name for a file, or false when it has none that stands for exactly this name.
bool NativeName(const QString& FileName, TNativeName& Name);

// One call of the system's read or write: the bytes moved, 0 at the end of the file or on failure.
std::int64_t ReadSome(TFileHandle Handle, void* Buffer, std::int64_t Count);
std::int64_t WriteSome(TFileHandle Handle, const void* Buffer, std::int64_t Count);
// Hands what was written to the disk.
bool FlushFile(TFileHandle Handle);
// Random bits from the system, false when it has none to give.
bool SystemRandom(std::uint64_t& Bits);
// A second handle of the same open file, for reading; closing it keeps what the first holds.
TFileHandle SecondHandle(TFileHandle Handle);

// Opens an existing regular file as TFileStream::Open describes, waiting for others' opens up to
// Deadline. Again: opened, but the name has been given to another file meanwhile.
TOutcome OpenHeld(const TNativeName& Name, TFileAccess Access, TShareMode Share, TClock::time_point Deadline,
                  TOwnedHandle& Handle);

// The file a replacement writes: where it is, and the old file, held while the new one is written.
struct TTarget {
    bool Exists = false;
    // The old file, held for the whole write; none when this process may not read it.
    TOwnedHandle Held;
    // How many names the old file has.
    std::uint64_t Links = 0;
#ifdef _WIN32
    // The whole name, links followed, and what of the old file goes to the new one.
    std::wstring Path;
    std::uint32_t Attributes = 0;
    std::uint64_t CreationTime = 0;
#else
    // The folder that holds the file, open, and its name there.
    TOwnedHandle Folder;
    QByteArray Name;
    struct stat Old {};
    // The folder again, opened so that what it says of itself can be read.
    TOwnedHandle Listing;
#endif
};

// Finds the file a name stands for and holds it, waiting for other holders up to Deadline; a file
// that may not be written fails. Again: it was replaced or removed meanwhile.
TOutcome HoldOld(const TNativeName& Path, TTarget& Target, TClock::time_point Deadline);
// The file's own name in its folder, from which its temporaries' names are made.
TNativeName LastName(const TTarget& Target);
// A folder that keeps every name made in it, so that a temporary would stay there for good.
bool KeepsEveryName(TTarget& Target);
// Where there is no file, makes it under its own name, empty and held. Again: another writer made it.
TOutcome CreateUnderName(const TTarget& Target, TOwnedHandle& Handle, TClock::time_point Deadline);

// Removes the temporaries of the file that no live writer holds.
void RemoveAbandonedTemporaries(const TTarget& Target, const TNativeName& Prefix);
// A new file beside the target that only this user may open until it is complete. Name is its name,
// empty while it has none.
TOutcome CreateTemporary(const TTarget& Target, const TNativeName& Prefix, TOwnedHandle& Handle, TNativeName& Name);
void RemoveTemporary(const TTarget& Target, const TNativeName& Name);
// Gives the temporary the old file's attributes, or those of a file created anew where there was none.
bool GiveAttributes(const TTarget& Target, TFileHandle Temporary);
// Makes the complete temporary outlive its handle, under a name made from Prefix when it has none.
bool MakeLasting(const TTarget& Target, TFileHandle Temporary, const TNativeName& Prefix, TNativeName& Name);
// Puts the temporary in the file's place, and lets go of the old file and the temporary's handle.
// Again: another writer created the file or holds it meanwhile.
TOutcome MoveIntoPlace(TTarget& Target, const TNativeName& Temporary, TOwnedHandle Handle, bool Durable);
// Hands the folder's new entry to the disk.
void SyncFolder(const TTarget& Target);

// Opens the old file for a write in place, empty, and lets go of the held one. Again: another writer
// came in between.
TOutcome OpenInPlace(TTarget& Target, TOwnedHandle& Handle, TClock::time_point Deadline);
