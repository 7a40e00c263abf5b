#include "MemIniFile.h"

#include "BlockPool.h"
#include "CodePages.h"
#include "Errors.h"
#include "SafeFormat.h"
#include "Translate.h"
#include "platform/FileSystem.h"
#include "platform/Memory.h"

#include <QSaveFile>
#include <QStringDecoder>
#include <QSysInfo>

#include <cstring>
#include <iterator>
#include <limits>
#include <type_traits>
#include <vector>

namespace {

// ---- names without regard to case ---------------------------------------------------------------

// The next code point of S from I on, case-folded; I moves past it. Hashing and comparing both go
// through here, so names that compare equal always hash equal.
inline char32_t FoldedAt(QStringView S, qsizetype& I)
{
    const char16_t c = S[I++].unicode();
    if (c < 0x80) return c >= u'A' && c <= u'Z' ? char32_t(c + 32) : char32_t(c);
    if (QChar::isHighSurrogate(c) && I < S.size() && QChar::isLowSurrogate(S[I].unicode()))
        return QChar::toCaseFolded(QChar::surrogateToUcs4(c, S[I++].unicode()));
    return QChar::toCaseFolded(char32_t(c));
}

std::uint32_t NameHash(QStringView S)
{
    // Three folded code points (21 bits each) per multiplication: names are short, and the chain
    // of multiplications is what a hash of them costs.
    constexpr std::uint64_t Prime = 0x100000001b3ULL;
    const char16_t* p = reinterpret_cast<const char16_t*>(S.data());
    const qsizetype n = S.size();
    std::uint64_t h = 0xcbf29ce484222325ULL;
    std::uint64_t group = 0;
    int count = 0;
    for (qsizetype i = 0; i < n;) {
        char32_t c = p[i];
        if (c < 0x80) {
            c += c - u'A' < 26u ? 32 : 0;
            ++i;
        } else {
            c = FoldedAt(S, i);
        }
        group = group << 21 | c;
        if (++count == 3) {
            h = (h ^ group) * Prime;
            group = 0;
            count = 0;
        }
    }
    h = (h ^ group ^ std::uint64_t(count) << 63) * Prime;
    h ^= h >> 33; // the low bits pick the slot: let every bit reach them
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    return static_cast<std::uint32_t>(h);
}

bool SameName(QStringView A, QStringView B)
{
    if (A.size() == B.size() && std::memcmp(A.data(), B.data(), size_t(A.size()) * sizeof(QChar)) == 0)
        return true;
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < A.size() && j < B.size())
        if (FoldedAt(A, i) != FoldedAt(B, j)) return false;
    return i == A.size() && j == B.size();
}

// An open-addressing table from names to positions in a list the owner keeps; the owner says
// how to get the name at a position. Removing rebuilds the table. Slots are kept small: with a
// file of many keys the table is a good part of the memory the object takes.
class TNameIndex
{
public:
    explicit TNameIndex(std::pmr::memory_resource* Memory) : FSlots(Memory) {}

    template <typename TNameOf> qsizetype Find(QStringView Name, std::uint32_t Hash, TNameOf NameOf) const
    {
        if (FSlots.empty()) return -1;
        const std::uint32_t mask = std::uint32_t(FSlots.size() - 1);
        for (std::uint32_t s = Hash & mask;; s = (s + 1) & mask) {
            const TSlot& slot = FSlots[s];
            if (slot.Index < 0) return -1;
            if (slot.Hash == Hash && SameName(NameOf(slot.Index), Name)) return slot.Index;
        }
    }

    // The name must not be in the table yet.
    void Insert(std::uint32_t Hash, qsizetype Index)
    {
        if (Full(FCount + 1)) Rehash(qMax<qsizetype>(16, qsizetype(FSlots.size()) * 2));
        Place(Hash, std::int32_t(Index));
        ++FCount;
    }

