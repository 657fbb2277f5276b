#include "framework/FileStream.h"

#include "framework/Exceptions.h"
#include "framework/FileStreamSystem.h"
#include "framework/StringTable.h"

#include <QCoreApplication>
#include <QDir>

#include <atomic>
#include <functional>
#include <type_traits>

using namespace Exceptions;

// Messages name a file as the system writes it: C:\Games\Zorvik.dat on Windows.
void RaiseOpenError(const QString& FileName)
{
    throw EFOpenError(FrameworkString(SFOpenError).arg(QDir::toNativeSeparators(FileName)));
}

void RaiseCreateError(const QString& FileName)
{
    throw EFCreateError(FrameworkString(SFCreateError).arg(QDir::toNativeSeparators(FileName)));
}

void RaiseReadError()
{
    throw EReadError(FrameworkString(SReadError));
}

void RaiseWriteError()
{
    throw EWriteError(FrameworkString(SWriteError));
}

std::int64_t TFileStream::Read(void* Buffer, std::int64_t Count)
{
    auto* Bytes = static_cast<char*>(Buffer);
    std::int64_t Done = 0;
    while (Done < Count) {
        const std::int64_t Got = ReadSome(FHandle, Bytes + Done, Count - Done);
        if (Got == 0)
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
        const std::int64_t Put = WriteSome(FHandle, Bytes + Done, Count - Done);
        if (Put == 0)
            break;
        Done += Put;
    }
    return Done;
}

void TFileStream::ReadBuffer(void* Buffer, std::int64_t Count)
{
    if (Count != 0 && Read(Buffer, Count) != Count)
        RaiseReadError();
}

void TFileStream::WriteBuffer(const void* Buffer, std::int64_t Count)
{
    if (Count != 0 && Write(Buffer, Count) != Count)
        RaiseWriteError();
}

TFileStream::TFileStream(TFileStream&& Other) noexcept : FHandle(TFileStreamAccess::Release(Other)) {}

TFileStream::~TFileStream()
{
    if (FHandle != InvalidHandle())
        CloseFile(FHandle);
}

void TFileStream::Flush()
{
    if (!FlushFile(FHandle))
        RaiseWriteError();
}

TFileStream TFileStream::Open(const QString& FileName, TFileAccess Access, TShareMode Share,
                              std::chrono::milliseconds Wait)
{
    TNativeName Name;
    if (!NativeName(FileName, Name))
        RaiseOpenError(FileName);
    const TClock::time_point Deadline = TClock::now() + Wait;
    for (int Reopened = 0;; ++Reopened) {
        TOwnedHandle Handle;
        const TOutcome Opened = OpenHeld(Name, Access, Share, Deadline, Handle);
        if (Opened != TOutcome::Done && Opened != TOutcome::Again)
            break;
        // A writer that replaces the file by a rename holds the old one until the new one is in its
        // place: what was waited for is then under the name.
        if (Opened == TOutcome::Done || (Reopened >= 3 && TClock::now() >= Deadline))
            return TFileStream(Handle.Release());
    }
    RaiseOpenError(FileName);
}

