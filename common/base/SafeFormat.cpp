#include "SafeFormat.h"

#include <optional>
#include <vector>

namespace {

struct TFormatError
{
};

std::int64_t IntegerOf(const TFormatArg& Arg)
{
    if (const auto* i = std::get_if<TFormatArg::TInt>(&Arg.Value())) return i->Value;
    if (const auto* u = std::get_if<TFormatArg::TUInt>(&Arg.Value()))
        return static_cast<std::int64_t>(u->Value);
    throw TFormatError{};
}

// Digits of the argument in the given base, without sign; Negative says whether it had one.
QString Digits(const TFormatArg& Arg, char Type, bool& Negative)
{
    Negative = false;
    const auto& v = Arg.Value();
    if (const auto* u = std::get_if<TFormatArg::TUInt>(&v))
        return Type == 'x' ? QString::number(u->Value, 16).toUpper() : QString::number(u->Value);
    const auto* i = std::get_if<TFormatArg::TInt>(&v);
    if (!i) throw TFormatError{};
    if (Type == 'x') {
        // Negative numbers show their two's complement in the argument's width.
        const std::uint64_t bits =
            i->Bits == 32 ? static_cast<std::uint32_t>(i->Value) : static_cast<std::uint64_t>(i->Value);
        return QString::number(bits, 16).toUpper();
    }
    if (Type == 'u') {
        const std::uint64_t bits =
            i->Bits == 32 ? static_cast<std::uint32_t>(i->Value) : static_cast<std::uint64_t>(i->Value);
        return QString::number(bits);
    }
    Negative = i->Value < 0;
    const std::uint64_t magnitude =
        Negative ? ~static_cast<std::uint64_t>(i->Value) + 1 : static_cast<std::uint64_t>(i->Value);
    return QString::number(magnitude);
}

QString FormatOne(const TFormatArg& Arg, QChar Type, std::optional<int> Precision)
{
    switch (Type.toLower().toLatin1()) {
    case 's': {
        const auto* s = std::get_if<QString>(&Arg.Value());
        if (!s) throw TFormatError{};
        return Precision && *Precision < s->size() ? s->left(*Precision) : *s;
    }
    case 'd':
    case 'u':
    case 'x': {
        bool negative = false;
        QString digits = Digits(Arg, static_cast<char>(Type.toLower().toLatin1()), negative);
        if (Precision && digits.size() < *Precision)
            digits = QString(*Precision - digits.size(), QLatin1Char('0')) + digits;
        return negative ? QLatin1Char('-') + digits : digits;
    }
    case 'f':
    case 'e':
    case 'g':
    case 'n': {
        double value = 0;
        if (const auto* d = std::get_if<double>(&Arg.Value()))
            value = *d;
        else
            value = static_cast<double>(IntegerOf(Arg));
        const char t = static_cast<char>(Type.toLower().toLatin1());
        const int prec = Precision.value_or(t == 'g' ? 15 : 2);
        if (t == 'n') {
            QString text = QString::number(value, 'f', prec);
            const qsizetype dot = text.indexOf(QLatin1Char('.'));
            qsizetype intEnd = dot < 0 ? text.size() : dot;
            const qsizetype intStart = text.startsWith(QLatin1Char('-')) ? 1 : 0;
            for (qsizetype pos = intEnd - 3; pos > intStart; pos -= 3)
                text.insert(pos, QLatin1Char(','));
            return text;
        }
        return QString::number(value, t, prec);
    }
    default:
        throw TFormatError{};
    }
}

} // namespace

QString SafeFormat(const QString& Format, std::initializer_list<TFormatArg> ArgList)
{
    const std::vector<TFormatArg> args(ArgList);
    try {
        QString out;
        out.reserve(Format.size() + 32);
        std::size_t next = 0;
        const qsizetype n = Format.size();
        auto number = [&](qsizetype& i) -> std::optional<int> {
            if (i < n && Format.at(i) == QLatin1Char('*')) {
                ++i;
                if (next >= args.size()) throw TFormatError{};
                return static_cast<int>(IntegerOf(args[next++]));
            }
            if (i >= n || !Format.at(i).isDigit()) return std::nullopt;
            long long v = 0;
            while (i < n && Format.at(i).isDigit()) {
                v = v * 10 + Format.at(i).digitValue();
                if (v > 1'000'000) throw TFormatError{};
                ++i;
            }
            return static_cast<int>(v);
        };
        for (qsizetype i = 0; i < n; ++i) {
            const QChar c = Format.at(i);
            if (c != QLatin1Char('%')) {
                out += c;
                continue;
            }
            if (++i >= n) throw TFormatError{};
            if (Format.at(i) == QLatin1Char('%')) {
                out += QLatin1Char('%');
                continue;
            }
            // %[index:][-][width][.precision]type
            std::optional<int> first = number(i);
            if (i < n && Format.at(i) == QLatin1Char(':')) {
                if (!first || *first < 0) throw TFormatError{};
                next = static_cast<std::size_t>(*first);
                ++i;
                first.reset();
            }
            bool left = false;
            if (!first && i < n && Format.at(i) == QLatin1Char('-')) {
                left = true;
                ++i;
            }
            std::optional<int> width = first ? first : number(i);
            std::optional<int> precision;
            if (i < n && Format.at(i) == QLatin1Char('.')) {
                ++i;
                precision = number(i);
                if (!precision) precision = 0;
            }
            if (i >= n || next >= args.size()) throw TFormatError{};
            QString text = FormatOne(args[next++], Format.at(i), precision);
            if (width && text.size() < *width) {
                const QString pad(*width - text.size(), QLatin1Char(' '));
                text = left ? text + pad : pad + text;
            }
            out += text;
        }
        return out;
    } catch (const TFormatError&) {
        return QStringLiteral("Format error: ") + Format;
    }
}
