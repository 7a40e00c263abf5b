#pragma once
// The destination stream of the copy threads: created new or replacing, writes that raise.

#include "base/Errors.h"

#include "platform/FileSystem.h"

#include <cstdint>

// Creation flags of a destination, with the values the suite passes around.
inline constexpr std::uint32_t FILE_FLAG_WRITE_THROUGH = 0x80000000;
inline constexpr std::uint32_t FILE_FLAG_SEQUENTIAL_SCAN = 0x08000000;
inline constexpr std::uint32_t FILE_ATTRIBUTE_NORMAL = 0x00000080;

class EWriteFileStreamError : public EInOutError
{
public:
    // The message is the system error text of ECode.
    explicit EWriteFileStreamError(int ECode);
    int FCode() const { return ErrorCode(); }
};

class TWriteFileStream
{
public:
    // Creates AFileName; with Overwrite an existing file is replaced, without it the creation fails.
    // WriteMode holds the FILE_FLAG_ values. The host has no sharing modes; ShareMode is ignored.
    TWriteFileStream(const QString& AFileName, bool Overwrite, std::uint32_t WriteMode,
                     std::uint32_t ShareMode = 0);

    // Writes up to Count bytes and returns how many were written; raises EWriteFileStreamError.
    qint64 Write(const void* Buffer, qint64 Count);
    // A direct read through the handle; false on failure.
    bool FileRead(void* Buffer, qint64 Count, qint64& NRead);
    int Seek(qint64 Position) { return FFile.Seek(Position); }
    int Flush() { return FFile.Flush(); }
    int Close() { return FFile.Close(); }
    const QString& FileName() const { return FFile.Name(); }
    Platform::TFile& File() { return FFile; }

private:
    Platform::TFile FFile;
};
