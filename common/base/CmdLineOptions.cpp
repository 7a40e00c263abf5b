#include "CmdLineOptions.h"

namespace {

bool IsBlank(QChar C)
{
    return C == QLatin1Char(' ') || C == QLatin1Char('\t');
}

} // namespace

bool IsOptionAbbreviation(const QString& Typed, const QString& Name)
{
    return Name.startsWith(Typed, Qt::CaseInsensitive);
}

TOptionMatch MatchOption(const QString& Arg, std::span<const TOptionDef> Options)
{
    TOptionMatch m;
    QString word;
    if (!Platform::SplitOptionPrefix(Arg, word)) return m;
    m.IsOption = true;
    const qsizetype colon = word.indexOf(QLatin1Char(':'));
    for (std::size_t i = 0; i < Options.size(); ++i) {
        const QString name = QLatin1String(Options[i].Name);
        if (Options[i].Kind == TOptionKind::okFlag) {
            if (IsOptionAbbreviation(word, name)) {
                m.Index = static_cast<int>(i);
                return m;
            }
        } else if (colon >= 0 && IsOptionAbbreviation(word.left(colon), name)) {
            m.Index = static_cast<int>(i);
            m.Value = word.mid(colon + 1);
            return m;
        }
    }
    return m;
}

int MatchWord(const QString& Typed, std::span<const char* const> Words)
{
    for (std::size_t i = 0; i < Words.size(); ++i)
        if (IsOptionAbbreviation(Typed, QLatin1String(Words[i]))) return static_cast<int>(i);
    return -1;
}

QString FlagArgument(const QString& Name, const QString& Prefix)
{
    return Prefix + Name;
}

QString ValueArgument(const QString& Name, const QString& Value, const QString& Prefix)
{
    return Prefix + Name + QLatin1Char(':') + Value;
}

QString QuoteArgument(const QString& Arg)
{
    bool needed = Arg.isEmpty();
    for (const QChar c : Arg)
        if (IsBlank(c) || c == QLatin1Char('"')) needed = true;
    if (!needed) return Arg;
    QString out = Arg;
    out.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + out + QLatin1Char('"');
}

QString JoinCommandLine(const QStringList& Args)
{
    QStringList quoted;
    quoted.reserve(Args.size());
    for (const QString& arg : Args)
        quoted.append(QuoteArgument(arg));
    return quoted.join(QLatin1Char(' '));
}

QStringList SplitCommandLine(const QString& Line)
{
    QStringList args;
    QString current;
    bool started = false; // an argument is open, perhaps still empty ("")
    bool quoted = false;
    for (qsizetype i = 0; i < Line.size(); ++i) {
        const QChar c = Line.at(i);
        if (quoted) {
            if (c != QLatin1Char('"'))
                current += c;
            else if (i + 1 < Line.size() && Line.at(i + 1) == QLatin1Char('"'))
                current += Line.at(++i);
            else
                quoted = false;
        } else if (IsBlank(c)) {
            if (started) args.append(current);
            current.clear();
            started = false;
        } else {
            started = true;
            if (c == QLatin1Char('"'))
                quoted = true;
            else
                current += c;
        }
    }
    if (started) args.append(current);
    return args;
}
