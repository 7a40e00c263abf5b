#pragma once
// Whole reads and writes on a QIODevice, and the little-endian numbers of the file formats.

#include <QByteArray>
#include <QIODevice>
#include <QtEndian>

// Reads until Count bytes are in or the source ends; a short read of a pipe is not its end.
// The number read, or -1 when the device failed (also after part of the bytes came in).
qint64 ReadFull(QIODevice& Source, char* Buffer, qint64 Count);
// Writes all Count bytes; false when the device took fewer.
bool WriteFull(QIODevice& Dest, const char* Buffer, qint64 Count);

// Appends Value as a little-endian number of its width.
template <typename T> void PutLE(QByteArray& Bytes, T Value)
{
    char le[sizeof(T)];
    qToLittleEndian(Value, le);
    Bytes.append(le, sizeof(T));
}

template <typename T> T GetLE(const char* Data)
{
    return qFromLittleEndian<T>(Data);
}