namespace {

std::atomic<bool> UnnamedAllowed{true};

QByteArray Hex(std::uint64_t Value)
{
    return QByteArray::number(qulonglong(Value), 16).rightJustified(16, '0');
}

// Native names are of bytes or of UTF-16 units; the temporaries' own letters are ASCII in both.
void AppendAscii(TNativeName& Name, const QByteArray& Ascii)
{
    for (const char Letter : Ascii)
        Name.push_back(TNativeName::value_type(Letter));
}

// Temporaries of one file share a prefix made from its name. A hash keeps the names short, so that
// a file whose name is near the length limit gets temporaries too.
TNativeName TemporaryPrefix(const TNativeName& Name)
{
    std::uint64_t Hash = 14695981039346656037ull;
    for (const auto Unit : Name) {
        Hash ^= std::make_unsigned_t<std::remove_const_t<decltype(Unit)>>(Unit);
        Hash *= 1099511628211ull;
    }
    TNativeName Prefix;
    AppendAscii(Prefix, ".~" + Hex(Hash) + '.');
    return Prefix;
}

// Removes the named temporary unless it has become the real file. Its handle is closed first, as
// Windows removes no file that is open unshared.
struct TTemporary {
    const TTarget& Target;
    TOwnedHandle Handle;
    TNativeName Name;
    ~TTemporary()
    {
        Handle.Reset();
        if (Name.size() != 0)
            RemoveTemporary(Target, Name);
    }
};

void WriteAndFlush(TOwnedHandle& Handle, const std::function<void(TFileStream&)>& Write, bool Durable)
{
    TFileStream Stream = TFileStreamAccess::Adopt(Handle.Release());
    Write(Stream);
    if (Durable)
        Stream.Flush();
}

TOutcome ReplaceOnce(const QString& FileName, const TNativeName& Path, const std::function<void(TFileStream&)>& Write,
                     bool Durable, const std::function<void(TFileStream&)>& ReadOld, TClock::time_point Deadline)
{
    // The old file is held for the whole write, as one created anew would be: others who open it
    // meanwhile wait or fail.
    TTarget Target;
    const TOutcome Held = HoldOld(Path, Target, Deadline);
    if (Held == TOutcome::Again)
        return TOutcome::Again;
    if (Held != TOutcome::Done)
        RaiseCreateError(FileName);
    if (ReadOld && Target.Held.Valid()) {
        TOwnedHandle Reading(SecondHandle(Target.Held.Get()));
        if (!Reading.Valid())
            RaiseCreateError(FileName);
        TFileStream Old = TFileStreamAccess::Adopt(Reading.Release());
        ReadOld(Old);
    }

    // Where the folder keeps every name made in it, a file that is not there yet is made under its
    // own name and written there: no temporary is left.
    const bool KeepsNames = KeepsEveryName(Target);
    if (!Target.Exists && KeepsNames) {
        TOwnedHandle Created;
        const TOutcome Made = CreateUnderName(Target, Created, Deadline);
        if (Made == TOutcome::Again)
            return TOutcome::Again;
        if (Made != TOutcome::Done)
            RaiseCreateError(FileName);
        WriteAndFlush(Created, Write, Durable);
        if (Durable)
            SyncFolder(Target);
        return TOutcome::Done;
    }

    const TNativeName Prefix = TemporaryPrefix(LastName(Target));
    TTemporary Temporary{Target, {}, {}};
    // Another name of the same file would keep the old content after a rename.
    if (!KeepsNames && (!Target.Exists || Target.Links <= 1)) {
        RemoveAbandonedTemporaries(Target, Prefix);
        const TOutcome Created = CreateTemporary(Target, Prefix, Temporary.Handle, Temporary.Name);
        if (Created == TOutcome::Failed || (Created == TOutcome::Refused && !Target.Exists))
            RaiseCreateError(FileName);
    }

    if (!Temporary.Handle.Valid()) {
        // In place: the folder refuses a new file or keeps every name, or the file has other names.
        TOwnedHandle Writing;
        const TOutcome Opened = OpenInPlace(Target, Writing, Deadline);
        if (Opened == TOutcome::Again)
            return TOutcome::Again;
        if (Opened != TOutcome::Done)
            RaiseCreateError(FileName);
        WriteAndFlush(Writing, Write, Durable);
        return TOutcome::Done;
    }

    TFileStream Stream = TFileStreamAccess::Adopt(Temporary.Handle.Release());
    Write(Stream);
    if (!GiveAttributes(Target, Stream.Handle()))
        RaiseCreateError(FileName);
    if (Durable)
        Stream.Flush();
    if (!MakeLasting(Target, Stream.Handle(), Prefix, Temporary.Name))
        RaiseCreateError(FileName);
    const TOutcome Moved = MoveIntoPlace(Target, Temporary.Name, TOwnedHandle(TFileStreamAccess::Release(Stream)), Durable);
    if (Moved == TOutcome::Again)
        return TOutcome::Again;
    if (Moved != TOutcome::Done)
        RaiseCreateError(FileName);
    Temporary.Name.clear();
    if (Durable)
        SyncFolder(Target);
    return TOutcome::Done;
}

} // namespace

TNativeName TemporaryName(const TNativeName& Prefix)
{
    std::uint64_t Random = 0;
    if (!SystemRandom(Random)) {
        static std::atomic<std::uint64_t> Counter{0};
        Random = (std::uint64_t(QCoreApplication::applicationPid()) << 32) ^
                 std::uint64_t(TClock::now().time_since_epoch().count()) ^ (Counter++ * 0x9E3779B97F4A7C15ull);
    }
    TNativeName Name = Prefix;
    AppendAscii(Name, Hex(Random));
    return Name;
}

void SetUnnamedTemporariesAllowed(bool Allowed)
{
    UnnamedAllowed = Allowed;
}

bool UnnamedTemporariesAllowed()
{
    return UnnamedAllowed;
}

void ReplaceFile(const QString& FileName, const std::function<void(TFileStream&)>& Write, bool Durable,
                 const std::function<void(TFileStream&)>& ReadOld, std::chrono::milliseconds Wait)
{
    TNativeName Path;
    if (!NativeName(FileName, Path))
        RaiseCreateError(FileName);
    const TClock::time_point Deadline = TClock::now() + Wait;
    // A few attempts even without a wait: a replacement by another writer is over once seen.
    for (int Attempt = 0;; ++Attempt) {
        if (ReplaceOnce(FileName, Path, Write, Durable, ReadOld, Deadline) == TOutcome::Done)
            return;
        if (Attempt >= 3 && TClock::now() >= Deadline)
            RaiseCreateError(FileName);
    }
}
