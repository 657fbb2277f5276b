#include "framework/FileStream.h"

#include "framework/Exceptions.h"
#include "framework/StringTable.h"

#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray NativeName(const QString& FileName)
{
    return QFile::encodeName(FileName);
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

// Opens a new file beside FileName that nobody else can have opened.
int CreateTemporary(const QString& FileName, QByteArray& TemporaryName)
{
    static std::atomic<unsigned> Counter{0};
    for (int Attempt = 0; Attempt < 100; ++Attempt) {
        TemporaryName = NativeName(FileName) + ".tmp" + QByteArray::number(qint64(getpid())) + '-' +
                        QByteArray::number(Counter++);
        const int Handle = ::open(TemporaryName.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (Handle >= 0 || errno != EEXIST)
            return Handle;
    }
    return -1;
}

void SyncFolder(const QString& FileName)
{
    const QByteArray Folder = NativeName(QFileInfo(FileName).absolutePath());
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

// Removes the temporary file unless it has become the real one.
struct TTemporaryGuard {
    QByteArray Name;
    bool Kept = false;
    ~TTemporaryGuard()
    {
        if (!Kept && !Name.isEmpty())
            ::unlink(Name.constData());
    }
};

} // namespace

TFileStream TFileStream::Open(const QString& FileName, TFileAccess Access, TShareMode Share)
{
    const int Flags = (Access == TFileAccess::Read ? O_RDONLY : O_RDWR) | O_CLOEXEC;
    const int Handle = ::open(NativeName(FileName).constData(), Flags);
    struct stat Info{};
    if (Handle < 0 || fstat(Handle, &Info) != 0 || S_ISDIR(Info.st_mode) || !Lock(Handle, Share)) {
        if (Handle >= 0)
            ::close(Handle);
        throw EFOpenError(FrameworkString(SFOpenError).arg(FileName));
    }
    return TFileStream(Handle);
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
    TTemporaryGuard Temporary;
    const int Handle = CreateTemporary(FileName, Temporary.Name);
    if (Handle < 0)
        RaiseCreateError(FileName);
    {
        TFileStream Stream(Handle);
        Write(Stream);
        if (Durable)
            Stream.Flush();
    }
    // While another open holds the old file, it cannot be replaced, as it could not be created anew.
    const QByteArray Target = NativeName(FileName);
    const int Old = ::open(Target.constData(), O_RDONLY | O_CLOEXEC);
    if (Old >= 0 && !Lock(Old, TShareMode::Exclusive)) {
        ::close(Old);
        RaiseCreateError(FileName);
    }
    const bool Renamed = ::rename(Temporary.Name.constData(), Target.constData()) == 0;
    if (Old >= 0)
        ::close(Old);
    if (!Renamed)
        RaiseCreateError(FileName);
    Temporary.Kept = true;
    if (Durable)
        SyncFolder(FileName);
}
