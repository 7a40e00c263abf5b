#include "ZipFormat.h"

#include "DeviceIo.h"

#include "base/CodePages.h"

#include <QDateTime>
#include <QtEndian>

#include <algorithm>
#include <array>

namespace {

constexpr quint32 LocalSignature = 0x04034B50;
constexpr quint32 CentralSignature = 0x02014B50;
constexpr quint32 Zip64EndSignature = 0x06064B50;
constexpr quint32 Zip64LocatorSignature = 0x07064B50;
constexpr quint32 EndSignature = 0x06054B50;
constexpr quint16 Zip64FieldId = 0x0001;
constexpr quint16 AesFieldId = 0x9901;
constexpr quint32 Marker32 = 0xFFFFFFFFu;

constexpr quint16 FlagEncrypted = 0x0001;
constexpr quint16 FlagDeflateOption = 0x0002;
constexpr quint16 FlagAlways = 0x0080;
constexpr quint16 FlagUtf8 = 0x0800;

// Windows-1252 bytes 0x80..0xFF to code page 437; 0x20: no equivalent.
constexpr uchar Cp437FromAnsi[128] = {
    0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, //
    0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, //
    0x20, 0xAD, 0x9B, 0x9C, 0x20, 0x9D, 0x20, 0x15, 0x20, 0x20, 0x20, 0xAE, 0xAA, 0x20, 0x20, 0x20, //
    0xF8, 0xF1, 0xFD, 0x20, 0x20, 0xE6, 0x14, 0x20, 0x20, 0x20, 0x20, 0xAF, 0xAC, 0xAB, 0x20, 0xA8, //
    0x20, 0x20, 0x20, 0x20, 0x8E, 0x8F, 0x92, 0x80, 0x20, 0x90, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, //
    0x20, 0xA5, 0x20, 0x20, 0x20, 0x20, 0x99, 0x20, 0x20, 0x20, 0x20, 0x20, 0x9A, 0x20, 0x20, 0xE1, //
    0x85, 0x20, 0x83, 0x20, 0x84, 0x86, 0x91, 0x87, 0x8A, 0x82, 0x88, 0x89, 0x8D, 0xA1, 0x8C, 0x8B, //
    0x20, 0xA4, 0x95, 0xA2, 0x93, 0x20, 0x94, 0xF6, 0x20, 0x97, 0xA3, 0x96, 0x81, 0x20, 0x20, 0x98, //
};

// Code page 437 bytes 0x80..0xFF, for names written by other programs.
constexpr char16_t Cp437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE,
    0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6,
    0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA,
    0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514,
    0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
    0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C,
    0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320,
    0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

quint32 Clip32(qint64 Size)
{
    return quint64(Size) >= Marker32 ? Marker32 : quint32(Size);
}

quint16 VersionNeeded(const TZipEntry& E)
{
    return E.Encrypted() ? 51 : E.Zip64() ? 45 : 20;
}

quint16 Flags(const TZipEntry& E, bool Utf8)
{
    quint16 flags = FlagAlways;
    if (Utf8) flags |= FlagUtf8;
    if (E.Encrypted())
        flags |= FlagEncrypted;
    else if (E.Deflated)
        flags |= FlagDeflateOption;
    return flags;
}

quint16 Method(const TZipEntry& E)
{
    return E.Encrypted() ? ZipMethodAes : E.Deflated ? ZipMethodDeflated : ZipMethodStored;
}

quint32 StoredCrc(const TZipEntry& E)
{
    return E.Encrypted() && E.AesVendorVersion() == 2 ? 0 : E.Crc;
}

void PutAesField(QByteArray& Bytes, const TZipEntry& E)
{
    PutLE<quint16>(Bytes, AesFieldId);
    PutLE<quint16>(Bytes, 7);
    PutLE<quint16>(Bytes, quint16(E.AesVendorVersion()));
    Bytes.append("AE", 2);
    Bytes.append(char(E.KeyMode));
    PutLE<quint16>(Bytes, E.Deflated ? ZipMethodDeflated : ZipMethodStored);
}

} // namespace

QByteArray ZipEncodeName(const QString& Name, bool& Utf8)
{
    QByteArray bytes;
    const bool latin = std::all_of(Name.begin(), Name.end(), [](QChar C) { return C.unicode() < 0x100; });
    if (latin && ToAnsi(Name, bytes)) {
        bool mapped = true;
        for (char& c : bytes) {
            const uchar b = uchar(c);
            if (b < 0x80) continue;
            if (Cp437FromAnsi[b - 0x80] < 0x21) {
                mapped = false;
                break;
            }
            c = char(Cp437FromAnsi[b - 0x80]);
        }
        if (mapped) {
            Utf8 = false;
            return bytes;
        }
    }
    Utf8 = true;
    return Name.toUtf8();
}

