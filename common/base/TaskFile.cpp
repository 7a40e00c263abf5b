#include "TaskFile.h"

#include "DriveUtils.h"
#include "InitProg.h"
#include "PathUtils.h"
#include "SafeFormat.h"
#include "TextFilter.h"
#include "Translate.h"

#include "platform/FileSystem.h"
#include "platform/SysErrors.h"

#include <QMap>

#include <algorithm>

namespace {

// No task file comes near this; a larger file is refused instead of read into memory.
constexpr qint64 MaxTaskFileSize = 64 * 1024 * 1024;

QString G()
{
    return QString::fromLatin1(TaskGlobalSection);
}

// The index of a numbered name ("Dir007" with prefix "Dir" gives 7), written exactly as the suite
// writes it (at least three digits, no further leading zeros); -1 for any other name.
int NumberedIndex(const QString& Name, QLatin1StringView Prefix, QString (*Format)(int))
{
    if (!Name.startsWith(Prefix, Qt::CaseInsensitive)) return -1;
    const QString digits = Name.mid(Prefix.size());
    if (digits.size() < 3 || digits.size() > 9) return -1;
    for (QChar c : digits)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return -1;
    const int index = digits.toInt();
    return Format(index).compare(Name, Qt::CaseInsensitive) == 0 ? index : -1;
}

QByteArray ReadTaskBytes(const QString& FileName)
{
    Platform::TFile file;
    qint64 size = 0;
    int error = file.Open(FileName, Platform::TOpenAccess::Read);
    if (error == 0) error = file.Size(size);
    if (error == 0 && size > MaxTaskFileSize) error = Platform::ErrNotEnoughMemory;
    QByteArray bytes;
    if (error == 0) {
        bytes.resize(qsizetype(size));
        qint64 done = 0;
        error = file.Read(bytes.data(), size, done);
        if (error == 0) bytes.truncate(qsizetype(done));
    }
    if (error != 0) throw ETaskFileError(Platform::SysErrorMessage(error), error);
    return bytes;
}

bool HasPlaceholder(const QString& Destination)
{
    return !Destination.isEmpty() &&
           MatchesMask(IncludeTrailingPathDelimiter(Destination), QStringLiteral("*%*%*"));
}

} // namespace

QString TaskDirSection(int Index)
{
    return QStringLiteral("Dir%1").arg(Index, 3, 10, QLatin1Char('0'));
}

QString TaskSubDirKey(int Index)
{
    return QStringLiteral("SubDir%1").arg(Index, 3, 10, QLatin1Char('0'));
}

const TTaskSource* TBackupTask::SourceAt(int Index) const
{
    for (const TTaskSource& s : Sources)
        if (s.Index == Index) return &s;
    return nullptr;
}

