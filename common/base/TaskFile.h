#pragma once
// The backup task files ("buj") of the main backup program, read only: the keys the suite uses with
// their defaults, the test whether a task suits direct backup (CheckTaskFile), the log file of a task
// (GetBackupLogName), and the mapping of a source's selection keys into text filters.
//
// Index ranges come from the file ("DirCount", "SubCount") but only the sections and keys that exist
// are visited, so a hostile count costs nothing.

#include "Errors.h"
#include "MemIniFile.h"
#include "PlaceHolders.h"

#include <QList>
#include <QString>
#include <QStringList>

class TTextFilter;

inline constexpr char TaskFileExtension[] = "buj";
inline constexpr char TaskGlobalSection[] = "Global";

// A task file that exists but cannot be read.
class ETaskFileError : public EInOutError
{
public:
    using EInOutError::EInOutError;
};

// One source section "DirNNN".
struct TTaskSource
{
    int Index = 0;
    QString Source;
    QString Volume;
    bool Regular = false;
    int FilterMode = 0;
    QString Filter; // defaults to the match-all pattern: "." when Regular, else "*"
    int BackupMode = 0;
    QString Include;
    QString Exclude;
    bool IncludeDirs = false;
    int SubCount = 0;
    QStringList SubDirs; // the values of the existing keys SubDir000 .. below SubCount, as written
    QString DirFilter;
};

// Section "Global" and the source sections that exist, in index order.
struct TBackupTask
{
    QString FileName;
    QString Destination;
    int DestMode = 0;
    QString DriveId; // the program-wide default when the key is missing
    bool Compress = false;
    bool CompressAsZip = false;
    QString NoCompTypes;
    int Encrypt = 0;
    bool FtpBackup = false;
    int DirCount = 0;
    QString LogName;
    int BackupCount = 1;
    QString Volume;             // "Volume" of section "Dir000"
    QList<TTaskSource> Sources; // only existing sections with an index below DirCount

    // The source with this index, or nullptr when its section is missing.
    const TTaskSource* SourceAt(int Index) const;
};

// The name of the section of a source index ("Dir000") and of a sub-directory key ("SubDir000").
QString TaskDirSection(int Index);
QString TaskSubDirKey(int Index);

// Reads a task from a settings file already in memory.
TBackupTask ReadBackupTask(const TMemIniFile& Ini, const QString& DefaultDriveId = QString());
// Reads a task file; raises ETaskFileError when the file cannot be read (a missing file included).
TBackupTask ReadBackupTask(const QString& FileName, const QString& DefaultDriveId = QString());

// CheckTaskFile results.
enum TTaskCheck
{
    tcUsable = 0,
    tcInvalidSettings = 1,
    tcNotFound = 2,
    tcUnreadable = 3,
};

struct TTaskSourceDir
{
    QString Dir;
    int Index;
};

// Whether a task can be used for direct backup. With Sources, also collects the existing source
// directories (Source, index) in index order; a task without sources is then unusable.
TTaskCheck CheckTaskFile(const QString& FileName, QList<TTaskSourceDir>* Sources = nullptr);
TTaskCheck CheckBackupTask(const TBackupTask& Task, bool WithSources);
// The text shown for a result other than tcUsable.
QString TaskCheckText(TTaskCheck Result, const QString& FileName);
// "Separate directories for drives" (0), "Full original directory structure" (1), else
// "Invalid task configuration".
QString DestModeName(int DestMode);

// How a task's keys become a monitored directory's settings (what LoadTask takes from a task).
// 0 none, 1 gzip, 2 zip.
int TaskCompression(const TBackupTask& Task);
// The extensions not to compress: the task's list, the program-wide one for an empty value, none
// for "#".
QString TaskNoCompCommaText(const TBackupTask& Task, const QString& ProgramWide);
// The sub-directory list: double quotes around a value removed, absolute values left out.
QStringList TaskSubDirList(const TTaskSource& Source);
// Regular, mode and pattern of the file-name filter; a malformed pattern leaves the filter matching
// everything (the error is not raised). A mask filter matching everything is switched off.
void SetupTaskFileFilter(const TTaskSource& Source, TTextFilter& Filter);
// The directory-name filter from DirFilter: "#" before a regular expression ("##" for a mask that
// begins with "#"), "," between patterns. A malformed pattern is ignored.
void SetupTaskDirFilter(const QString& DirFilter, TTextFilter& Filter);

// The log file of a task (OvLauncher): LogName with its placeholders, taken relative to LogFolder
// unless absolute or still beginning with "%dest%"; the main program's log when LogName is empty.
// Empty when FileName is empty or does not exist (or cannot be read).
QString GetBackupLogName(const QString& FileName, const QString& LogFolder,
                         const TPlaceholderEnv& Env = TPlaceholderEnv::Current());