QString ZipDecodeName(QByteArrayView Bytes, bool Utf8)
{
    if (Utf8) return QString::fromUtf8(Bytes);
    // Back through the suite's table first (it also holds two bytes below 0x80), then plain 437.
    static const auto inverse = [] {
        std::array<char16_t, 256> table{};
        for (int i = 0; i < 256; ++i)
            table[size_t(i)] = i < 0x80 ? char16_t(i) : Cp437High[i - 0x80];
        for (int a = 0; a < 128; ++a) {
            const uchar c = Cp437FromAnsi[a];
            if (c >= 0x21) table[c] = FromAnsi(QByteArrayView(QByteArray(1, char(0x80 + a))))[0].unicode();
        }
        return table;
    }();
    QString name(Bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < Bytes.size(); ++i)
        name[i] = QChar(inverse[uchar(Bytes[i])]);
    return name;
}

quint32 ZipDosTime(Platform::TFileTime Time)
{
    const QDateTime utc = Platform::FileTimeToDateTime(Time);
    if (!utc.isValid()) return Marker32;
    const QDateTime local = utc.toLocalTime();
    const QDate d = local.date();
    const QTime t = local.time();
    if (d.year() < 1980 || d.year() > 2107) return Marker32;
    const quint32 date = quint32((d.year() - 1980) << 9 | d.month() << 5 | d.day());
    const quint32 time = quint32(t.hour() << 11 | t.minute() << 5 | t.second() / 2);
    return date << 16 | time;
}

QByteArray ZipLocalHeader(const TZipEntry& E)
{
    bool utf8 = false;
    const QByteArray name = ZipEncodeName(E.Name, utf8);
    const quint16 extra = quint16((E.Zip64() ? 20 : 0) + (E.Encrypted() ? 11 : 0));
    QByteArray h;
    h.reserve(30 + name.size() + extra);
    PutLE<quint32>(h, LocalSignature);
    PutLE<quint16>(h, VersionNeeded(E));
    PutLE<quint16>(h, Flags(E, utf8));
    PutLE<quint16>(h, Method(E));
    PutLE<quint32>(h, E.DosTime);
    PutLE<quint32>(h, StoredCrc(E));
    PutLE<quint32>(h, E.Zip64() ? Marker32 : quint32(E.StoredSize));
    PutLE<quint32>(h, E.Zip64() ? Marker32 : quint32(E.UncompressedSize));
    PutLE<quint16>(h, quint16(name.size()));
    PutLE<quint16>(h, extra);
    h.append(name);
    if (E.Zip64()) {
        PutLE<quint16>(h, Zip64FieldId);
        PutLE<quint16>(h, 16);
        PutLE<quint64>(h, quint64(E.UncompressedSize));
        PutLE<quint64>(h, quint64(E.StoredSize));
    }
    if (E.Encrypted()) PutAesField(h, E);
    return h;
}

QByteArray ZipCentralHeader(const TZipEntry& E)
{
    bool utf8 = false;
    const QByteArray name = ZipEncodeName(E.Name, utf8);
    // Only the sizes that do not fit get a place in the Zip64 field. A size of exactly 0xFFFFFFFF
    // is the marker itself, so it does not fit either.
    QByteArray zip64;
    if (E.Zip64()) {
        if (Clip32(E.UncompressedSize) == Marker32) PutLE<quint64>(zip64, quint64(E.UncompressedSize));
        if (Clip32(E.StoredSize) == Marker32) PutLE<quint64>(zip64, quint64(E.StoredSize));
    }
    const quint16 extra = quint16((E.Zip64() ? 4 + zip64.size() : 0) + (E.Encrypted() ? 11 : 0));
    QByteArray h;
    h.reserve(46 + name.size() + extra);
    PutLE<quint32>(h, CentralSignature);
    PutLE<quint16>(h, VersionNeeded(E)); // made by: the same number, upper byte 0
    PutLE<quint16>(h, VersionNeeded(E));
    PutLE<quint16>(h, Flags(E, utf8));
    PutLE<quint16>(h, Method(E));
    PutLE<quint32>(h, E.DosTime);
    PutLE<quint32>(h, StoredCrc(E));
    PutLE<quint32>(h, Clip32(E.StoredSize));
    PutLE<quint32>(h, Clip32(E.UncompressedSize));
    PutLE<quint16>(h, quint16(name.size()));
    PutLE<quint16>(h, extra);
    PutLE<quint16>(h, 0); // comment
    PutLE<quint16>(h, 0); // disk
    PutLE<quint16>(h, 0); // internal attributes
    PutLE<quint32>(h, E.Attributes);
    PutLE<quint32>(h, 0); // the local header's offset
    h.append(name);
    if (E.Zip64()) {
        PutLE<quint16>(h, Zip64FieldId);
        PutLE<quint16>(h, quint16(zip64.size()));
        h.append(zip64);
    }
    if (E.Encrypted()) PutAesField(h, E);
    return h;
}

