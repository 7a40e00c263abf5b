#include "base/TaskFile.h"

#include "base/TextFilter.h"

#include "fixtures/Faults.h"
#include "fixtures/TestFiles.h"

#include "platform/SysErrors.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

// A task file as the main program writes it: UTF-16LE with its mark, CR LF line ends.
QString WriteTask(const TTestDir& Dir, const QString& Name, const QString& Text)
{
    QString crlf = Text;
    crlf.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return Dir.Write(Name, Utf16LEWithMark(crlf));
}

TPlaceholderEnv FixedEnv(Platform::TVolumes* Volumes = nullptr)
{
    return {QDateTime(QDate(2010, 12, 4), QTime(14, 5, 9)), QLocale(QLocale::English), QStringLiteral("anna"),
            QStringLiteral("pc1"), Volumes};
}

TEST(TaskFile, ReadsTheKeysWithTheirDefaults)
{
    TTestDir dir;
    const QString bare = WriteTask(dir, QStringLiteral("Bare.buj"), QStringLiteral("[Global]\n"));
    const TBackupTask d = ReadBackupTask(bare, QStringLiteral("Drv?"));
    EXPECT_EQ(d.FileName, bare);
    EXPECT_EQ(d.Destination, QString());
    EXPECT_EQ(d.DestMode, 0);
    EXPECT_EQ(d.DriveId, QStringLiteral("Drv?"));
    EXPECT_FALSE(d.Compress);
    EXPECT_FALSE(d.CompressAsZip);
    EXPECT_FALSE(d.FtpBackup);
    EXPECT_EQ(d.Encrypt, 0);
    EXPECT_EQ(d.DirCount, 0);
    EXPECT_EQ(d.BackupCount, 1);
    EXPECT_TRUE(d.Sources.isEmpty());

    // UTF-8 with its mark, lower-case keys, a source with every key missing.
    const QString full =
        dir.Write(QStringLiteral("Full.buj"), "\xEF\xBB\xBF[global]\r\ndestination=/media/Sicherung ü\r\n"
                                              "DestMode=1\r\nDriveId=Lw?\r\nCompress=1\r\nCompressAsZip=7\r\n"
                                              "NoCompTypes=zip,7z\r\nDirCount=2\r\nLogName=x.log\r\n"
                                              "BackupCount=5\r\n[Dir001]\r\nSource=/src\r\n"
                                              "[Dir000]\r\nVolume=Data\r\n"_qba);
    const TBackupTask t = ReadBackupTask(full);
    EXPECT_EQ(t.Destination, QStringLiteral("/media/Sicherung ü"));
    EXPECT_EQ(t.DestMode, 1);
    EXPECT_EQ(t.DriveId, QStringLiteral("Lw?"));
    EXPECT_EQ(TaskCompression(t), 2);
    EXPECT_EQ(t.BackupCount, 5);
    EXPECT_EQ(t.Volume, QStringLiteral("Data"));
    ASSERT_EQ(t.Sources.size(), 2);
    EXPECT_EQ(t.Sources[0].Index, 0); // in index order, whatever the order in the file
    EXPECT_EQ(t.Sources[1].Source, QStringLiteral("/src"));
    const TTaskSource& s = t.Sources[1];
    EXPECT_FALSE(s.Regular);
    EXPECT_EQ(s.FilterMode, 0);
    EXPECT_EQ(s.Filter, QStringLiteral("*"));
    EXPECT_EQ(s.BackupMode, 0);
    EXPECT_FALSE(s.IncludeDirs);
    EXPECT_TRUE(s.SubDirs.isEmpty());
}

