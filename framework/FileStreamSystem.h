#pragma once

#include "framework/FileStream.h"

#include <QString>

#include <cstdint>

// What each kind of system's implementation of the file streams gives their common part, and the
// errors both raise.

struct TFileStreamAccess {
    static TFileStream Adopt(TFileHandle Handle) { return TFileStream(Handle); }
};

// One call of the system's read or write: the bytes moved, 0 at the end of the file or on failure.
std::int64_t ReadSome(TFileHandle Handle, void* Buffer, std::int64_t Count);
std::int64_t WriteSome(TFileHandle Handle, const void* Buffer, std::int64_t Count);

[[noreturn]] void RaiseOpenError(const QString& FileName);
[[noreturn]] void RaiseCreateError(const QString& FileName);
[[noreturn]] void RaiseReadError();
[[noreturn]] void RaiseWriteError();
