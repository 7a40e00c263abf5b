// ovtool watch: the directory watcher of OvSentry, printing each change as it is reported.

#include "ToolCommand.h"

#include "platform/Signals.h"
#include "sentry/DirectoryWatch.h"

#include <QEventLoop>
#include <QTimer>

namespace {

const char* ActionName(TWatchAction Action)
{
    static const char* const Names[] = {"added", "removed", "modified", "renamed-old", "renamed-new"};
    return Names[Action];
}

} // namespace

int RunWatchCommand(const QStringList& Args, TToolStreams& Io)
{
    bool subTree = true;
    int seconds = -1;
    QString directory;
    for (qsizetype i = 0; i < Args.size(); ++i) {
        const QString& a = Args[i];
        if (a == QLatin1String("--no-subtree")) {
            subTree = false;
        } else if (a == QLatin1String("--seconds")) {
            bool ok = false;
            seconds = i + 1 < Args.size() ? Args[++i].toInt(&ok) : -1;
            if (!ok || seconds < 0) throw EUsageError(QStringLiteral("--seconds needs a number of seconds"));
        } else if (a.startsWith(QLatin1String("--")) || !directory.isEmpty()) {
            throw EUsageError(QStringLiteral("unexpected argument \"%1\"").arg(a));
        } else {
            directory = a;
        }
    }
    if (directory.isEmpty()) throw EUsageError(QStringLiteral("no directory given"));

    QEventLoop loop;
    TDirectoryWatch watch(1);
    watch.SetDirectory(directory);
    watch.SetWatchSubTree(subTree);
    watch.SetOnNotify([&](TDirectoryWatch*, int, TWatchAction Action, const QString& Name) {
        Io.Out << ActionName(Action) << '\t' << Name << '\n';
        Io.Out.flush();
    });
    watch.SetOnError([&](TDirectoryWatch*, int Code, const QString& Text) {
        Io.Out << "error\t" << Code << '\t' << Text << '\n';
        Io.Out.flush();
    });
    Platform::TTerminationRequest onRequest([&] { loop.quit(); });
    watch.Start();
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    if (seconds >= 0) timer.start(seconds * 1000);
    Io.Err << "watching " << directory << '\n';
    Io.Err.flush();
    loop.exec();
    watch.Stop();
    return ExitOk;
}
