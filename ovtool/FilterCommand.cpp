// ovtool filter: the suite's text filter on names from the command line or from standard input.

#include "ToolCommand.h"

#include "base/SafeFormat.h"
#include "base/TextFilter.h"

#include <QFile>

namespace {

TFilterMode ParseMode(const QString& Text)
{
    if (Text == QLatin1String("include")) return fmInclude;
    if (Text == QLatin1String("exclude")) return fmExclude;
    if (Text == QLatin1String("off")) return fmOff;
    throw EUsageError(SafeFormat(QStringLiteral("--mode is include, exclude or off, not \"%s\""), {Text}));
}

} // namespace

int RunFilterCommand(const QStringList& Args, TToolStreams& Io)
{
    bool regular = false, fileFilter = true;
    TFilterMode mode = fmInclude;
    QStringList rest;
    for (qsizetype i = 0; i < Args.size(); ++i) {
        const QString& a = Args[i];
        if (!rest.isEmpty() || !a.startsWith(QLatin1String("--"))) {
            rest.append(a);
        } else if (a == QLatin1String("--regex")) {
            regular = true;
        } else if (a == QLatin1String("--dir")) {
            fileFilter = false;
        } else if (a == QLatin1String("--mode")) {
            if (i + 1 >= Args.size()) throw EUsageError(QStringLiteral("--mode takes a value"));
            mode = ParseMode(Args[++i]);
        } else {
            throw EUsageError(SafeFormat(QStringLiteral("unknown option \"%s\""), {a}));
        }
    }
    if (rest.isEmpty()) throw EUsageError(QStringLiteral("a pattern is missing"));

    TTextFilter filter(fileFilter, true);
    filter.SetRegular(regular);
    filter.SetMode(mode);
    filter.SetFilter(rest.takeFirst()); // EFilterError: exit 1 with its message

    auto report = [&](const QString& Name) {
        Io.Out << (filter.MatchesFilter(Name) ? "pass" : "fail") << '\t' << Name << '\n';
    };
    if (!rest.isEmpty()) {
        for (const QString& name : rest)
            report(name);
        return ExitOk;
    }
    // No names on the command line: one a line from standard input.
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly)) throw Exception(QStringLiteral("cannot read standard input"));
    while (!in.atEnd()) {
        QByteArray line = in.readLine();
        if (line.endsWith('\n')) line.chop(1);
        if (line.endsWith('\r')) line.chop(1);
        if (!line.isEmpty()) report(QString::fromUtf8(line));
    }
    return ExitOk;
}
