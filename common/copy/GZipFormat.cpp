#include "GZipFormat.h"

#include "DeviceIo.h"

#include "base/CodePages.h"

#include <QtEndian>

#include <algorithm>

namespace {

constexpr quint8 GZipFlagHeaderCrc = 0x02;
constexpr quint8 GZipFlagComment = 0x10;
constexpr quint8 OsFat = 0;   // name in the Windows code page
constexpr quint8 OsUtf8 = 11; // name in UTF-8

// Seconds since 1970 as the header holds them; 0 (no time) outside what 32 bits can hold.
quint32 UnixTime(Platform::TFileTime Time)
{
    std::int64_t seconds = 0;
    std::int64_t nanoseconds = 0;
    Platform::FileTimeToUnix(Time, seconds, nanoseconds);
    return seconds < 0 || seconds > 0xFFFFFFFFLL ? 0 : quint32(seconds);
}

} // namespace

QByteArray GZipHeader(const QString& Name, int KeyMode, Platform::TFileTime LastWriteTime)
{
    QByteArray name;
    bool utf8 = false;
    const bool latin = std::all_of(Name.begin(), Name.end(), [](QChar C) { return C.unicode() < 0x100; });
    if (!Name.isEmpty() && !(latin && ToAnsi(Name, name))) {
        // Also the few characters below U+0100 without a byte in the code page: UTF-8 keeps them.
        name = Name.toUtf8();
        utf8 = true;
    }
    // A NUL would end the stored name early.
    name.truncate(name.indexOf('\0') < 0 ? name.size() : name.indexOf('\0'));

    QByteArray h;
    h.reserve(38 + name.size() + 1);
    h.append('\x1F').append('\x8B').append('\x08');
    h.append(char(GZipFlagExtra | (name.isEmpty() ? 0 : GZipFlagName) | (KeyMode ? GZipFlagEncrypted : 0)));
    PutLE<quint32>(h, UnixTime(LastWriteTime));
    h.append('\0').append(char(utf8 ? OsUtf8 : OsFat));
    PutLE<quint16>(h, KeyMode ? 26 : 20);
    h.append('\x01').append('\0');
    PutLE<quint16>(h, 16);
    PutLE<quint64>(h, 0);
    PutLE<quint64>(h, 0);
    if (KeyMode) {
        h.append("XQ", 2);
        PutLE<quint16>(h, 2);
        PutLE<quint16>(h, quint16(KeyMode));
    }
    if (!name.isEmpty()) h.append(name).append('\0');
    return h;
}

QByteArray GZipSizes(qint64 StoredSize, qint64 UncompressedSize)
{
    QByteArray s;
    PutLE<quint64>(s, quint64(StoredSize));
    PutLE<quint64>(s, quint64(UncompressedSize));
    return s;
}

QByteArray GZipTrailer(quint32 Crc, qint64 UncompressedSize)
{
    QByteArray t;
    PutLE<quint32>(t, Crc);
    PutLE<quint32>(t, quint32(quint64(UncompressedSize) & 0xFFFFFFFFu));
    return t;
}

TGZipParse ParseGZipHeader(QByteArrayView Bytes, qint64 FileSize, TGZipInfo& Info)
{
    Info = {};
    const char* b = Bytes.data();
    const qsizetype n = Bytes.size();
    if (n < 10)
        return n >= 2 && (uchar(b[0]) != 0x1F || uchar(b[1]) != 0x8B) ? TGZipParse::BadMagic
                                                                      : TGZipParse::Unreadable;
    if (uchar(b[0]) != 0x1F || uchar(b[1]) != 0x8B) return TGZipParse::BadMagic;
    const quint8 flags = quint8(b[3]);
    const quint8 os = quint8(b[9]);
    qsizetype pos = 10;

    int keyMode = 0;
    if (flags & GZipFlagExtra) {
        if (n < pos + 2) return TGZipParse::Unreadable;
        const qsizetype extraLength = GetLE<quint16>(b + pos);
        pos += 2;
        if (n < pos + extraLength) return TGZipParse::Unreadable;
        const qsizetype extraEnd = pos + extraLength;
        // Subfields: identifier (2), length (2), data; a rest too short for a subfield head is skipped.
        for (qsizetype p = pos; p + 4 <= extraEnd;) {
            const quint16 length = GetLE<quint16>(b + p + 2);
            const char* data = b + p + 4;
            if (p + 4 + length > extraEnd) break;
            if (b[p] == '\x01' && b[p + 1] == '\0' && length >= 16) {
                Info.HasSizes = true;
                Info.StoredSize = qint64(GetLE<quint64>(data));
                Info.UncompressedSize = qint64(GetLE<quint64>(data + 8));
            } else if (b[p] == 'X' && b[p + 1] == 'Q' && length >= 2) {
                keyMode = GetLE<quint16>(data);
            }
            p += 4 + length;
        }
        pos = extraEnd;
    }
    if (flags & GZipFlagName) {
        const qsizetype end = Bytes.sliced(pos).indexOf('\0');
        if (end < 0) return TGZipParse::Unreadable;
        const QByteArrayView name = Bytes.sliced(pos, end);
        Info.Name = os != OsFat ? QString::fromUtf8(name) : FromAnsi(name);
        pos += end + 1;
    }
    if (flags & GZipFlagComment) {
        const qsizetype end = Bytes.sliced(pos).indexOf('\0');
        if (end < 0) return TGZipParse::Unreadable;
        pos += end + 1;
    }
    if (flags & GZipFlagHeaderCrc) pos += 2;
    if (pos > n || pos + GZipTrailerSize > FileSize) return TGZipParse::Unreadable;

    Info.KeyMode = flags & GZipFlagEncrypted ? keyMode : 0;
    Info.DataOffset = pos;
    if (!Info.HasSizes) Info.StoredSize = FileSize - pos - GZipTrailerSize;
    // Sizes from a damaged or foreign header must not lead a reader beyond the file.
    if (Info.StoredSize < 0 || Info.StoredSize > FileSize - pos || Info.UncompressedSize < 0)
        return TGZipParse::Unreadable;
    return TGZipParse::Ok;
}
