#pragma once
// OvSentry's backup of one monitored directory: a worker thread copies each changed file to the
// task's destination, one after another through a copy thread, compressed where the task asks for
// it, keeps older versions as ".bak-N" and reports one log line per file to the thread that
// created it. The destination naming is a set of pure functions beside it.
//
// Names in the Windows forms ("C:\x", "\\server\share\x") are read the way Windows reads them,
// so that naming follows the suite's rules; names of this host have no drive part and pass through
// the naming unchanged.

#include "ShowFilter.h"

#include "copy/ExtFileTools.h"

#include <QDateTime>
#include <QString>
#include <QThread>

#include <atomic>
#include <functional>

// Receives one log line.
using TGetStrProc = std::function<void(const QString&)>;

// The drive part of a name: "C:" or "\\server\share"; empty for a name without one.
QString BackupDrivePart(const QString& Path);
// The name without its drive part; the whole name when it has none.
QString PathBelowDrive(const QString& Path);
// The folder of a drive under "separate directories for drives", from the template and the drive
// part, with a trailing delimiter: "\\srv\share" gives "srv\share\", a letter replaces every "?"
// of the template or is appended to it. Empty for an empty drive part.
QString DriveDirectory(const QString& Template, const QString& DrivePart);
// Joins two names with exactly one delimiter between them; an empty part gives the other unchanged.
QString JoinBackupPath(const QString& Left, const QString& Right);
// The destination of a source file (without a compression suffix): Dest, then the drive directory
// when DrvTemplate is set, then the source below its drive.
QString BackupDestName(const QString& Dest, const QString& DrvTemplate, const QString& SourcePath);
// The extension of the last part of a name, without its dot; empty when it has none.
QString BackupFileExt(const QString& Name);
// Puts Marker before the extension of the last part of Name ("doc.txt" + ".bak-2" gives
// "doc.bak-2.txt", "README" gives "README.bak-2").
QString InsertNameMarker(const QString& Name, const QString& Marker);
// The name of the K-th older version of DestName with the compression suffix.
QString VersionName(const QString& DestName, int K, const QString& Suffix);
// Whether a source, once its drive part is removed, can be placed below a destination: it has no
// "." or ".." part and no NUL, so the copy never lands outside the destination.
bool IsSafeBelowDestination(const QString& SourcePath);

// What a copy of one file looks like: the suffix of the destination name and the copy options.
struct TCompressChoice
{
    QString Suffix;
    TCopyOptions Options;
};
// Compress: 0 none, 1 gzip, 2 zip. Excluded: the file's type is in the no-compress list.
TCompressChoice ChooseCompression(int Compress, bool Excluded);

// The log line's time stamp: the locale's short date and long time.
QString BackupLogTime(const QDateTime& Time);

class TBackupThread : public QThread
{
public:
    // Starts at once. The names of AFileList are relative to SourceDir and are copied, so the
    // caller may clear its list at once. ASendMsg runs on the creating thread, which must keep
    // processing events while the thread runs.
    TBackupThread(int AId, const QString& DestDir, const QString& SourceDir, const QString& DrvId,
                  const QString& NoComp, const TMatchList& AFileList, int ACompress, int ARetain,
                  TGetStrProc ASendMsg);
    // Stops after the file being copied (its copy cancelled) and waits; lines not yet delivered
    // are dropped.
    ~TBackupThread() override;

    // Set when every file has been processed; the owner then frees the thread.
    bool Terminated() const { return FTerminated.load(std::memory_order_acquire); }

    static constexpr int CopyBufferSize = 524288;
    // The attribute bits a backup copy takes over from its source: read-only, hidden, system,
    // archive, normal, temporary, offline, not content indexed.
    static constexpr std::uint32_t AttributeMask = 0x31A7;

protected:
    void run() override;

private:
    struct TFileResult
    {
        int Code = 0;       // 0, a copy error code, or with SysStep a system error code
        int SysStep = 0;    // the copy-engine message naming the step that failed with a system code
        QString FailedName; // the file that step was about
        int Moves = 0;      // versions moved
    };

    TFileResult BackupFile(const QString& SourcePath);
    int CopyOneFile(const QString& Source, const QString& Target, TCopyOptions Options);
    void ReplaceWithVersions(const QString& Source, const QString& DestName, const QString& Suffix,
                             const QString& Temp, TFileResult& Result);
    QString BuildLine(const QString& SourcePath, const TFileResult& Result) const;
    void SendLine(const QString& Line);

    TMatchList FFileList;
    TMatchList FNoCompList;
    int FId;
    int FCompress;
    int FRetain;
    QString FMsg;
    QString FDest;
    QString FBase;
    QString FDrv;
    TGetStrProc FOnStringMsg;

    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FStop{false};
};
