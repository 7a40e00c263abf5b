// ovtool filter: the suite's text filter on names from the command line or from standard input.

#include "ToolCommand.h"

#include "base/SafeFormat.h"
#include "base/TextFilter.h"

#include <QFile>

int RunFilterCommand(const QStringList& Args, TToolStreams& Io)
{
    bool regular = false, fileFilter = true, ignoreCase = true;
    TFilterMode mode = fmInclude;
    QChar sep = QLatin1Char('|');
    QStringList rest;
    for (qsizetype i = 0; i < Args.size(); ++i) {
        const QString& a = Args[i];
        if (a == QLatin1String("--regex"))
            regular = true;
        else if (a == QLatin1String("--dirs"))
            fileFilter = false;
        else if (a == QLatin1String("--exclude"))
            mode = fmExclude;
        else if (a == QLatin1String("--match-case"))
            ignoreCase = false;
        else if (a == QLatin1String("--sep")) {
            if (i + 1 >= Args.size() || Args[i + 1].size() != 1)
                throw EUsageError(QStringLiteral("--sep takes one character"));
            sep = Args[++i].at(0);
        } else if (a.startsWith(QLatin1String("--")) && rest.isEmpty()) {
            throw EUsageError(SafeFormat(QStringLiteral("unknown option \"%s\""), {a}));
        } else {
            rest.append(a);
        }
    }
    if (rest.isEmpty()) throw EUsageError(QStringLiteral("a pattern is missing"));

    TTextFilter filter(fileFilter, ignoreCase);
    filter.SetSeparator(sep);
    filter.SetRegular(regular);
    filter.SetMode(mode);
    filter.SetFilter(rest.takeFirst()); // EFilterError: exit 1 with its message

    if (!rest.isEmpty()) {
        for (const QString& name : rest)
            if (filter.MatchesFilter(name)) Io.Out << name << '\n';
        return ExitOk;
    }
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly)) throw Exception(QStringLiteral("cannot read standard input"));
    while (!in.atEnd()) {
        QByteArray line = in.readLine();
        if (line.endsWith('\n')) line.chop(1);
        if (line.endsWith('\r')) line.chop(1);
        if (line.isEmpty()) continue; // no name
        const QString name = QString::fromUtf8(line);
        if (filter.MatchesFilter(name)) Io.Out << name << '\n';
    }
    return ExitOk;
}
