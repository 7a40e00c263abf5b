#pragma once
// The gzip files of the suite: one member of raw deflate data, with a subfield holding both sizes
// as 64-bit numbers and, for encrypted data, a subfield with the key mode. The builders give the
// exact bytes; the copy threads write them and patch the sizes once the data is out.

#include "platform/FileTime.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

inline constexpr quint8 GZipFlagExtra = 0x04;
inline constexpr quint8 GZipFlagName = 0x08;
inline constexpr quint8 GZipFlagEncrypted = 0x20;
// Where the stored and the uncompressed size (8 bytes each) sit in a header we wrote.
inline constexpr qint64 GZipSizesOffset = 16;
inline constexpr qint64 GZipTrailerSize = 8;

// The header up to the data part. KeyMode 0: not encrypted, else 1..3 (AES-128/192/256).
// The name is stored in the Windows code page when it can be, else in UTF-8 (system byte 11).
// The sizes are left 0, for GZipSizes to fill in.
QByteArray GZipHeader(const QString& Name, int KeyMode, Platform::TFileTime LastWriteTime);
// The 16 bytes at GZipSizesOffset.
QByteArray GZipSizes(qint64 StoredSize, qint64 UncompressedSize);
// The trailer: CRC-32 (0 for encrypted data) and the uncompressed size modulo 2^32.
QByteArray GZipTrailer(quint32 Crc, qint64 UncompressedSize);

struct TGZipInfo
{
    QString Name;
    int KeyMode = 0;             // 0: not encrypted
    bool HasSizes = false;       // the header held our size subfield
    qint64 StoredSize = 0;       // without the subfield: the rest of the file without the trailer
    qint64 UncompressedSize = 0; // without the subfield: 0, the caller reads it from the trailer
    qint64 DataOffset = 0;
};

enum class TGZipParse
{
    Ok,
    BadMagic,   // not a gzip file
    Unreadable, // the header ends beyond the bytes given or is inconsistent
};

// Reads the header at the start of Bytes, the first bytes of a file of FileSize bytes.
TGZipParse ParseGZipHeader(QByteArrayView Bytes, qint64 FileSize, TGZipInfo& Info);
