#include "CodePages.h"

namespace {

// Bytes 0x80..0x9F of Windows-1252.
constexpr char16_t Cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

} // namespace

QString FromAnsi(QByteArrayView Bytes)
{
    const qsizetype count = Bytes.size();
    QString text(count, Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    const auto* in = reinterpret_cast<const uchar*>(Bytes.data());
    for (qsizetype i = 0; i < count; ++i) {
        const uchar b = in[i];
        out[i] = b >= 0x80 && b < 0xA0 ? Cp1252High[b - 0x80] : char16_t(b);
    }
    return text;
}

bool ToAnsi(QStringView Text, QByteArray& Bytes)
{
    Bytes.resize(Text.size());
    char* out = Bytes.data();
    for (qsizetype i = 0; i < Text.size(); ++i) {
        const char16_t c = Text[i].unicode();
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out[i] = char(c);
            continue;
        }
        int b = 0;
        while (b < 32 && Cp1252High[b] != c)
            ++b;
        if (b == 32) return false;
        out[i] = char(0x80 + b);
    }
    return true;
}
