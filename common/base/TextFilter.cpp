#include "TextFilter.h"

#include "Translate.h"

#include <QList>
#include <QStringList>
#include <QVarLengthArray>

#include <vector>

namespace {

using TCodePoints = QVarLengthArray<char32_t, 256>;

// Code points of Text, as written and case-folded; with Dot an extra "." at the end.
void Decode(const QString& Text, bool Dot, TCodePoints& Raw, TCodePoints& Folded)
{
    Raw.clear();
    Folded.clear();
    const qsizetype n = Text.size();
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = Text.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < n && Text.at(i + 1).isLowSurrogate())
            c = QChar::surrogateToUcs4(char16_t(c), Text.at(++i).unicode());
        Raw.append(c);
        if (c < 128)
            Folded.append(c >= U'A' && c <= U'Z' ? c + 32 : c);
        else
            Folded.append(QChar::toCaseFolded(c));
    }
    if (Dot) {
        Raw.append(U'.');
        Folded.append(U'.');
    }
}

struct TRange
{
    char32_t Lo, Hi;             // as written
    char32_t FoldedLo, FoldedHi; // case-folded
    char32_t UpperLo, UpperHi;   // upper case
};

struct TCharSet
{
    bool Negate = false;
    std::vector<TRange> Ranges;

    bool Contains(char32_t Raw, char32_t Folded) const
    {
        bool in = false;
        const char32_t upper = QChar::toUpper(Raw);
        for (const TRange& r : Ranges) {
            if ((Raw >= r.Lo && Raw <= r.Hi) || (Folded >= r.FoldedLo && Folded <= r.FoldedHi) ||
                (upper >= r.UpperLo && upper <= r.UpperHi)) {
                in = true;
                break;
            }
        }
        return in != Negate;
    }
};

enum class TTokenKind : unsigned char
{
    Literal,
    AnyChar,
    Star,
    Set,
};

struct TToken
{
    TTokenKind Kind;
    char32_t Folded = 0; // Literal
    int Set = -1;        // index into TMask::Sets
};

// One mask of a list, parsed.
struct TMask
{
    bool Empty = false;
    bool Negate = false; // began with "!"
    bool EndsWithDot = false;
    bool Malformed = false;
    std::vector<TToken> Tokens;
    std::vector<TCharSet> Sets;

    void Parse(const QString& Text)
    {
        const QList<uint> cps = Text.toUcs4();
        const qsizetype n = cps.size();
        for (qsizetype i = 0; i < n; ++i) {
            const char32_t c = cps[i];
            if (c == U'*') {
                if (Tokens.empty() || Tokens.back().Kind != TTokenKind::Star)
                    Tokens.push_back({TTokenKind::Star});
            } else if (c == U'?') {
                Tokens.push_back({TTokenKind::AnyChar});
            } else if (c == U'[') {
                TCharSet set;
                ++i;
                if (i < n && cps[i] == U'!') {
                    set.Negate = true;
                    ++i;
                }
                bool haveLast = false;
                while (i < n && cps[i] != U']') {
                    if (cps[i] == U'-') {
                        // A range needs a character before and after the hyphen.
                        if (!haveLast || i + 1 >= n || cps[i + 1] == U']') {
                            Malformed = true;
                            return;
                        }
                        TRange& r = set.Ranges.back();
                        r.Hi = cps[++i];
                        r.FoldedHi = QChar::toCaseFolded(r.Hi);
                        r.UpperHi = QChar::toUpper(r.Hi);
                        haveLast = false;
                    } else {
                        const char32_t s = cps[i];
                        set.Ranges.push_back({s, s, QChar::toCaseFolded(s), QChar::toCaseFolded(s),
                                              QChar::toUpper(s), QChar::toUpper(s)});
                        haveLast = true;
                    }
                    ++i;
                }
                if (i >= n || set.Ranges.empty()) { // unclosed or empty
                    Malformed = true;
                    return;
                }
                Sets.push_back(std::move(set));
                Tokens.push_back({TTokenKind::Set, 0, int(Sets.size() - 1)});
            } else {
                Tokens.push_back({TTokenKind::Literal, QChar::toCaseFolded(c)});
            }
        }
    }