TEST(TaskFile, ChecksWhetherDirectBackupCanUseTheTask)
{
    const struct
    {
        const char* Global;
        TTaskCheck Expected;
    } cases[] = {
        {"Destination=/media/b\nDirCount=1", tcUsable},
        {"Destination=E:\\Back%up\nDirCount=1", tcUsable},
        {"Destination=E:\\Backup\\%date%\nDirCount=1", tcInvalidSettings},
        {"Destination=E:\\Backup\\%date\nDirCount=1", tcUsable},
        {"Destination=/b\nDestMode=1\nDirCount=1", tcUsable},
        {"Destination=/b\nDestMode=2\nDirCount=1", tcInvalidSettings},
        {"Destination=/b\nDestMode=-1\nDirCount=1", tcInvalidSettings},
        {"Destination=/b\nFtpBackup=1\nDirCount=1", tcInvalidSettings},
        {"Destination=/b\nEncrypt=2\nDirCount=1", tcInvalidSettings},
        {"Destination=/b\nDirCount=0", tcInvalidSettings}, // with a source list asked for
    };
    TTestDir dir;
    for (const auto& c : cases) {
        const QString file =
            WriteTask(dir, QStringLiteral("T.buj"),
                      QStringLiteral("[Global]\n") + QString::fromUtf8(c.Global) + QStringLiteral("\n"));
        QList<TTaskSourceDir> sources;
        EXPECT_EQ(CheckTaskFile(file, &sources), c.Expected) << c.Global;
    }
    const QString noSources =
        WriteTask(dir, QStringLiteral("N.buj"), QStringLiteral("[Global]\nDestination=/b\n"));
    EXPECT_EQ(CheckTaskFile(noSources), tcUsable);
    EXPECT_EQ(CheckTaskFile(dir.Path(QStringLiteral("missing.buj"))), tcNotFound);
    QDir().mkpath(dir.Path(QStringLiteral("folder.buj")));
    EXPECT_EQ(CheckTaskFile(dir.Path(QStringLiteral("folder.buj"))), tcNotFound);
    TRefuse refuse(Platform::TFileOp::Open, QStringLiteral("N.buj"), Platform::ErrAccessDenied);
    Platform::TScopedFaultInjector installed(refuse);
    EXPECT_EQ(CheckTaskFile(noSources), tcUnreadable);
    try {
        ReadBackupTask(noSources);
        ADD_FAILURE() << "no error";
    } catch (const ETaskFileError& e) {
        EXPECT_EQ(e.ErrorCode(), Platform::ErrAccessDenied);
        EXPECT_EQ(e.Message(), Platform::SysErrorMessage(Platform::ErrAccessDenied));
    }
}

TEST(TaskFile, CollectsExistingSourcesByTheirIndex)
{
    TTestDir dir;
    QDir().mkpath(dir.Path(QStringLiteral("a")));
    QDir().mkpath(dir.Path(QStringLiteral("c")));
    QDir().mkpath(dir.Path(QStringLiteral("d")));
    const QString file = WriteTask(
        dir, QStringLiteral("T.buj"),
        QStringLiteral("[Global]\nDestination=/b\nDirCount=3\n[Dir000]\nSource=%1\n[Dir002]\nSource=%2\n"
                       "[Dir003]\nSource=%3\n[Dir2]\nSource=%3\n[Dir0001]\nSource=%3\n[Dir001x]\nSource=%3\n")
            .arg(dir.Path(QStringLiteral("a")), dir.Path(QStringLiteral("c")),
                 dir.Path(QStringLiteral("d"))));
    QList<TTaskSourceDir> sources;
    EXPECT_EQ(CheckTaskFile(file, &sources), tcUsable);
    ASSERT_EQ(sources.size(), 2);
    EXPECT_EQ(sources[0].Dir, dir.Path(QStringLiteral("a")));
    EXPECT_EQ(sources[0].Index, 0);
    EXPECT_EQ(sources[1].Dir, dir.Path(QStringLiteral("c")));
    EXPECT_EQ(sources[1].Index, 2);

    // A source that is no existing directory is left out.
    QDir(dir.Path(QStringLiteral("c"))).removeRecursively();
    EXPECT_EQ(CheckTaskFile(file, &sources), tcUsable);
    EXPECT_EQ(sources.size(), 1);
}

