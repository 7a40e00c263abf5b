#pragma once
// The one-file zip archives of the suite: a local header, the data of the one entry (no data
// descriptor), its central directory header and the end records, with Zip64 and WinZip-AES extra
// fields. The builders give the exact bytes; the copy threads write them around the data.

#include "platform/FileTime.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Above this source size the entry carries Zip64 sizes.
inline constexpr qint64 Zip64Threshold = 0xFF000000LL;
// Sources below this size get vendor version 2 (no CRC) when encrypted.
inline constexpr qint64 ZipAe2Below = 20;

inline constexpr quint16 ZipMethodStored = 0;
inline constexpr quint16 ZipMethodDeflated = 8;
inline constexpr quint16 ZipMethodAes = 99;

struct TZipEntry
{
    QString Name;           // the source's file name, without folder
    quint32 DosTime = 0;    // see ZipDosTime
    quint16 Attributes = 0; // the source's attribute bits
    qint64 SourceSize = 0;  // decides Zip64 and the vendor version
    bool Deflated = false;  // the data (before encryption) is deflated
    int KeyMode = 0;        // 0: not encrypted, else 1..3
    quint32 Crc = 0;
    qint64 StoredSize = 0;
    qint64 UncompressedSize = 0;

    bool Zip64() const { return SourceSize > Zip64Threshold; }
    bool Encrypted() const { return KeyMode != 0; }
    // 2 for small encrypted sources: their CRC is not stored.
    int AesVendorVersion() const { return SourceSize < ZipAe2Below ? 2 : 1; }
};

// The name as stored: code page 437 through the suite's table when every character has a place
// there, else UTF-8 (then Utf8 is set, flag 0x0800).
QByteArray ZipEncodeName(const QString& Name, bool& Utf8);
QString ZipDecodeName(QByteArrayView Bytes, bool Utf8);
// A file time as MS-DOS date (high word) and time (low word) in local time; 0xFFFFFFFF when it
// has no such form (before 1980 or after 2107).
quint32 ZipDosTime(Platform::TFileTime Time);

// The local header with name and extra fields; written before the data with the sizes and CRC
// still 0, and again over the same bytes once they are known.
QByteArray ZipLocalHeader(const TZipEntry& Entry);
// The central directory header with name and extra fields (the local header is at offset 0).
QByteArray ZipCentralHeader(const TZipEntry& Entry);
// The end records for a central directory of DirectorySize bytes at DirectoryOffset: a Zip64
// record and locator when the directory ends at 4 GiB or beyond, then the end record.
QByteArray ZipEndRecords(qint64 DirectoryOffset, qint64 DirectorySize);

struct TZipLocalInfo
{
    QString Name;
    quint16 Flags = 0;
    quint16 Method = 0;
    quint32 Crc = 0;
    qint64 StoredSize = 0;
    qint64 UncompressedSize = 0;
    int KeyStrength = 0; // from the AES field; 0 when there is none
    qint64 DataOffset = 0;
};

enum class TZipParse
{
    Ok,
    BadSignature,
    Unreadable, // the header ends beyond the bytes given
};

// The longest local header: the fixed part, a name and extra fields of the largest sizes.
inline constexpr qint64 ZipMaxLocalHeader = 30 + 0xFFFF + 0xFFFF;
// Reads the local header at the start of Bytes.
TZipParse ParseZipLocalHeader(QByteArrayView Bytes, TZipLocalInfo& Info);
