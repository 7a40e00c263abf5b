// ovtool checktask and ovtool task: backup task files of the main program as the suite reads them.

#include "ToolCommand.h"

#include "base/SafeFormat.h"
#include "base/TaskFile.h"
#include "base/TextFilter.h"

namespace {

const char* ModeName(TFilterMode Mode)
{
    switch (Mode) {
    case fmOff:
        return "off";
    case fmInclude:
        return "include";
    case fmExclude:
        return "exclude";
    }
    return "?";
}

QString Describe(const TTextFilter& Filter)
{
    if (Filter.Mode() == fmOff) return QStringLiteral("off");
    return SafeFormat(QStringLiteral("%s %s \"%s\""),
                      {ModeName(Filter.Mode()), Filter.Regular() ? "regex" : "masks", Filter.Filter()});
}

void Show(const TBackupTask& T, TToolStreams& Io)
{
    static const char* const Compression[] = {"none", "gzip", "zip"};
    Io.Out << "Destination=" << T.Destination << '\n'
           << "DestMode=" << T.DestMode << " (" << DestModeName(T.DestMode) << ")\n"
           << "DriveId=" << T.DriveId << '\n'
           << "Compression=" << Compression[TaskCompression(T)] << '\n'
           << "NoCompTypes=" << T.NoCompTypes << '\n'
           << "Encrypt=" << T.Encrypt << '\n'
           << "FtpBackup=" << (T.FtpBackup ? 1 : 0) << '\n'
           << "DirCount=" << T.DirCount << '\n'
           << "LogName=" << T.LogName << '\n'
           << "BackupCount=" << T.BackupCount << '\n';
    for (const TTaskSource& s : T.Sources) {
        TTextFilter files(true, true), dirs(false, true);
        SetupTaskFileFilter(s, files);
        SetupTaskDirFilter(s.DirFilter, dirs);
        Io.Out << '[' << TaskDirSection(s.Index) << "]\n"
               << "Source=" << s.Source << '\n'
               << "FileFilter=" << Describe(files) << '\n'
               << "Extensions=" << (s.BackupMode == 0 ? "only " : "all except ")
               << (s.BackupMode == 0 ? s.Include : s.Exclude) << '\n'
               << "SubDirs=" << (s.IncludeDirs ? "only " : "all except ")
               << TaskSubDirList(s).join(QStringLiteral(", ")) << '\n'
               << "DirFilter=" << Describe(dirs) << '\n';
    }
}

} // namespace

int RunCheckTaskCommand(const QStringList& Args, TToolStreams& Io)
{
    const bool listSources = Args.value(0) == QLatin1String("--sources");
    if (Args.size() != (listSources ? 2 : 1)) throw EUsageError(QStringLiteral("one task file is needed"));
    const QString& file = Args.last();
    QList<TTaskSourceDir> sources;
    const TTaskCheck result = CheckTaskFile(file, &sources);
    Io.Out << int(result) << '\n' << (result == tcUsable ? QString() : TaskCheckText(result, file)) << '\n';
    if (listSources)
        for (const TTaskSourceDir& s : sources)
            Io.Out << s.Index << '\t' << s.Dir << '\n';
    return ExitOk;
}

int RunTaskCommand(const QStringList& Args, TToolStreams& Io)
{
    const QString verb = Args.value(0);
    auto expect = [&](qsizetype Count) {
        if (Args.size() != Count)
            throw EUsageError(
                SafeFormat(QStringLiteral("\"%s\" takes %d arguments"), {verb, int(Count - 1)}));
    };
    if (verb == QLatin1String("show")) {
        expect(2);
        Show(ReadBackupTask(Args[1]), Io); // ETaskFileError: exit 1 with the system's message
        return ExitOk;
    }
    if (verb == QLatin1String("logname")) {
        expect(3);
        const QString name = GetBackupLogName(Args[1], Args[2]);
        if (name.isEmpty()) {
            Io.Err << SafeFormat(QStringLiteral("ovtool task: no task file \"%s\""), {Args[1]}) << '\n';
            return ExitFailure;
        }
        Io.Out << name << '\n';
        return ExitOk;
    }
    throw EUsageError(verb.isEmpty() ? QStringLiteral("show or logname?")
                                     : SafeFormat(QStringLiteral("unknown verb \"%s\""), {verb}));
}
