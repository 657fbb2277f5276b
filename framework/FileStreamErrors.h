#pragma once

#include <QString>

// The errors of the file streams, shared by their implementations for each kind of system.
[[noreturn]] void RaiseOpenError(const QString& FileName);
[[noreturn]] void RaiseCreateError(const QString& FileName);
[[noreturn]] void RaiseReadError();
[[noreturn]] void RaiseWriteError();
