// One run of OvSentry's backup thread over every file below a folder, as a due backup runs it,
// and the wall time of the run. Usage: backup_bench SRC DEST [RETAIN]

#include "sentry/BackupThread.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTextStream>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 3 || args.size() > 4) {
        QTextStream(stderr) << "usage: backup_bench SRC DEST [RETAIN]\n";
        return 2;
    }
    const QString source = args[1];
    TMatchList names;
    QDirIterator it(source, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        names.Add(it.next().mid(source.size() + 1));

    int errors = 0;
    QElapsedTimer timer;
    timer.start();
    {
        TBackupThread thread(1, args[2] + QLatin1Char('/'), source, QString(), QString(), names, 0,
                             args.size() > 3 ? args[3].toInt() : 0, [&errors](const QString& Line) {
                                 if (Line.contains(QLatin1String("\n  *** "))) {
                                     if (++errors <= 3) QTextStream(stderr) << Line << '\n';
                                 }
                             });
        QEventLoop loop;
        QObject::connect(&thread, &QThread::finished, &loop, &QEventLoop::quit);
        if (!thread.isFinished()) loop.exec();
        thread.wait();
    }
    QTextStream(stdout) << "files " << names.Count() << " ms " << timer.nsecsElapsed() / 1e6 << " errors " << errors
                        << '\n';
    return errors ? 1 : 0;
}
