#include "BackupThread.h"

#include "base/DriveUtils.h"

#include "copy/CopyErrors.h"
#include "copy/FileData.h"

#include "platform/FileSystem.h"
#include "platform/PathRules.h"
#include "platform/SysErrors.h"

#include <QCoreApplication>
#include <QLocale>
#include <QRandomGenerator>

#include <memory>

namespace {

// The copy engine's message numbers of the steps that fail with a system code.
constexpr int ceDeleteFile = 0x126;
// "Could not rename temporary file".
constexpr int ceRenameTemp = 0x123;

// A log line's second line starts on a new line of this host.
constexpr char LogLineBreak[] = "\n";

bool IsWindowsForm(const QString& Path)
{
    return !ExtractFileDrive(Path).isEmpty();
}

QChar Delimiter(bool Windows)
{
    return Windows ? QLatin1Char('\\') : Platform::PathDelimiter();
}

bool IsDelimiter(QChar C, bool Windows)
{
    return Windows ? (C == QLatin1Char('\\') || C == QLatin1Char('/')) : Platform::IsPathDelimiter(C);
}

qsizetype LastDelimiter(const QString& Name, bool Windows)
{
    for (qsizetype i = Name.size() - 1; i >= 0; --i)
        if (IsDelimiter(Name.at(i), Windows)) return i;
    return -1;
}

QString Join(const QString& Left, const QString& Right, bool Windows)
{
    if (Left.isEmpty()) return Right;
    if (Right.isEmpty()) return Left;
    qsizetype end = Left.size();
    while (end > 0 && IsDelimiter(Left.at(end - 1), Windows))
        --end;
    qsizetype start = 0;
    while (start < Right.size() && IsDelimiter(Right.at(start), Windows))
        ++start;
    return Left.left(end) + Delimiter(Windows) + Right.mid(start);
}

QString FolderOf(const QString& Name)
{
    return Name.left(LastDelimiter(Name, IsWindowsForm(Name)) + 1);
}

QString XL(const QString& Path)
{
    return ExtendedLengthPath(Path);
}

// Deletes a file, clearing its read-only attribute first: 0, or ErrFileNotFound when the attributes
// cannot be read, or the system code of the step that failed (the file is then kept).
int DeleteBackupFile(const QString& Name)
{
    std::uint32_t attrs = 0;
    if (Platform::GetFileAttributes(XL(Name), attrs) != 0) return Platform::ErrFileNotFound;
    if (attrs & Platform::faReadOnly)
        if (const int err = Platform::SetFileAttributes(XL(Name), attrs & ~Platform::faReadOnly)) return err;
    return Platform::DeleteFile(XL(Name));
}

bool Exists(const QString& Name)
{
    return Platform::FileExists(XL(Name));
}

// A new empty file beside Name for the copy that replaces Name: its own name, so that it neither
// meets a backed-up file of that name nor the copy of another thread.
QString CreateTempBeside(const QString& Name, int& Error)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString temp = Name + QStringLiteral(".%1.tmp").arg(QRandomGenerator::global()->generate(), 8,
                                                                  16, QLatin1Char('0'));
        Platform::TFile file;
        Error = file.CreateNew(XL(temp));
        if (Error == 0) return temp;
        if (Error != Platform::ErrFileExists) return {};
    }
    return {};
}

} // namespace

QString BackupDrivePart(const QString& Path)
{
    return ExtractFileDrive(Path);
}

QString PathBelowDrive(const QString& Path)
{
    return Path.mid(ExtractFileDrive(Path).size());
}

QString DriveDirectory(const QString& Template, const QString& DrivePart)
{
    QString dir;
    if (DrivePart.startsWith(QLatin1String("\\\\"))) {
        dir = DrivePart.mid(2);
    } else if (!DrivePart.contains(QLatin1Char(':'))) {
        dir = DrivePart;
    } else {
        QChar letter = DrivePart.at(0);
        if (letter >= QLatin1Char('a') && letter <= QLatin1Char('z')) letter = letter.toUpper();
        dir = Template;
        if (dir.contains(QLatin1Char('?')))
            dir.replace(QLatin1Char('?'), letter);
        else
            dir += letter;
    }
    if (!dir.isEmpty() && !IsDelimiter(dir.back(), true)) dir += QLatin1Char('\\');
    return dir;
}

QString JoinBackupPath(const QString& Left, const QString& Right)
{
    return Join(Left, Right, IsWindowsForm(Left) || IsWindowsForm(Right));
}