    // The position of Name, or -1 after it was added with position NewIndex: one probe for both.
    template <typename TNameOf>
    qsizetype FindOrInsert(QStringView Name, std::uint32_t Hash, TNameOf NameOf, qsizetype NewIndex)
    {
        if (Full(FCount + 1)) Rehash(qMax<qsizetype>(16, qsizetype(FSlots.size()) * 2));
        const std::uint32_t mask = std::uint32_t(FSlots.size() - 1);
        for (std::uint32_t s = Hash & mask;; s = (s + 1) & mask) {
            TSlot& slot = FSlots[s];
            if (slot.Index < 0) {
                slot = {Hash, std::int32_t(NewIndex)};
                ++FCount;
                return -1;
            }
            if (slot.Hash == Hash && SameName(NameOf(slot.Index), Name)) return slot.Index;
        }
    }

    void Clear()
    {
        FSlots.clear();
        FCount = 0;
    }

    void Reserve(qsizetype Count)
    {
        size_t size = qMax<size_t>(16, FSlots.size());
        while (qsizetype(size) < Count * 2)
            size *= 2;
        if (size > FSlots.size()) Rehash(qsizetype(size));
    }

private:
    struct TSlot
    {
        std::uint32_t Hash = 0;
        std::int32_t Index = -1;
    };
    std::pmr::vector<TSlot> FSlots;
    qsizetype FCount = 0;

    bool Full(qsizetype Count) const { return Count * 2 > qsizetype(FSlots.size()); }

    void Place(std::uint32_t Hash, std::int32_t Index)
    {
        const std::uint32_t mask = std::uint32_t(FSlots.size() - 1);
        std::uint32_t s = Hash & mask;
        while (FSlots[s].Index >= 0)
            s = (s + 1) & mask;
        FSlots[s] = {Hash, Index};
    }

    void Rehash(qsizetype Size)
    {
        std::pmr::vector<TSlot> old(FSlots.get_allocator());
        old.reserve(static_cast<size_t>(Size));
        Platform::PrepareForWrite(old.data(), old.capacity() * sizeof(TSlot));
        old.resize(static_cast<size_t>(Size));
        old.swap(FSlots);
        for (const TSlot& slot : old)
            if (slot.Index >= 0) Place(slot.Hash, slot.Index);
    }
};

// Appends to a vector that may grow large: each new block is made ready for writing at once.
template <typename TVector, typename T> void Append(TVector& Vector, T&& Item)
{
    if (Vector.size() == Vector.capacity()) {
        TVector grown(Vector.get_allocator());
        grown.reserve(qMax<size_t>(16, Vector.capacity() * 2));
        Platform::PrepareForWrite(grown.data(), grown.capacity() * sizeof(Item));
        std::move(Vector.begin(), Vector.end(), std::back_inserter(grown));
        Vector.swap(grown);
    }
    Vector.push_back(std::move(Item));
}

// ---- bytes and text ---------------------------------------------------------------------------------

bool HostIsLittleEndian()
{
    return QSysInfo::ByteOrder == QSysInfo::LittleEndian;
}

// Decodes Bytes as UTF-8; false when they are not valid UTF-8.
bool FromStrictUtf8(QByteArrayView Bytes, QString& Text)
{
    QStringDecoder decoder(QStringConverter::Utf8,
                           QStringConverter::Flag::ConvertInitialBom | QStringConverter::Flag::Stateless);
    Text = decoder.decode(Bytes);
    return !decoder.hasError();
}

bool HasHighBytes(const QByteArray& Bytes)
{
    for (const char c : Bytes)
        if (uchar(c) >= 0x80) return true;
    return false;
}

bool StartsWithMark(const QByteArray& Bytes)
{
    return Bytes.startsWith("\xFF\xFE") || Bytes.startsWith("\xFE\xFF") || Bytes.startsWith("\xEF\xBB\xBF");
}

