#pragma once

#include <QString>

#include <cstdint>
#include <functional>

// How others may use a file while it is open here. Advisory locks stand in for share modes:
// a file opened without sharing holds an exclusive lock, one opened with sharing a shared lock,
// and an open that the locks of others refuse fails.
enum class TShareMode { Exclusive, DenyNone };

enum class TFileAccess { Read, ReadWrite };

// A file opened for one operation and closed by the destructor in every case.
class TFileStream {
public:
    // Opens an existing file; raises EFOpenError "Cannot open file <name>".
    static TFileStream Open(const QString& FileName, TFileAccess Access, TShareMode Share);

    TFileStream(TFileStream&& Other) noexcept;
    TFileStream& operator=(TFileStream&&) = delete;
    ~TFileStream();

    // As many bytes as the file still holds, up to Count.
    std::int64_t Read(void* Buffer, std::int64_t Count);
    std::int64_t Write(const void* Buffer, std::int64_t Count);
    // Exactly Count bytes, or EReadError "Stream read error" / EWriteError "Stream write error".
    void ReadBuffer(void* Buffer, std::int64_t Count);
    void WriteBuffer(const void* Buffer, std::int64_t Count);
    // Hands what was written to the disk.
    void Flush();

private:
    explicit TFileStream(int Handle) : FHandle(Handle) {}
    friend void ReplaceFile(const QString&, const std::function<void(TFileStream&)>&, bool);

    int FHandle;
};

// Creates a file anew with the given content: the content goes to a new file in the same folder,
// which replaces the old one by a rename only once it is complete (and, with Durable, on disk).
// A failed write therefore leaves the old file as it was. Raises EFCreateError "Cannot create
// file <name>" when the new file cannot be made or the old one is held by another open, and the
// write errors of TFileStream.
void ReplaceFile(const QString& FileName, const std::function<void(TFileStream&)>& Write, bool Durable = true);
