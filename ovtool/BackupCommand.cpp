// ovtool backup: one run of OvSentry's backup thread over named files, printing its log lines.

#include "ToolCommand.h"

#include "base/LangUtils.h"
#include "base/PathUtils.h"
#include "base/SafeFormat.h"

#include "sentry/BackupThread.h"

#include "platform/FileSystem.h"

#include <QDir>
#include <QEventLoop>

namespace {

int IntOption(const QStringList& Args, qsizetype& I, int Min, int Max)
{
    const QString name = Args[I];
    bool ok = false;
    const int value = I + 1 < Args.size() ? Args[++I].toInt(&ok) : 0;
    if (!ok || value < Min || value > Max)
        throw EUsageError(SafeFormat(QStringLiteral("%s needs a number from %d to %d"), {name, Min, Max}));
    return value;
}

QString TextOption(const QStringList& Args, qsizetype& I)
{
    if (I + 1 >= Args.size()) throw EUsageError(SafeFormat(QStringLiteral("%s needs a value"), {Args[I]}));
    return Args[++I];
}

QString Absolute(const QString& Dir)
{
    return QDir::cleanPath(QDir::current().absoluteFilePath(Dir));
}

} // namespace

int RunBackupCommand(const QStringList& Args, TToolStreams& Io)
{
    int id = -1;
    int compress = 0;
    int retain = 0;
    QString source, dest, driveTemplate, noCompress;
    TMatchList names;
    for (qsizetype i = 0; i < Args.size(); ++i) {
        const QString& a = Args[i];
        if (a == QLatin1String("--id"))
            id = IntOption(Args, i, 1, 999);
        else if (a == QLatin1String("--source"))
            source = TextOption(Args, i);
        else if (a == QLatin1String("--dest"))
            dest = TextOption(Args, i);
        else if (a == QLatin1String("--drive-template"))
            driveTemplate = TextOption(Args, i);
        else if (a == QLatin1String("--compress"))
            compress = IntOption(Args, i, 0, 2);
        else if (a == QLatin1String("--no-compress-list"))
            noCompress = TextOption(Args, i);
        else if (a == QLatin1String("--retain"))
            retain = IntOption(Args, i, 0, 9);
        else if (a.startsWith(QLatin1String("--")))
            throw EUsageError(SafeFormat(QStringLiteral("unknown option \"%s\""), {a}));
        else if (a.isEmpty())
            throw EUsageError(QStringLiteral("an empty name"));
        else
            names.Add(a);
    }
    if (id < 0) throw EUsageError(QStringLiteral("--id is missing"));
    if (source.isEmpty() || dest.isEmpty())
        throw EUsageError(QStringLiteral("--source and --dest are needed"));
    if (names.IsEmpty()) throw EUsageError(QStringLiteral("no file names given"));
    source = Absolute(source);
    if (!Platform::DirectoryExists(source)) {
        Io.Err << SafeFormat(QStringLiteral("the source folder \"%s\" does not exist"), {source}) << '\n';
        return ExitFailure;
    }
    InitTranslation(QStringLiteral("Orvanta6/"), QStringLiteral("Orvanta.cfg"), {QStringLiteral("units")},
                    {});

    int failed = 0;
    TBackupThread thread(id, IncludeTrailingPathDelimiter(Absolute(dest)), source, driveTemplate, noCompress,
                         names, compress, retain, [&Io, &failed](const QString& Line) {
                             if (Line.contains(QLatin1String("\n  *** "))) ++failed;
                             Io.Out << Line << '\n';
                             Io.Out.flush();
                         });
    QEventLoop loop;
    QObject::connect(&thread, &QThread::finished, &loop, &QEventLoop::quit);
    if (!thread.isFinished()) loop.exec();
    thread.wait();
    if (failed) {
        Io.Err << SafeFormat(QStringLiteral("%d of %d files failed"), {failed, int(names.Count())}) << '\n';
        return ExitFailure;
    }
    return ExitOk;
}
