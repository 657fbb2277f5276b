#include "framework/FileStream.h"

#include "framework/Exceptions.h"
#include "framework/FileStreamSystem.h"
#include "framework/StringTable.h"

using namespace Exceptions;

void RaiseOpenError(const QString& FileName)
{
    throw EFOpenError(FrameworkString(SFOpenError).arg(FileName));
}

void RaiseCreateError(const QString& FileName)
{
    throw EFCreateError(FrameworkString(SFCreateError).arg(FileName));
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