    bool One(const TToken& T, char32_t Raw, char32_t Folded) const
    {
        switch (T.Kind) {
        case TTokenKind::Literal:
            return T.Folded == Folded;
        case TTokenKind::AnyChar:
            return true;
        case TTokenKind::Set:
            return Sets[size_t(T.Set)].Contains(Raw, Folded);
        case TTokenKind::Star:
            break;
        }
        return false;
    }

    // Every token but "*" stands for exactly one character, so the last "*" is the only point to
    // return to: at most (name length x mask length) steps, whatever the mask.
    bool Matches(const char32_t* Raw, const char32_t* Folded, qsizetype N) const
    {
        if (Malformed) return false;
        size_t m = Tokens.size();
        // The characters after the last "*" sit at the end of the name: check them first, which
        // settles the common "*.ext" at once.
        size_t tail = 0;
        while (tail < m && Tokens[m - 1 - tail].Kind != TTokenKind::Star)
            ++tail;
        if (tail < m) {
            if (qsizetype(tail) > N) return false;
            for (size_t k = 0; k < tail; ++k) {
                const qsizetype at = N - qsizetype(tail) + qsizetype(k);
                if (!One(Tokens[m - tail + k], Raw[at], Folded[at])) return false;
            }
            m -= tail;
            N -= qsizetype(tail);
        }
        size_t p = 0;
        qsizetype t = 0;
        size_t starP = SIZE_MAX;
        qsizetype starT = 0;
        while (t < N) {
            if (p < m && Tokens[p].Kind == TTokenKind::Star) {
                starP = p++;
                starT = t;
            } else if (p < m && One(Tokens[p], Raw[t], Folded[t])) {
                ++p;
                ++t;
            } else if (starP != SIZE_MAX) {
                p = starP + 1;
                t = ++starT;
            } else {
                return false;
            }
        }
        while (p < m && Tokens[p].Kind == TTokenKind::Star)
            ++p;
        return p == m;
    }
};

bool HasExtension(const QString& Name)
{
    for (qsizetype i = Name.size() - 1; i >= 0; --i) {
        const QChar c = Name.at(i);
        if (c == QLatin1Char('.')) return true;
        if (c == QLatin1Char('/') || c == QLatin1Char('\\')) return false;
    }
    return false;
}

} // namespace

struct TTextFilter::TMaskList
{
    QString Source;
    QChar Sep;
    bool And = false;
    std::vector<TMask> Masks;

    TMaskList(const QString& List, QChar Separator) : Source(List), Sep(Separator)
    {
        QStringView rest(List);
        if (rest.startsWith(QLatin1Char('+'))) {
            And = true;
            rest = rest.mid(1);
        }
        if (List.isEmpty()) return;
        for (QStringView part : rest.split(Sep)) {
            TMask mask;
            if (part.isEmpty()) {
                mask.Empty = true;
            } else {
                if (part.startsWith(QLatin1Char('!'))) {
                    mask.Negate = true;
                    part = part.mid(1);
                }
                mask.EndsWithDot = part.endsWith(QLatin1Char('.'));
                mask.Parse(part.toString());
            }
            Masks.push_back(std::move(mask));
        }
    }

    bool AnyMalformed() const
    {
        for (const TMask& m : Masks)
            if (m.Malformed) return true;
        return false;
    }
};

TTextFilter::TTextFilter(bool AIsFileFilter, bool AIgnoreCase)
    : FIsFileFilter(AIsFileFilter), FIgnoreCase(AIgnoreCase)
{
    Reset();
}

TTextFilter::~TTextFilter() = default;

void TTextFilter::Reset()
{
    FRegExp = false;
    FMode = fmOff;
    FMask = QStringLiteral("*");
    FCompiled.reset();
    FRegex.Compile(QStringLiteral("."), FIgnoreCase);
}