QByteArray ZipEndRecords(qint64 DirectoryOffset, qint64 DirectorySize)
{
    QByteArray r;
    const qint64 zip64Offset = DirectoryOffset + DirectorySize;
    const bool zip64 = zip64Offset >= 0x100000000LL;
    if (zip64) {
        PutLE<quint32>(r, Zip64EndSignature);
        PutLE<quint64>(r, 44);
        PutLE<quint16>(r, 45);
        PutLE<quint16>(r, 45);
        PutLE<quint32>(r, 0);
        PutLE<quint32>(r, 0);
        PutLE<quint64>(r, 1);
        PutLE<quint64>(r, 1);
        PutLE<quint64>(r, quint64(DirectorySize));
        PutLE<quint64>(r, quint64(DirectoryOffset));
        PutLE<quint32>(r, Zip64LocatorSignature);
        PutLE<quint32>(r, 0);
        PutLE<quint64>(r, quint64(zip64Offset));
        PutLE<quint32>(r, 1);
    }
    PutLE<quint32>(r, EndSignature);
    PutLE<quint16>(r, 0);
    PutLE<quint16>(r, 0);
    PutLE<quint16>(r, 1);
    PutLE<quint16>(r, 1);
    PutLE<quint32>(r, Clip32(DirectorySize));
    PutLE<quint32>(r, zip64 ? Marker32 : quint32(DirectoryOffset));
    PutLE<quint16>(r, 0);
    return r;
}

TZipParse ParseZipLocalHeader(QByteArrayView Bytes, TZipLocalInfo& Info)
{
    Info = {};
    const char* b = Bytes.data();
    if (Bytes.size() >= 4 && GetLE<quint32>(b) != LocalSignature) return TZipParse::BadSignature;
    if (Bytes.size() < 30) return TZipParse::Unreadable;
    Info.Flags = GetLE<quint16>(b + 6);
    Info.Method = GetLE<quint16>(b + 8);
    Info.Crc = GetLE<quint32>(b + 14);
    const quint32 stored = GetLE<quint32>(b + 18);
    const quint32 uncompressed = GetLE<quint32>(b + 22);
    Info.StoredSize = stored;
    Info.UncompressedSize = uncompressed;
    const qsizetype nameLength = GetLE<quint16>(b + 26);
    const qsizetype extraLength = GetLE<quint16>(b + 28);
    if (Bytes.size() < 30 + nameLength + extraLength) return TZipParse::Unreadable;
    Info.Name = ZipDecodeName(Bytes.sliced(30, nameLength), Info.Flags & FlagUtf8);

    const qsizetype extraEnd = 30 + nameLength + extraLength;
    for (qsizetype p = 30 + nameLength; p + 4 <= extraEnd;) {
        const quint16 id = GetLE<quint16>(b + p);
        const qsizetype length = GetLE<quint16>(b + p + 2);
        const char* data = b + p + 4;
        if (p + 4 + length > extraEnd) break;
        if (id == Zip64FieldId) {
            qsizetype at = 0;
            if (uncompressed == Marker32 && at + 8 <= length) {
                Info.UncompressedSize = qint64(GetLE<quint64>(data + at));
                at += 8;
            }
            if (stored == Marker32 && at + 8 <= length) Info.StoredSize = qint64(GetLE<quint64>(data + at));
        } else if (id == AesFieldId && length >= 5) {
            Info.KeyStrength = uchar(data[4]);
        }
        p += 4 + length;
    }
    if (Info.StoredSize < 0 || Info.UncompressedSize < 0) return TZipParse::Unreadable;
    Info.DataOffset = extraEnd;
    return TZipParse::Ok;
}