TEST(TaskFile, HugeCountsCostNothing)
{
    TTestDir dir;
    const QString file =
        WriteTask(dir, QStringLiteral("T.buj"),
                  QStringLiteral("[Global]\nDirCount=2147483647\n[Dir1999999999]\nSource=/x\n"
                                 "[Dir000]\nSubCount=2147483647\nSubDir000=a\nSubDir99999999=z\n"));
    const TBackupTask task = ReadBackupTask(file); // a loop over the counts would not end
    ASSERT_EQ(task.Sources.size(), 1);
    EXPECT_EQ(task.Sources[0].SubDirs, (QStringList{QStringLiteral("a"), QStringLiteral("z")}));
    EXPECT_EQ(task.SourceAt(1), nullptr);
}

TEST(TaskFile, ConditionTextsAndMethodNames)
{
    EXPECT_EQ(TaskCheckText(tcInvalidSettings, QStringLiteral("/t/Daily.buj")),
              QStringLiteral("The backup task \"/t/Daily.buj\" has invalid settings!\n"
                             "The following conditions must be met for OvSentry:\n"
                             "Backup method: Separate files - Separate directories for drives\n"
                             "or Original full directory structure, no FTP, no encryption, no placeholders"));
    EXPECT_EQ(TaskCheckText(tcNotFound, QStringLiteral("x.buj")),
              QStringLiteral("Task file not found: x.buj"));
    EXPECT_EQ(TaskCheckText(tcUnreadable, QStringLiteral("x.buj")),
              QStringLiteral("Error reading from backup task: x.buj"));
    EXPECT_EQ(TaskCheckText(tcUsable, QStringLiteral("x.buj")), QString());
    EXPECT_EQ(DestModeName(0), QStringLiteral("Separate directories for drives"));
    EXPECT_EQ(DestModeName(1), QStringLiteral("Full original directory structure"));
    EXPECT_EQ(DestModeName(5), QStringLiteral("Invalid task configuration"));
}

TEST(TaskFile, MapsTheSelectionKeys)
{
    TBackupTask t;
    EXPECT_EQ(TaskNoCompCommaText(t, QStringLiteral("zip,gz")), QStringLiteral("zip,gz"));
    t.NoCompTypes = QStringLiteral("#");
    EXPECT_EQ(TaskNoCompCommaText(t, QStringLiteral("zip,gz")), QString());
    t.NoCompTypes = QStringLiteral("mp3");
    EXPECT_EQ(TaskNoCompCommaText(t, QStringLiteral("zip,gz")), QStringLiteral("mp3"));
    EXPECT_EQ(TaskCompression(t), 0);
    t.Compress = true;
    EXPECT_EQ(TaskCompression(t), 1);

    TTaskSource s;
    s.SubDirs = {QStringLiteral("\\abs\\path"), QStringLiteral("C:\\x"), QStringLiteral("/abs"),
                 QStringLiteral("\"docs\""),    QStringLiteral("a/b"),   QString(),
                 QStringLiteral("\"")};
    EXPECT_EQ(TaskSubDirList(s),
              (QStringList{QStringLiteral("docs"), QStringLiteral("a/b"), QStringLiteral("\"")}));

    const struct
    {
        const char* DirFilter;
        bool Regular;
        TFilterMode Mode;
        const char* Filter;
    } dirCases[] = {
        {"#^tmp", true, fmInclude, "^tmp"}, {"##tmp", false, fmInclude, "#tmp"},
        {"a,b", false, fmInclude, "a|b"},   {"", false, fmOff, "*"},
        {"#", false, fmInclude, "*"},       {"[x,y*", false, fmInclude, "*"},
        {"#(", true, fmInclude, "."},
    };
    for (const auto& c : dirCases) {
        TTextFilter f(false, true);
        SetupTaskDirFilter(QString::fromUtf8(c.DirFilter), f);
        EXPECT_EQ(f.Regular(), c.Regular) << c.DirFilter;
        EXPECT_EQ(f.Mode(), c.Mode) << c.DirFilter;
        EXPECT_EQ(f.Filter(), QString::fromUtf8(c.Filter)) << c.DirFilter;
    }
    TTextFilter dirs(false, true);
    SetupTaskDirFilter(QStringLiteral("#^tmp"), dirs);
    EXPECT_TRUE(dirs.MatchesFilter(QStringLiteral("TMPfiles")));
    EXPECT_FALSE(dirs.MatchesFilter(QStringLiteral("old-tmp")));

    const struct
    {
        bool Regular;
        int FilterMode;
        const char* Filter;
        TFilterMode Mode;
        const char* Stored;
    } fileCases[] = {
        {false, 1, "*.*", fmOff, "*"},
        {false, 1, "*", fmOff, "*"},
        {false, 2, "*.tmp|~*", fmExclude, "*.tmp|~*.*"},
        {false, 1, "[bad", fmOff, "*"},
        {true, 1, "*.*", fmInclude, "."},
        {true, 1, "\\.doc$", fmInclude, "\\.doc$"},
        {true, 2, "(", fmExclude, "."},
        {false, 9, "*.doc", fmOff, "*.doc"},
    };
    for (const auto& c : fileCases) {
        TTaskSource src;
        src.Regular = c.Regular;
        src.FilterMode = c.FilterMode;
        src.Filter = QString::fromUtf8(c.Filter);
        TTextFilter f(true, true);
        SetupTaskFileFilter(src, f);
        EXPECT_EQ(f.Mode(), c.Mode) << c.Filter;
        EXPECT_EQ(f.Filter(), QString::fromUtf8(c.Stored)) << c.Filter;
    }
}

