#pragma once

#include <zq/framework/Export.h>

#include <QString>

#include <cstddef>
#include <cstdint>

/// \file
/// Checksummed files. A checksummed file holds the Size bytes of the data followed by their
/// checksum, unsigned 32-bit little-endian. There is no header: the reader must know Size. Bytes
/// after the checksum are ignored. Each routine opens the file for its one operation and closes it
/// in every case.

/// The sum, with wrap-around, of the whole little-endian 32-bit words of the data; the last
/// Size mod 4 bytes do not count. The data need no particular alignment.
ZQ_EXPORT std::uint32_t CheckSum(const void* Data, std::size_t Size);

/// Replaces the file by the data and their checksum. A failed write leaves the old file as it was,
/// unless it had to be written in place (a file with several names, or one in a folder that refuses
/// new files). Raises Exceptions::EFCreateError "Cannot create file <name>" when the file cannot be
/// made, and Exceptions::EWriteError "Stream write error" when a write falls short.
ZQ_EXPORT void WriteWithCheckSum(const QString& FileName, const void* Data, std::size_t Size);

/// Fills the buffer from the file and verifies the checksum. On failure the buffer keeps what was
/// read. Raises Exceptions::EFOpenError "Cannot open file <name>" when the file cannot be opened,
/// Exceptions::EReadError "Stream read error" when it holds fewer than Size + 4 bytes, and
/// Exceptions::EReadError with a message ending in the file's name when the checksum does not match.
ZQ_EXPORT void ReadWithCheckSum(const QString& FileName, void* Data, std::size_t Size);