TBackupTask ReadBackupTask(const TMemIniFile& Ini, const QString& DefaultDriveId)
{
    TBackupTask t;
    const QString g = G();
    t.FileName = Ini.FileName();
    t.Destination = Ini.ReadString(g, QStringLiteral("Destination"), QString());
    t.DestMode = Ini.ReadInteger(g, QStringLiteral("DestMode"), 0);
    t.DriveId = Ini.ReadString(g, QStringLiteral("DriveId"), DefaultDriveId);
    t.Compress = Ini.ReadBool(g, QStringLiteral("Compress"), false);
    t.CompressAsZip = Ini.ReadBool(g, QStringLiteral("CompressAsZip"), false);
    t.NoCompTypes = Ini.ReadString(g, QStringLiteral("NoCompTypes"), QString());
    t.Encrypt = Ini.ReadInteger(g, QStringLiteral("Encrypt"), 0);
    t.FtpBackup = Ini.ReadBool(g, QStringLiteral("FtpBackup"), false);
    t.DirCount = Ini.ReadInteger(g, QStringLiteral("DirCount"), 0);
    t.LogName = Ini.ReadString(g, QStringLiteral("LogName"), QString());
    t.BackupCount = Ini.ReadInteger(g, QStringLiteral("BackupCount"), 1);
    t.Volume = Ini.ReadString(TaskDirSection(0), QStringLiteral("Volume"), QString());

    for (const QString& section : Ini.ReadSections()) {
        const int index = NumberedIndex(section, QLatin1StringView("Dir"), TaskDirSection);
        if (index < 0 || index >= t.DirCount || t.SourceAt(index)) continue;
        TTaskSource s;
        s.Index = index;
        s.Source = Ini.ReadString(section, QStringLiteral("Source"), QString());
        s.Volume = Ini.ReadString(section, QStringLiteral("Volume"), QString());
        s.Regular = Ini.ReadBool(section, QStringLiteral("Regular"), false);
        s.FilterMode = Ini.ReadInteger(section, QStringLiteral("FilterMode"), 0);
        s.Filter = Ini.ReadString(section, QStringLiteral("Filter"),
                                  s.Regular ? QStringLiteral(".") : QStringLiteral("*"));
        s.BackupMode = Ini.ReadInteger(section, QStringLiteral("BackupMode"), 0);
        s.Include = Ini.ReadString(section, QStringLiteral("Include"), QString());
        s.Exclude = Ini.ReadString(section, QStringLiteral("Exclude"), QString());
        s.IncludeDirs = Ini.ReadBool(section, QStringLiteral("IncludeDirs"), false);
        s.SubCount = Ini.ReadInteger(section, QStringLiteral("SubCount"), 0);
        s.DirFilter = Ini.ReadString(section, QStringLiteral("DirFilter"), QString());
        QMap<int, QString> subDirs; // in index order; the first of two spellings of one key counts
        for (const QString& key : Ini.ReadSection(section)) {
            const int sub = NumberedIndex(key, QLatin1StringView("SubDir"), TaskSubDirKey);
            if (sub >= 0 && sub < s.SubCount && !subDirs.contains(sub))
                subDirs.insert(sub, Ini.ReadString(section, key, QString()));
        }
        s.SubDirs = subDirs.values();
        t.Sources.append(std::move(s));
    }
    std::sort(t.Sources.begin(), t.Sources.end(),
              [](const TTaskSource& a, const TTaskSource& b) { return a.Index < b.Index; });
    return t;
}

TBackupTask ReadBackupTask(const QString& FileName, const QString& DefaultDriveId)
{
    return ReadBackupTask(TMemIniFile::FromBytes(ReadTaskBytes(FileName), FileName), DefaultDriveId);
}

TTaskCheck CheckBackupTask(const TBackupTask& Task, bool WithSources)
{
    // Methods other than 0 and 1 (negative ones too) cannot be used for direct backup.
    if (Task.FtpBackup || Task.DestMode < 0 || Task.DestMode > 1 || Task.Encrypt != 0 ||
        HasPlaceholder(Task.Destination) || (WithSources && Task.DirCount <= 0))
        return tcInvalidSettings;
    return tcUsable;
}

TTaskCheck CheckTaskFile(const QString& FileName, QList<TTaskSourceDir>* Sources)
{
    if (Sources) Sources->clear();
    if (FileName.isEmpty() || !Platform::FileExists(FileName)) return tcNotFound;
    TBackupTask task;
    try {
        task = ReadBackupTask(FileName);
    } catch (const ETaskFileError&) {
        return tcUnreadable;
    }
    if (Sources) {
        for (const TTaskSource& s : task.Sources)
            if (!s.Source.isEmpty() && Platform::DirectoryExists(s.Source))
                Sources->append({s.Source, s.Index});
    }
    return CheckBackupTask(task, Sources != nullptr);
}

QString TaskCheckText(TTaskCheck Result, const QString& FileName)
{
    const QString nl = QStringLiteral("\n");
    switch (Result) {
    case tcUsable:
        return QString();
    case tcInvalidSettings:
        return SafeFormat(Tr("The backup task \"%s\" has invalid settings!"), {FileName}) + nl +
               Tr("The following conditions must be met for OvSentry:") + nl + Tr("Backup method") +
               QStringLiteral(": ") + Tr("Separate files") + QStringLiteral(" - ") +
               Tr("Separate directories for drives") + nl + Tr("or") + QLatin1Char(' ') +
               Tr("Original full directory structure") + QStringLiteral(", ") +
               Tr("no FTP, no encryption, no placeholders");
    case tcNotFound:
        return Tr("Task file not found") + QStringLiteral(": ") + FileName;
    case tcUnreadable:
        return Tr("Error reading from backup task") + QStringLiteral(": ") + FileName;
    }
    return QString();
}

