#include "framework/FileStream.h"

#include "framework/Exceptions.h"
#include "framework/FileStreamErrors.h"
#include "framework/StringTable.h"

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