QString FromUtf16(const uchar* Bytes, qsizetype Count, bool BigEndian)
{
    const qsizetype units = Count / 2; // an odd last byte is no character
    QString text(units, Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    const bool swap = BigEndian == HostIsLittleEndian();
    if (!swap) {
        std::memcpy(out, Bytes, size_t(units) * 2);
    } else {
        for (qsizetype i = 0; i < units; ++i)
            out[i] = char16_t(Bytes[2 * i] << 8 | Bytes[2 * i + 1]);
    }
    return text;
}

QByteArray ToUtf16(QStringView Text, bool BigEndian)
{
    QByteArray bytes(2 + Text.size() * 2, Qt::Uninitialized);
    uchar* out = reinterpret_cast<uchar*>(bytes.data());
    out[0] = BigEndian ? 0xFE : 0xFF;
    out[1] = BigEndian ? 0xFF : 0xFE;
    const bool swap = BigEndian == HostIsLittleEndian();
    if (!swap) {
        std::memcpy(out + 2, Text.data(), size_t(Text.size()) * 2);
    } else {
        for (qsizetype i = 0; i < Text.size(); ++i) {
            const char16_t c = Text[i].unicode();
            out[2 + 2 * i] = uchar(c >> 8);
            out[3 + 2 * i] = uchar(c);
        }
    }
    return bytes;
}

// Drops NUL characters (a UTF-16 file without its mark then reads as its text) and replaces
// surrogates without their partner, so the text can be written in any encoding.
void Clean(QString& Text)
{
    auto suspect = [](char16_t C) { return C == 0 || (C & 0xF800) == 0xD800; };
    const char16_t* begin = reinterpret_cast<const char16_t*>(Text.constData());
    const qsizetype n = Text.size();
    // The usual case is a text with nothing to change: find that out in blocks the compiler can
    // test in parallel, and copy nothing.
    constexpr qsizetype Block = 32;
    qsizetype w = 0;
    for (; w + Block <= n; w += Block) {
        unsigned bad = 0;
        for (qsizetype j = 0; j < Block; ++j) {
            const unsigned c = begin[w + j];
            bad |= unsigned(c == 0) | unsigned((c & 0xF800) == 0xD800);
        }
        if (bad) break;
    }
    while (w < n && !suspect(begin[w]))
        ++w;
    if (w == n) return;
    char16_t* p = reinterpret_cast<char16_t*>(Text.data());
    for (qsizetype r = w; r < n; ++r) {
        const char16_t c = p[r];
        if (c == 0) continue;
        if (!QChar::isSurrogate(c)) {
            p[w++] = c;
        } else if (QChar::isHighSurrogate(c) && r + 1 < n && QChar::isLowSurrogate(p[r + 1])) {
            p[w++] = c;
            p[w++] = p[++r];
        } else {
            p[w++] = QChar::ReplacementCharacter;
        }
    }
    Text.truncate(w);
}

QString Decode(QByteArrayView Content, TIniEncoding& Encoding)
{
    const auto* b = reinterpret_cast<const uchar*>(Content.data());
    const qsizetype n = Content.size();
    QString text;
    if (n >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
        Encoding = TIniEncoding::Utf16LE;
        text = FromUtf16(b + 2, n - 2, false);
    } else if (n >= 2 && b[0] == 0xFE && b[1] == 0xFF) {
        Encoding = TIniEncoding::Utf16BE;
        text = FromUtf16(b + 2, n - 2, true);
    } else if (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
        Encoding = TIniEncoding::Utf8;
        FromStrictUtf8(Content.sliced(3), text); // bad sequences become U+FFFD
    } else {
        Encoding = TIniEncoding::Ansi;
        if (!FromStrictUtf8(Content, text)) text = FromAnsi(Content);
    }
    Clean(text);
    return text;
}

// The whole content of a file. The bytes land in the memory of a QString: a UTF-16 file in the
// host's byte order then becomes its own text without a copy (settings files are UTF-16LE).
bool ReadFileText(const QString& FileName, QString& Text, TIniEncoding& Encoding)
{
    Platform::TFile file;
    qint64 size = 0;
    if (file.Open(FileName, Platform::TOpenAccess::Read) != 0 || file.Size(size) != 0) return false;
    QString buffer;
    qint64 bytes = 0;
    for (;;) {
        // One byte more than the size, to see the end in the first read; more if the file grew.
        const qint64 chunk = qMax<qint64>(size - bytes + 1, 64 * 1024);
        buffer.resize(qsizetype((bytes + chunk + 1) / 2));
        Platform::PrepareForWrite(reinterpret_cast<char*>(buffer.data()) + bytes, size_t(chunk));
        qint64 done = 0;
        if (file.Read(reinterpret_cast<char*>(buffer.data()) + bytes, chunk, done) != 0) return false;
        bytes += done;
        if (done < chunk) break;
    }
    const auto* b = reinterpret_cast<const uchar*>(buffer.constData());
    const bool littleEndianMark = bytes >= 2 && b[0] == 0xFF && b[1] == 0xFE;
    if (littleEndianMark && HostIsLittleEndian()) {
        Encoding = TIniEncoding::Utf16LE;
        buffer.truncate(qsizetype(bytes / 2)); // an odd last byte is no character
        buffer.remove(0, 1);                   // the mark
        Clean(buffer);
        Text = std::move(buffer);
    } else {
        Text = Decode(QByteArrayView(reinterpret_cast<const char*>(b), qsizetype(bytes)), Encoding);
    }
    return true;
}

QByteArray Encode(const QString& Text, TIniEncoding Encoding)
{
    switch (Encoding) {
    case TIniEncoding::Utf16LE:
        return ToUtf16(Text, false);
    case TIniEncoding::Utf16BE:
        return ToUtf16(Text, true);
    case TIniEncoding::Utf8:
        return QByteArrayLiteral("\xEF\xBB\xBF") + Text.toUtf8();
    case TIniEncoding::Ansi:
        break;
    }
    // Windows-1252 as the Windows suite expects, unless a character has no byte there or the
    // bytes would read back as something else (UTF-8, or a byte-order mark in "ÿþ" or "ï»¿");
    // then UTF-8, which reads back as it was.
    QByteArray bytes;
    QString check;
    if (ToAnsi(Text, bytes) && !StartsWithMark(bytes) &&
        (!HasHighBytes(bytes) || !FromStrictUtf8(bytes, check)))
        return bytes;
    return Text.toUtf8();
}

// Trims what the suite's ini files treat as blank: control characters, the space and stray
// byte-order marks.
inline bool IsBlank(QChar C)
{
    return C.unicode() <= 0x20 || C.unicode() == 0xFEFF;
}

QStringView Trimmed(QStringView S)
{
    qsizetype b = 0;
    qsizetype e = S.size();
    while (b < e && IsBlank(S[b]))
        ++b;
    while (e > b && IsBlank(S[e - 1]))
        --e;
    return S.sliced(b, e - b);
}

// ---- numbers ----------------------------------------------------------------------------------------

template <typename U> bool ParseHex(QStringView S, U& Value)
{
    if (S.isEmpty()) return false;
    U v = 0;
    for (const QChar qc : S) {
        const char16_t c = qc.unicode();
        int d;
        if (c >= u'0' && c <= u'9')
            d = c - u'0';
        else if (c >= u'a' && c <= u'f')
            d = c - u'a' + 10;
        else if (c >= u'A' && c <= u'F')
            d = c - u'A' + 10;
        else
            return false;
        if (v > (std::numeric_limits<U>::max() >> 4)) return false;
        v = U(v << 4 | U(d));
    }
    Value = v;
    return true;
}

template <typename T> bool ParseInteger(QStringView S, T& Value)
{
    using U = std::make_unsigned_t<T>;
    U u = 0;
    if (S.size() > 2 && S[0] == u'0' && (S[1] == u'x' || S[1] == u'X')) {
        if (!ParseHex(S.sliced(2), u)) return false;
        Value = T(u);
        return true;
    }
    qsizetype i = 0;
    while (i < S.size() && (S[i] == u' ' || S[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < S.size() && (S[i] == u'+' || S[i] == u'-')) {
        negative = S[i] == u'-';
        ++i;
    }
    if (i < S.size() && S[i] == u'$') {
        if (!ParseHex(S.sliced(i + 1), u)) return false;
        Value = T(negative ? U(U(0) - u) : u);
        return true;
    }
    if (i == S.size()) return false;
    const U limit = negative ? U(U(std::numeric_limits<T>::max()) + 1) : U(std::numeric_limits<T>::max());
    for (; i < S.size(); ++i) {
        const char16_t c = S[i].unicode();
        if (c < u'0' || c > u'9') return false;
        const U d = U(c - u'0');
        if (u > (limit - d) / 10) return false;
        u = U(u * 10 + d);
    }
    Value = T(negative ? U(U(0) - u) : u);
    return true;
}

} // namespace

bool IniTextToInt(QStringView Text, int& Value)
{
    return ParseInteger(Text, Value);
}

bool IniTextToInt64(QStringView Text, qint64& Value)
{
    return ParseInteger(Text, Value);
}

// ---- the file ------------------------------------------------------------------------------------

namespace {

// A line of a section. Parsed lines share the buffer of the file's text (see Slice).
struct TIniLine
{
    QString Key;   // for a line that is no entry (a comment), its whole text
    QString Value; // null for a line that is no entry; an entry's value is never null

    bool IsEntry() const { return !Value.isNull(); }
};

// The value of an entry that has none: empty, but not null.
const QString& EmptyValue()
{
    static const QString empty = QStringLiteral("");
    return empty;
}

// Part of Text as a string that shares Text's buffer instead of copying it: loading a file makes
// no string per name and value. A string kept by a caller keeps the buffer alive; changing it
// detaches it like any shared string.
QString Slice(const QString& Text, QStringView Part)
{
    QString::DataPointer part = Text.data_ptr(); // one more reference to the buffer
    part.ptr = const_cast<char16_t*>(reinterpret_cast<const char16_t*>(Part.data()));
    part.size = Part.size();
    return QString(std::move(part));
}

struct TIniSection
{
    explicit TIniSection(std::pmr::memory_resource* Memory) : Lines(Memory), Keys(Memory) {}

    QString Name;
    std::pmr::vector<TIniLine> Lines;

    struct TKeyOf
    {
        const std::pmr::vector<TIniLine>& Lines;
        QStringView operator()(qsizetype I) const { return Lines[size_t(I)].Key; }
    };
    TKeyOf KeyOf() const { return {Lines}; }

    // Keys to the first line of each name, built on first use.
    TNameIndex Keys;
    bool KeysBuilt = false;

    qsizetype Find(QStringView Key, std::uint32_t Hash)
    {
        if (!KeysBuilt) BuildKeys();
        return Keys.Find(Key, Hash, KeyOf());
    }
    qsizetype Find(QStringView Key) { return Find(Key, NameHash(Key)); }

    // The line of Key, or -1 after the index was told that Key will be line NewIndex.
    qsizetype FindOrInsert(QStringView Key, qsizetype NewIndex)
    {
        if (!KeysBuilt) BuildKeys();
        return Keys.FindOrInsert(Key, NameHash(Key), KeyOf(), NewIndex);
    }

    void BuildKeys()
    {
        Keys.Clear();
        Keys.Reserve(qsizetype(Lines.size()));
        KeysBuilt = true;
        for (size_t i = 0; i < Lines.size(); ++i)
            if (Lines[i].IsEntry())
                Keys.FindOrInsert(Lines[i].Key, NameHash(Lines[i].Key), KeyOf(), qsizetype(i));
    }

    // Whether line I is the one that reads and writes of its key use.
    bool IsFirstOfKey(size_t I) { return Lines[I].IsEntry() && Find(Lines[I].Key) == qsizetype(I); }
};

// Receives the text of the file in pieces: into one buffer of the exact size.
struct TTextSink
{
    char16_t* Out;

    void Put(QStringView S)
    {
        std::memcpy(Out, S.data(), size_t(S.size()) * sizeof(char16_t));
        Out += S.size();
    }
    void Put(char16_t C) { *Out++ = C; }
};

// Receives the text of the file in pieces and writes it as UTF-16 in host order through a
// buffer that is reused, so saving a large file takes no copy of the whole text.
class TFileSink
{
public:
    explicit TFileSink(QIODevice& File) : FFile(File), FBuffer(64 * 1024) {}

    void Put(QStringView S)
    {
        if (FUsed + size_t(S.size()) > FBuffer.size()) {
            Flush();
            if (size_t(S.size()) > FBuffer.size()) {
                Write(S.data(), S.size());
                return;
            }
        }
        std::memcpy(FBuffer.data() + FUsed, S.data(), size_t(S.size()) * sizeof(char16_t));
        FUsed += size_t(S.size());
    }
    void Put(char16_t C)
    {
        if (FUsed == FBuffer.size()) Flush();
        FBuffer[FUsed++] = C;
    }

    // False when any write failed.
    bool Flush()
    {
        Write(FBuffer.data(), qsizetype(FUsed));
        FUsed = 0;
        return FOk;
    }

private:
    QIODevice& FFile;
    std::vector<char16_t> FBuffer;
    size_t FUsed = 0;
    bool FOk = true;

    void Write(const void* Data, qsizetype Chars)
    {
        const qint64 bytes = Chars * qint64(sizeof(char16_t));
        if (FOk && bytes > 0) FOk = FFile.write(static_cast<const char*>(Data), bytes) == bytes;
    }
};

} // namespace

struct TMemIniFile::TData
{
    TBlockPool Memory; // first, so that it outlives what it holds
    QString FileName;
    TIniEncoding Encoding = TIniEncoding::Ansi;
    QStringList Preamble; // lines before the first section
    std::vector<TIniSection> Sections;
    TNameIndex SectionIndex{&Memory};
    qsizetype LastSection = -1; // writes and reads mostly go to the same section in a row
    quint64 Changes = 0;

    qsizetype FindSection(QStringView Name)
    {
        if (LastSection >= 0 && SameName(Sections[size_t(LastSection)].Name, Name)) return LastSection;
        const qsizetype i = SectionIndex.Find(
            Name, NameHash(Name), [this](qsizetype I) { return QStringView(Sections[size_t(I)].Name); });
        if (i >= 0) LastSection = i;
        return i;
    }

    TIniSection* Section(QStringView Name)
    {
        const qsizetype i = FindSection(Name);
        return i < 0 ? nullptr : &Sections[size_t(i)];
    }

    TIniSection& AddSection(const QString& Name)
    {
        SectionIndex.Insert(NameHash(Name), qsizetype(Sections.size()));
        Sections.emplace_back(&Memory);
        Sections.back().Name = Name;
        Sections.back().KeysBuilt = true; // an empty index is complete
        LastSection = qsizetype(Sections.size()) - 1;
        return Sections.back();
    }

    TIniSection& SectionForWrite(const QString& Name)
    {
        TIniSection* s = Section(Name);
        return s ? *s : AddSection(Name);
    }

    void RebuildSectionIndex()
    {
        SectionIndex.Clear();
        LastSection = -1;
        for (size_t i = 0; i < Sections.size(); ++i)
            SectionIndex.Insert(NameHash(Sections[i].Name), qsizetype(i));
    }

    void Parse(const QString& Text);
    qsizetype TextSize() const;

    // Hands the text of the file to Sink in pieces, in order.
    template <typename TSink> void Generate(TSink& Sink) const
    {
        const QStringView crlf = u"\r\n";
        for (const QString& line : Preamble) {
            Sink.Put(line);
            Sink.Put(crlf);
        }
        if (!Preamble.isEmpty()) Sink.Put(crlf);
        for (const TIniSection& s : Sections) {
            Sink.Put(u'[');
            Sink.Put(s.Name);
            Sink.Put(u']');
            Sink.Put(crlf);
            for (const TIniLine& line : s.Lines) {
                Sink.Put(line.Key);
                if (line.IsEntry()) {
                    Sink.Put(u'=');
                    Sink.Put(line.Value);
                }
                Sink.Put(crlf);
            }
            Sink.Put(crlf);
        }
    }
};

void TMemIniFile::TData::Parse(const QString& Text)
{
    qsizetype current = -1; // the preamble
    const QStringView text(Text);
    const char16_t* p = reinterpret_cast<const char16_t*>(text.data());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        // The line ends at the next CR or LF; a CRLF leaves an empty line behind, which is dropped
        // like any other. The first "=" is noted on the way.
        qsizetype end = i;
        qsizetype eq = -1;
        for (; end < n; ++end) {
            const char16_t c = p[end];
            if (c <= u'\r' && (c == u'\r' || c == u'\n')) break;
            if (c == u'=' && eq < 0) eq = end;
        }
        const QStringView line = Trimmed(text.sliced(i, end - i));
        if (eq >= 0) eq -= line.data() - text.data(); // relative to the trimmed line
        i = end + 1;
        if (line.isEmpty()) continue;
        if (line.front() == u'[' && line.back() == u']') {
            const QStringView name = Trimmed(line.sliced(1, line.size() - 2));
            current = FindSection(name);
            if (current < 0) {
                current = qsizetype(Sections.size());
                AddSection(Slice(Text, name)).KeysBuilt = false;
            }
            continue;
        }
        if (current < 0) {
            Preamble.append(line.toString());
            continue;
        }
        TIniSection& section = Sections[size_t(current)];
        if (eq >= 0 && line.front() != u';') {
            const QStringView value = Trimmed(line.sliced(eq + 1));
            Append(section.Lines, TIniLine{Slice(Text, Trimmed(line.first(eq))),
                                           value.isEmpty() ? EmptyValue() : Slice(Text, value)});
        } else {
            Append(section.Lines, TIniLine{Slice(Text, line), QString()});
        }
    }
    LastSection = -1;
}

qsizetype TMemIniFile::TData::TextSize() const
{
    qsizetype size = 0;
    for (const QString& line : Preamble)
        size += line.size() + 2;
    if (!Preamble.isEmpty()) size += 2;
    for (const TIniSection& s : Sections) {
        size += s.Name.size() + 6;
        for (const TIniLine& line : s.Lines)
            size += line.Key.size() + line.Value.size() + (line.IsEntry() ? 3 : 2);
    }
    return size;
}

TMemIniFile::TMemIniFile() : D(std::make_unique<TData>()) {}

TMemIniFile::TMemIniFile(const QString& FileName) : TMemIniFile(FileName, true) {}

TMemIniFile::TMemIniFile(const QString& FileName, bool Load) : TMemIniFile()
{
    D->FileName = FileName;
    QString text;
    if (Load && ReadFileText(FileName, text, D->Encoding)) // unreadable: an empty object
        D->Parse(text);
}

TMemIniFile TMemIniFile::FromBytes(const QByteArray& Content, const QString& FileName)
{
    TMemIniFile ini;
    ini.D->FileName = FileName;
    ini.D->Parse(Decode(Content, ini.D->Encoding));
    return ini;
}

TMemIniFile::~TMemIniFile() = default;
TMemIniFile::TMemIniFile(TMemIniFile&&) noexcept = default;
TMemIniFile& TMemIniFile::operator=(TMemIniFile&&) noexcept = default;

const QString& TMemIniFile::FileName() const
{
    return D->FileName;
}

TIniEncoding TMemIniFile::Encoding() const
{
    return D->Encoding;
}

void TMemIniFile::SetEncoding(TIniEncoding Encoding)
{
    if (D->Encoding != Encoding) {
        D->Encoding = Encoding;
        ++D->Changes;
    }
}

quint64 TMemIniFile::ChangeCount() const
{
    return D->Changes;
}

QString TMemIniFile::ReadString(const QString& Section, const QString& Ident, const QString& Default) const
{
    TIniSection* s = D->Section(Section);
    if (!s) return Default;
    const qsizetype i = s->Find(Ident);
    return i < 0 ? Default : s->Lines[size_t(i)].Value;
}

void TMemIniFile::WriteString(const QString& Section, const QString& Ident, const QString& Value)
{
    TIniSection& s = D->SectionForWrite(Section);
    const QString& value = Value.isNull() ? EmptyValue() : Value;
    const qsizetype i = s.FindOrInsert(Ident, qsizetype(s.Lines.size()));
    if (i >= 0)
        s.Lines[size_t(i)].Value = value;
    else
        Append(s.Lines, TIniLine{Ident, value});
    ++D->Changes;
}

int TMemIniFile::ReadInteger(const QString& Section, const QString& Ident, int Default) const
{
    int value = 0;
    return IniTextToInt(ReadString(Section, Ident, QString()), value) ? value : Default;
}

void TMemIniFile::WriteInteger(const QString& Section, const QString& Ident, int Value)
{
    WriteString(Section, Ident, QString::number(Value));
}

bool TMemIniFile::ReadBool(const QString& Section, const QString& Ident, bool Default) const
{
    return ReadInteger(Section, Ident, Default ? 1 : 0) != 0;
}

void TMemIniFile::WriteBool(const QString& Section, const QString& Ident, bool Value)
{
    WriteString(Section, Ident, Value ? QStringLiteral("1") : QStringLiteral("0"));
}

QStringList TMemIniFile::ReadSections() const
{
    QStringList names;
    names.reserve(qsizetype(D->Sections.size()));
    for (const TIniSection& s : D->Sections)
        names.append(s.Name);
    return names;
}

QStringList TMemIniFile::ReadSection(const QString& Section) const
{
    QStringList keys;
    if (TIniSection* s = D->Section(Section)) {
        keys.reserve(qsizetype(s->Lines.size()));
        for (size_t i = 0; i < s->Lines.size(); ++i)
            if (s->IsFirstOfKey(i)) keys.append(s->Lines[i].Key);
    }
    return keys;
}

QStringList TMemIniFile::ReadSectionValues(const QString& Section) const
{
    QStringList values;
    if (TIniSection* s = D->Section(Section)) {
        values.reserve(qsizetype(s->Lines.size()));
        for (size_t i = 0; i < s->Lines.size(); ++i)
            if (s->IsFirstOfKey(i)) values.append(s->Lines[i].Key + QLatin1Char('=') + s->Lines[i].Value);
    }
    return values;
}

bool TMemIniFile::SectionExists(const QString& Section) const
{
    return D->FindSection(Section) >= 0;
}

bool TMemIniFile::ValueExists(const QString& Section, const QString& Ident) const
{
    TIniSection* s = D->Section(Section);
    return s && s->Find(Ident) >= 0;
}

void TMemIniFile::EraseSection(const QString& Section)
{
    const qsizetype i = D->FindSection(Section);
    if (i < 0) return;
    D->Sections.erase(D->Sections.begin() + i);
    D->RebuildSectionIndex();
    ++D->Changes;
}

void TMemIniFile::EraseSectionValues(const QString& Section)
{
    TIniSection* s = D->Section(Section);
    if (!s) return;
    s->Lines.clear();
    s->Keys.Clear();
    s->KeysBuilt = true;
    ++D->Changes;
}

void TMemIniFile::DeleteKey(const QString& Section, const QString& Ident)
{
    TIniSection* s = D->Section(Section);
    if (!s || s->Find(Ident) < 0) return;
    // Every line of the key goes, so that a later duplicate does not take its place.
    std::erase_if(s->Lines, [&](const TIniLine& L) { return L.IsEntry() && SameName(L.Key, Ident); });
    s->KeysBuilt = false;
    ++D->Changes;
}

void TMemIniFile::Clear()
{
    D->Preamble.clear();
    D->Sections.clear();
    D->RebuildSectionIndex();
    ++D->Changes;
}

QString TMemIniFile::ToText() const
{
    QString text(D->TextSize(), Qt::Uninitialized);
    TTextSink sink{reinterpret_cast<char16_t*>(text.data())};
    D->Generate(sink);
    Q_ASSERT(sink.Out == reinterpret_cast<char16_t*>(text.data()) + text.size());
    return text;
}

QByteArray TMemIniFile::ToBytes() const
{
    return Encode(ToText(), D->Encoding);
}

void TMemIniFile::UpdateFile() const
{
    QSaveFile file(D->FileName);
    bool written = file.open(QIODevice::WriteOnly);
    if (written && D->Encoding == TIniEncoding::Utf16LE && HostIsLittleEndian()) {
        // The strings in memory already are the file's bytes: they go out through a small buffer
        // instead of a copy of the whole text.
        written = file.write("\xFF\xFE", 2) == 2;
        TFileSink sink(file);
        D->Generate(sink);
        written = sink.Flush() && written;
    } else if (written) {
        const QByteArray bytes = ToBytes();
        written = file.write(bytes) == bytes.size();
    }
    if (!written || !file.commit())
        throw EWriteError(SafeFormat(Tr("Error writing to \"%s\""), {D->FileName}));
}
