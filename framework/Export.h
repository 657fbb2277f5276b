/// \file
/// ZQ_EXPORT, the mark of what the library exports.
#pragma once

/// Marks a class or function of the library's interface: the library is built with everything
/// else hidden, so only what its installed headers declare with this mark is exported. On Windows
/// the library exports it, and a program that links zq.dll (ZQ_SHARED, which the CMake package
/// defines) imports it.
#if defined(_WIN32)
#if defined(ZQ_BUILDING_LIBRARY)
#define ZQ_EXPORT __declspec(dllexport)
#elif defined(ZQ_SHARED)
#define ZQ_EXPORT __declspec(dllimport)
#else
#define ZQ_EXPORT
#endif
#elif defined(__GNUC__) || defined(__clang__)
#define ZQ_EXPORT __attribute__((visibility("default")))
#else
#define ZQ_EXPORT
#endif