QString BackupDestName(const QString& Dest, const QString& DrvTemplate, const QString& SourcePath)
{
    const bool windows = IsWindowsForm(Dest) || IsWindowsForm(SourcePath);
    const QString base = DrvTemplate.isEmpty()
                             ? Dest
                             : Join(Dest, DriveDirectory(DrvTemplate, ExtractFileDrive(SourcePath)), windows);
    return Join(base, PathBelowDrive(SourcePath), windows);
}

QString BackupFileExt(const QString& Name)
{
    const qsizetype dot = Name.lastIndexOf(QLatin1Char('.'));
    return dot > LastDelimiter(Name, IsWindowsForm(Name)) ? Name.mid(dot + 1) : QString();
}

QString InsertNameMarker(const QString& Name, const QString& Marker)
{
    const qsizetype dot = Name.lastIndexOf(QLatin1Char('.'));
    if (dot <= LastDelimiter(Name, IsWindowsForm(Name))) return Name + Marker;
    return Name.left(dot) + Marker + Name.mid(dot);
}

QString VersionName(const QString& DestName, int K, const QString& Suffix)
{
    return InsertNameMarker(DestName, QStringLiteral(".bak-%1").arg(K)) + Suffix;
}

bool IsSafeBelowDestination(const QString& SourcePath)
{
    const QString below = PathBelowDrive(SourcePath);
    if (below.contains(QChar(0))) return false;
    const bool windows = IsWindowsForm(SourcePath);
    qsizetype start = 0;
    for (qsizetype i = 0; i <= below.size(); ++i) {
        if (i < below.size() && !IsDelimiter(below.at(i), windows)) continue;
        const QStringView part = QStringView(below).mid(start, i - start);
        if (part == u"." || part == u"..") return false;
        start = i + 1;
    }
    return true;
}

TCompressChoice ChooseCompression(int Compress, bool Excluded)
{
    TCompressChoice c{QString(), {coOverwrite, coAttributes, coTimeStamp}};
    if (Compress == 1 && !Excluded) {
        c.Suffix = QStringLiteral(".gz");
        c.Options += coCompress;
    } else if (Compress == 2) {
        c.Suffix = QStringLiteral(".zip");
        c.Options += coZipCompress;
        if (!Excluded) c.Options += coCompress;
    }
    return c;
}