TEST(TaskFile, LogNameOfATask)
{
    TTestDir dir;
    Platform::TVolumeTable volumes;
    volumes.Add(QStringLiteral("/media/anna/USB"), QStringLiteral("BACKUP"));
    const TPlaceholderEnv env = FixedEnv(&volumes);
    const QString logs = dir.Path(QStringLiteral("logs"));
    auto logName = [&](const QString& Global, const QString& Dir000 = QString()) {
        const QString file =
            WriteTask(dir, QStringLiteral("Daily.buj"),
                      QStringLiteral("[Global]\n") + Global + QStringLiteral("\n[Dir000]\n") + Dir000);
        return GetBackupLogName(file, logs, env);
    };
    EXPECT_EQ(logName(QStringLiteral("LogName=%dest%\\%taskname%.log\nDestination=E:\\B")),
              QStringLiteral("E:\\B\\Daily.log"));
    EXPECT_EQ(logName(QStringLiteral("LogName=%DEST%/%TaskName%.log\nDestination=/srv/b")),
              QStringLiteral("/srv/b/Daily.log"));
    EXPECT_EQ(logName(QStringLiteral("Destination=/srv/b")), logs + QStringLiteral("/Orvanta.log"));
    EXPECT_EQ(logName(QStringLiteral("LogName=%taskname%-%date%.log")),
              logs + QStringLiteral("/Daily-2010-12-04.log"));
    EXPECT_EQ(logName(QStringLiteral("LogName=/var/log/%yam%.log")), QStringLiteral("/var/log/2010-12.log"));
    // The volume-label form is resolved; %volume% and the counters of the destination are filled in.
    EXPECT_EQ(
        logName(QStringLiteral("LogName=%dest%/%taskname%.log\nDestination=:backup:/data/%volume%/%v#3%\n"
                               "BackupCount=5"),
                QStringLiteral("Volume=Src\n")),
        QStringLiteral("/media/anna/USB/data/Src/2/Daily.log"));
    // Without a destination %dest% is empty, and the rest is taken relative to the log folder.
    EXPECT_EQ(logName(QStringLiteral("LogName=%dest%x.log")), logs + QStringLiteral("/x.log"));
    EXPECT_EQ(GetBackupLogName(QString(), logs, env), QString());
    EXPECT_EQ(GetBackupLogName(dir.Path(QStringLiteral("none.buj")), logs, env), QString());
}

} // namespace
