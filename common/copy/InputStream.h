#pragma once
// The data of a source that is not a plain file (an object on a portable device): read front to
// back, with a known size, and committed when the copy is done. Device back ends implement it.

#include <QString>
#include <QtGlobal>

#include <memory>

class IInputStream
{
public:
    virtual ~IInputStream() = default;
    // Reads up to Count bytes; Done is the number read (fewer is allowed, 0 at the end).
    // The result is 0 or a system error code.
    virtual int Read(void* Buffer, qint64 Count, qint64& Done) = 0;
    virtual int Size(qint64& Bytes) = 0;
    // Tells the source that the copy is done with it; 0 or a system error code.
    virtual int Commit() = 0;
};

// A stream on a file, for sources that are handed over as streams.
std::shared_ptr<IInputStream> OpenFileInputStream(const QString& FileName, int& Error);