QString BackupLogTime(const QDateTime& Time)
{
    const QLocale locale = QLocale::system();
    // The long time format may name the time zone, which a time of day alone does not have.
    QString time = locale.timeFormat(QLocale::LongFormat);
    time.remove(QLatin1Char('t'));
    return locale.toString(Time.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(Time.time(), time.trimmed());
}

TBackupThread::TBackupThread(int AId, const QString& DestDir, const QString& SourceDir, const QString& DrvId,
                             const QString& NoComp, const TMatchList& AFileList, int ACompress, int ARetain,
                             TGetStrProc ASendMsg)
    : FFileList(AFileList), FId(AId), FCompress(ACompress), FRetain(ARetain), FDest(DestDir),
      FBase(SourceDir), FDrv(DrvId), FOnStringMsg(std::move(ASendMsg))
{
    FNoCompList.SetCommaText(NoComp);
    start();
}

TBackupThread::~TBackupThread()
{
    FStop.store(true);
    // A line on its way waits for this thread: deliver it (the sink is skipped now) until the
    // worker has ended.
    while (!wait(20))
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

void TBackupThread::run()
{
    for (const QString& name : FFileList) {
        if (FStop.load()) break;
        const QString source = JoinBackupPath(FBase, name);
        const TFileResult result = BackupFile(source);
        if (FOnStringMsg) {
            FMsg = BuildLine(source, result);
            SendLine(FMsg);
        }
    }
    FTerminated.store(true, std::memory_order_release);
}

TBackupThread::TFileResult TBackupThread::BackupFile(const QString& SourcePath)
{
    TFileResult r;
    if (!IsSafeBelowDestination(SourcePath)) {
        r.Code = Platform::ErrInvalidParameter;
        r.SysStep = ceCreateDest;
        r.FailedName = SourcePath;
        return r;
    }
    const QString destName = BackupDestName(FDest, FDrv, SourcePath);
    const TCompressChoice choice =
        ChooseCompression(FCompress, FNoCompList.Contains(BackupFileExt(SourcePath)));
    // A folder that cannot be created makes the copy fail, which reports it.
    Platform::ForceDirectories(XL(FolderOf(destName)));

    const QString final = destName + choice.Suffix;
    const bool existed = Exists(final);
    QString target = final;
    if (existed) {
        int err = 0;
        target = CreateTempBeside(final, err);
        if (target.isEmpty()) {
            r.Code = err;
            r.SysStep = ceCreateDest;
            r.FailedName = final;
            return r;
        }
    }

    r.Code = CopyOneFile(SourcePath, target, choice.Options);
    if (r.Code != 0 && !IsCopyWarning(r.Code)) {
        // An incomplete copy is no backup: the temporary file goes, and so does a first copy
        // that the copy created and could not finish. The previous copy stays as it was.
        if (existed || (r.Code & 0xFFF) != ceCreateDest) Platform::DeleteFile(XL(target));
        return r;
    }
    if (existed && Exists(target)) ReplaceWithVersions(SourcePath, destName, choice.Suffix, target, r);
    return r;
}

int TBackupThread::CopyOneFile(const QString& Source, const QString& Target, TCopyOptions Options)
{
    std::unique_ptr<TWinCopyThread> copy;
    try {
        copy = std::make_unique<TWinCopyThread>(Source, Target, nullptr, Options, false, CopyBufferSize,
                                                QThread::NormalPriority);
    } catch (...) {
        return ceCreateDest | etCopy;
    }
    while (!copy->wait(QDeadlineTimer(50)))
        if (FStop.load()) copy->CancelThread();
    const int code = copy->ErrorCode();
    try {
        copy.reset();
    } catch (...) {
    }
    return code;
}

void TBackupThread::ReplaceWithVersions(const QString& Source, const QString& DestName, const QString& Suffix,
                                        const QString& Temp, TFileResult& Result)
{
    const QString final = DestName + Suffix;
    int code = 0;
    if (FRetain <= 0) {
        if (Exists(final)) {
            code = DeleteBackupFile(final);
            Result.FailedName = final;
        }
    } else {
        for (int k = FRetain; k >= 2; --k) {
            const QString older = VersionName(DestName, k, Suffix);
            const QString newer = VersionName(DestName, k - 1, Suffix);
            if (Exists(newer) && (!Exists(older) || DeleteBackupFile(older) == 0) &&
                Platform::RenameFile(XL(newer), XL(older)) == 0)
                ++Result.Moves;
        }
        const QString first = VersionName(DestName, 1, Suffix);
        code = Exists(first) ? DeleteBackupFile(first) : 0;
        Result.FailedName = first;
        if (code == 0) {
            code = Platform::RenameFile(XL(final), XL(first));
            if (code == 0) ++Result.Moves;
        }
        // The previous version cannot become a version: it goes, so that the new copy takes
        // its place.
        if (code != 0) {
            code = DeleteBackupFile(final);
            Result.FailedName = final;
        }
    }
    if (code != 0) {
        // The new copy stays under its temporary name.
        Result.Code = code;
        Result.SysStep = ceDeleteFile;
        return;
    }
    Result.FailedName.clear();
    std::uint32_t attrs = 0;
    const bool haveAttrs = Platform::GetFileAttributes(XL(Source), attrs) == 0;
    if (Platform::RenameFile(XL(Temp), XL(final)) != 0) {
        Result.Code = ceRenameTemp;
        return;
    }
    // Attributes that cannot be read are not set: the copy has taken over the source's already.
    if (haveAttrs && Platform::SetFileAttributes(XL(final), attrs & AttributeMask) != 0)
        Result.Code = ceRenameTemp;
}

QString TBackupThread::BuildLine(const QString& SourcePath, const TFileResult& Result) const
{
    QString line = BackupLogTime(QDateTime::currentDateTime()) + QStringLiteral(" - ") +
                   QStringLiteral("%1").arg(FId, 2, 10, QLatin1Char('0')) + QStringLiteral(": ") +
                   SourcePath + QStringLiteral(" => ") + FDest;
    if (Result.Moves > 0) line += QStringLiteral(" (+%1)").arg(Result.Moves);
    if (Result.Code != 0) {
        line += QLatin1String(LogLineBreak) + QStringLiteral("  *** ");
        // A system code is not in the copy engine's scheme: the step, the file and the system's
        // own text tell what went wrong.
        line += Result.SysStep ? CopyErrorText(Result.SysStep, Result.FailedName, SysErrorText(Result.Code))
                               : CopyErrorText(Result.Code, QString(), QString());
    }
    return line;
}

void TBackupThread::SendLine(const QString& Line)
{
    QMetaObject::invokeMethod(
        this,
        [this, Line] {
            if (!FStop.load()) FOnStringMsg(Line);
        },
        Qt::BlockingQueuedConnection);
}
