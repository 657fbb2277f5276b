#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>

// A checksummed file holds the Size bytes of the data followed by their checksum, unsigned 32-bit
// little-endian. There is no header: the reader must know Size. Bytes after the checksum are ignored.

// The sum, with wrap-around, of the whole little-endian 32-bit words of the data; the last
// Size mod 4 bytes do not count. The data need no particular alignment.
std::uint32_t CheckSum(const void* Data, std::size_t Size);

// Replaces the file by the data and their checksum; a failed write leaves the old file as it was,
// unless it had to be written in place (see ReplaceFile).
void WriteWithCheckSum(const QString& FileName, const void* Data, std::size_t Size);

// Fills the buffer from the file and verifies the checksum. On failure the buffer keeps what was read.
void ReadWithCheckSum(const QString& FileName, void* Data, std::size_t Size);
