/// \file
/// ZQ_EXPORT, the mark of what the library exports.
#pragma once

/// Marks a class or function of the library's interface: the library is built with everything
/// else hidden, so only what its installed headers declare with this mark is exported.
#if defined(__GNUC__) || defined(__clang__)
#define ZQ_EXPORT __attribute__((visibility("default")))
#else
#define ZQ_EXPORT
#endif
