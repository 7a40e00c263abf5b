#pragma once
// A file stream whose reads and writes return system error codes instead of raising, and the plain
// synchronous file copy built on it.

#include "Errors.h"
#include "SafeFormat.h"

#include "platform/FileSystem.h"

#include <cstdint>

// Open modes: the low byte is the access and sharing mode, a high byte of 0xFF means "create".
inline constexpr unsigned fmOpenRead = 0x0000;
inline constexpr unsigned fmOpenWrite = 0x0001;
inline constexpr unsigned fmOpenReadWrite = 0x0002;
inline constexpr unsigned fmShareCompat = 0x0000;
inline constexpr unsigned fmShareExclusive = 0x0010;
inline constexpr unsigned fmShareDenyWrite = 0x0020;
inline constexpr unsigned fmShareDenyRead = 0x0030;
inline constexpr unsigned fmShareDenyNone = 0x0040;
inline constexpr unsigned fmCreate = 0xFF00;
inline constexpr unsigned fmExclusive = 0x00FF; // with fmCreate: no sharing at all

// The block size of the suite's file copies.
inline constexpr qint64 DefaultCopyBlockSize = 262144;

class EExtFileStreamError : public EInOutError
{
public:
    EExtFileStreamError(const QString& Message, int Error) : EInOutError(Message, Error) {}
    // The message is the translation of ResString formatted with Args.
    static EExtFileStreamError CreateResFmt(const char* ResString, std::initializer_list<TFormatArg> Args,
                                            int Error);
};

class ECopyError : public EExtFileStreamError
{
public:
    using EExtFileStreamError::EExtFileStreamError;
};

class TExtFileStream
{
public:
    // Raises EExtFileStreamError when the file cannot be opened or created. Rights are permission
    // bits for a created file (0: the default).
    TExtFileStream(const QString& AFileName, unsigned Mode, unsigned Rights = 0);
    virtual ~TExtFileStream() = default;
    TExtFileStream(const TExtFileStream&) = delete;
    TExtFileStream& operator=(const TExtFileStream&) = delete;

    // Reads up to Count bytes; 0, or the system error code (then ReadCount is negative).
    int Read(void* Buffer, qint64 Count, qint64& ReadCount);
    // Writes Count bytes; a short write is no error here, callers compare WriteCount with Count.
    int Write(const void* Buffer, qint64 Count, qint64& WriteCount);
    int Seek(qint64 Position) { return FFile.Seek(Position); }
    qint64 Size() const;
    // Closes the file; the code of a failed close (a write that the system did only then).
    int Close() { return FFile.Close(); }

    const QString& FileName() const { return FFileName; }
    Platform::TFile& File() { return FFile; }

protected:
    Platform::TFile FFile;
    QString FFileName;
};

// Copies Source to Dest in blocks, for side streams of a file; returns a system error code.
// Equal names do nothing.
int CopyFileBlocks(const QString& SourceName, const QString& DestName,
                   qint64 BlockSize = DefaultCopyBlockSize);

// Copies Source to Dest with its last-write time and with Attributes (negative: the source's).
// Raises ECopyError, naming the file that failed. Equal names (or two names of one file) do nothing.
void CopyFileWithAttributes(const QString& SourceName, const QString& DestName, std::int64_t Attributes = -1,
                            qint64 BlockSize = DefaultCopyBlockSize);