void TTextFilter::Assign(const TTextFilter& AFilter)
{
    if (&AFilter == this) return;
    FRegExp = AFilter.FRegExp;
    FMode = AFilter.FMode;
    FMask = AFilter.FMask;
    FSep = AFilter.FSep;
    FCompiled.reset();
    // The expression is copied too: a copy of a regular filter must filter like it.
    if (!FRegex.Compile(AFilter.FRegex.Pattern(), FIgnoreCase))
        FRegex.Compile(QStringLiteral("."), FIgnoreCase);
}

QString TTextFilter::Filter() const
{
    return FRegExp ? FRegex.Pattern() : FMask;
}

QString TTextFilter::MatchAll() const
{
    return FRegExp ? QStringLiteral(".") : QStringLiteral("*");
}

void TTextFilter::SetSeparator(QChar Value)
{
    FSep = Value;
    FCompiled.reset();
}

void TTextFilter::SetFilter(const QString& Value)
{
    if (FRegExp)
        SetRegularExpression(Value);
    else
        SetMaskList(Value);
}

void TTextFilter::SetRegularExpression(const QString& Value)
{
    if (Value.isEmpty()) {
        FRegex.Compile(QStringLiteral("."), FIgnoreCase);
        return;
    }
    if (!FRegex.Compile(Value, FIgnoreCase) || FRegex.Find(u"xyz") == TRegExpr::TResult::Error) {
        FRegex.Compile(QStringLiteral("."), FIgnoreCase);
        throw EFilterError(Tr("Illegal regular expression!"));
    }
}

void TTextFilter::SetMaskList(const QString& Value)
{
    FCompiled.reset();
    if (Value.isEmpty()) {
        FMask = QStringLiteral("*");
        return;
    }
    QString list = Value;
    if (FIsFileFilter) {
        QStringList masks = Value.split(FSep);
        for (QString& m : masks)
            // "*" already takes every name, with or without extension: it stays as it is.
            if (!m.isEmpty() && m != QLatin1String("*") && !HasExtension(m)) m += QStringLiteral(".*");
        list = masks.join(FSep);
    }
    FMask = list;
    if (Masks().AnyMalformed()) {
        FMask = QStringLiteral("*");
        FCompiled.reset();
        throw EFilterError(Tr("Illegal mask!"));
    }
}

const TTextFilter::TMaskList& TTextFilter::Masks() const
{
    if (!FCompiled) // dropped by every change of the list or the separator
        FCompiled = std::make_unique<TMaskList>(FMask, FSep);
    return *FCompiled;
}

bool TTextFilter::MatchesFilter(const QString& AText) const
{
    if (FMode == fmOff) return true;
    bool result;
    if (FRegExp)
        result = FRegex.Find(AText) == TRegExpr::TResult::Match;
    else
        result = MatchesMasks(AText);
    return FMode == fmExclude ? !result : result;
}

bool TTextFilter::MatchesMasks(const QString& AText) const
{
    const TMaskList& list = Masks();
    bool r = true;
    if (list.Masks.empty()) return r;
    const bool dotted = FIsFileFilter && !HasExtension(AText);
    TCodePoints raw, folded;
    Decode(AText, dotted, raw, folded);
    const qsizetype plain = dotted ? raw.size() - 1 : raw.size();
    for (const TMask& mask : list.Masks) {
        if (!mask.Empty) {
            // "name." selects names without extension: such a name is tried with a dot added.
            const qsizetype n = dotted && mask.EndsWithDot ? raw.size() : plain;
            bool m = mask.Matches(raw.constData(), folded.constData(), n);
            if (mask.Negate && !mask.Malformed) m = !m;
            r = list.And ? (r && m) : m;
        }
        if (list.And ? !r : r) break;
    }
    return r;
}

bool MatchesMask(const QString& Text, const QString& Mask, bool* Malformed)
{
    TMask mask;
    mask.Parse(Mask);
    if (Malformed) *Malformed = mask.Malformed;
    TCodePoints raw, folded;
    Decode(Text, false, raw, folded);
    return mask.Matches(raw.constData(), folded.constData(), raw.size());
}