QString DestModeName(int DestMode)
{
    switch (DestMode) {
    case 0:
        return Tr("Separate directories for drives");
    case 1:
        return Tr("Full original directory structure");
    default:
        return Tr("Invalid task configuration");
    }
}

int TaskCompression(const TBackupTask& Task)
{
    if (!Task.Compress) return 0;
    return Task.CompressAsZip ? 2 : 1;
}

QString TaskNoCompCommaText(const TBackupTask& Task, const QString& ProgramWide)
{
    if (Task.NoCompTypes.isEmpty()) return ProgramWide;
    if (Task.NoCompTypes == QLatin1String("#")) return QString();
    return Task.NoCompTypes;
}

QStringList TaskSubDirList(const TTaskSource& Source)
{
    QStringList list;
    for (QString value : Source.SubDirs) {
        if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
            value = value.mid(1, value.size() - 2);
        if (value.isEmpty() || value.startsWith(QLatin1Char('\\')) || value.startsWith(QLatin1Char('/')) ||
            value.contains(QLatin1Char(':')))
            continue;
        list.append(value);
    }
    return list;
}

void SetupTaskFileFilter(const TTaskSource& Source, TTextFilter& Filter)
{
    Filter.SetRegular(Source.Regular);
    Filter.SetMode(Source.FilterMode == 1 ? fmInclude : Source.FilterMode == 2 ? fmExclude : fmOff);
    QString value = Source.Filter;
    if (value == QLatin1String("*.*")) value = Filter.MatchAll();
    try {
        Filter.SetFilter(value);
    } catch (const EFilterError&) {
        // a malformed pattern leaves the match-all pattern
    }
    if (!Filter.Regular() && Filter.Filter() == QLatin1String("*")) Filter.SetMode(fmOff);
}

void SetupTaskDirFilter(const QString& DirFilter, TTextFilter& Filter)
{
    Filter.SetRegular(false);
    QString value = DirFilter;
    if (!value.isEmpty()) {
        if (value.startsWith(QLatin1Char('#'))) {
            Filter.SetRegular(value.size() >= 2 && value.at(1) != QLatin1Char('#'));
            value.remove(0, 1);
        }
        value.replace(QLatin1Char(','), QLatin1Char('|'));
        Filter.SetMode(fmInclude);
    } else {
        Filter.SetMode(fmOff);
    }
    try {
        Filter.SetFilter(value);
    } catch (const EFilterError&) {
        // ignored: the filter matches everything
    }
}

QString GetBackupLogName(const QString& FileName, const QString& LogFolder, const TPlaceholderEnv& Env)
{
    if (FileName.isEmpty() || !Platform::FileExists(FileName)) return QString();
    TBackupTask task;
    try {
        task = ReadBackupTask(FileName);
    } catch (const ETaskFileError&) {
        return QString();
    }
    QString name = task.LogName;
    if (name.isEmpty()) {
        name = ChangeFileExt(MainProgramName(), QStringLiteral(".log"));
    } else {
        const QString dest = QStringLiteral("%dest%");
        name.replace(QStringLiteral("%taskname%"), ChangeFileExt(ExtractFileName(FileName), QString()),
                     Qt::CaseInsensitive);
        QString resolved;
        Platform::TVolumes& volumes = Env.Volumes ? *Env.Volumes : Platform::Volumes();
        if (name.startsWith(dest, Qt::CaseInsensitive) &&
            ResolveVolumeLabelPath(task.Destination, resolved, volumes) != TVolumeResolve::VolumeMissing) {
            name = ReplaceLogPlaceholders(
                name, ReplaceDestPlaceholders(resolved, task.Volume, task.BackupCount, Env), Env);
        } else {
            name = ReplaceLogPlaceholders(name, task.Destination, Env);
        }
        if (name.startsWith(dest, Qt::CaseInsensitive)) return name;
    }
    return IsAbsolutePathAnyForm(name) ? name : JoinPath(LogFolder, name);
}
