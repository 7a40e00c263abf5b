// Feeds arbitrary bytes to the task-file reader and the text filter: the bytes are read as a task
// file, every source's file and directory selection is set into filters, and the filters are matched
// against the file's own lines. Nothing may crash, raise anything but EFilterError, or run long
// (libFuzzer's -timeout catches a runaway mask or expression).
#include "base/TaskFile.h"
#include "base/TextFilter.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    const QByteArray content(reinterpret_cast<const char*>(Data), static_cast<qsizetype>(Size));
    const TMemIniFile ini = TMemIniFile::FromBytes(content);
    const TBackupTask task = ReadBackupTask(ini);
    CheckBackupTask(task, true);
    const QStringList lines = QString::fromUtf8(content).split(QLatin1Char('\n'));
    for (const TTaskSource& s : task.Sources) {
        TTextFilter files(true, true), dirs(false, true);
        SetupTaskFileFilter(s, files);
        SetupTaskDirFilter(s.DirFilter, dirs);
        TaskSubDirList(s);
        for (const QString& line : lines) {
            files.MatchesFilter(line);
            dirs.MatchesFilter(line);
        }
    }
    // The first line as a pattern of each kind, the others as names.
    const QString pattern = lines.value(0);
    for (int kind = 0; kind < 4; ++kind) {
        TTextFilter f(kind & 1, true);
        f.SetRegular(kind & 2);
        f.SetMode(fmInclude);
        try {
            f.SetFilter(pattern);
        } catch (const EFilterError&) {
            if (f.Filter() != f.MatchAll()) __builtin_trap(); // a failed set leaves match-all
        }
        for (qsizetype i = 1; i < lines.size(); ++i)
            f.MatchesFilter(lines[i]);
    }
    return 0;
}
