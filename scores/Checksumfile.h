#pragma once

#include <zq/framework/Export.h>

#include <QString>

#include <cstddef>
#include <cstdint>

/// \file
/// Checksummed files. A checksummed file holds the Size bytes of the data followed by their
/// checksum, unsigned 32-bit little-endian. There is no header: the reader must know Size. Bytes
/// after the checksum are ignored.
///
/// Each routine opens the file for its one operation, without sharing, and closes it in every case:
/// while one routine has a file open, another open of it fails, a second reader's too ("Cannot open
/// file <name>" or "Cannot create file <name>"). A name the system cannot represent exactly (one
/// holding a NUL character, or a character the file system's encoding lacks) is refused with the
/// same errors rather than cut short. Messages write the name with the system's separators, as
/// QDir::toNativeSeparators() gives it. The routines change nothing that belongs to the whole
/// program: no signal handler, file mode mask, locale, environment or thread.

/// The sum, with wrap-around, of the whole little-endian 32-bit words of the data; the last
/// Size mod 4 bytes do not count. The data need no particular alignment.
ZQ_EXPORT std::uint32_t CheckSum(const void* Data, std::size_t Size);

/// Replaces the file by the data and their checksum.
///
/// Symbolic links are followed as the system follows them when it opens a name (up to 40 of them),
/// and the file they lead to is replaced; a link is not followed when it lies in a sticky folder
/// that everyone may write, such as /tmp, and belongs neither to this user nor to the folder's
/// owner. The data go to a new file in the same folder that only this user may open until it is
/// complete; it then gets the old file's permissions, its owner where this process may give it, its
/// extended attributes and access control list, and takes the old file's place by a rename. A failed
/// or killed write therefore leaves the old file as it was. Two kinds of file are written in place
/// instead, so that a failed or killed write leaves them short: one with several names (a rename
/// would part them), and one in a folder that refuses new files.
///
/// Raises Exceptions::EFCreateError "Cannot create file <name>" when the file cannot be made, is not
/// a regular file, may not be written by this process (a read-only file is not replaced), or is held
/// by another open; and Exceptions::EWriteError "Stream write error" when a write falls short.
ZQ_EXPORT void WriteWithCheckSum(const QString& FileName, const void* Data, std::size_t Size);

/// Fills the buffer from the file and verifies the checksum. On failure the buffer keeps what was
/// read. Raises Exceptions::EFOpenError "Cannot open file <name>" when the file cannot be opened or is
/// held by another open, Exceptions::EReadError "Stream read error" when it holds fewer than
/// Size + 4 bytes, also when another program cuts it short during the read, and
/// Exceptions::EReadError with a message ending in the file's name when the checksum does not match.
ZQ_EXPORT void ReadWithCheckSum(const QString& FileName, void* Data, std::size_t Size);
