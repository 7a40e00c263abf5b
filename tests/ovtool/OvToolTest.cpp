// ovtool as a user runs it: a real process, real files, exit codes and output.

#include "base/IniFileUtils.h"

#include "fixtures/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

struct TRun
{
    int ExitCode = -1;
    QString Out;
    QString Err;
};

TRun RunTool(const QStringList& Args,
             const QProcessEnvironment& Env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(Env);
    p.start(QStringLiteral(OVTOOL_PATH), Args);
    EXPECT_TRUE(p.waitForFinished(60000));
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

TRun RunToolWithInput(const QStringList& Args, const QByteArray& Input)
{
    QProcess p;
    p.start(QStringLiteral(OVTOOL_PATH), Args);
    p.write(Input);
    p.closeWriteChannel();
    EXPECT_TRUE(p.waitForFinished(60000));
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

QStringList Words(const char* Text)
{
    return QString::fromUtf8(Text).split(QLatin1Char(' '));
}

TEST(OvTool, IniSetGetAndDumpGoThroughTheSettingsFile)
{
    TTestDir dir;
    const QString ini = dir.Path(QStringLiteral("OvSentry.ini"));
    EXPECT_EQ(RunTool({QStringLiteral("ini"), QStringLiteral("set"), ini, QStringLiteral("Config"),
                       QStringLiteral("Interval"), QStringLiteral("30")})
                  .ExitCode,
              0);
    EXPECT_EQ(RunTool({QStringLiteral("ini"), QStringLiteral("set"), ini, QStringLiteral("Dir01"),
                       QStringLiteral("Task"), QStringLiteral("/home/ü/Täglich.buj")})
                  .ExitCode,
              0);
    EXPECT_TRUE(ReadAll(ini).startsWith("\xFF\xFE[\0U\0n\0i\0c\0o\0d\0e\0]\0"_qba));

    const TRun get = RunTool({QStringLiteral("ini"), QStringLiteral("get"), ini, QStringLiteral("config"),
                              QStringLiteral("INTERVAL")});
    EXPECT_EQ(get.ExitCode, 0);
    EXPECT_EQ(get.Out, QStringLiteral("30\n"));

    const TRun dump = RunTool({QStringLiteral("ini"), QStringLiteral("dump"), ini});
    EXPECT_EQ(dump.ExitCode, 0);
    EXPECT_EQ(dump.Out, QStringLiteral("[Unicode]\nEncoding=UTF-16LE\n[Config]\nInterval=30\n"
                                       "[Dir01]\nTask=/home/ü/Täglich.buj\n"));

    const TRun missing = RunTool({QStringLiteral("ini"), QStringLiteral("get"), ini, QStringLiteral("Config"),
                                  QStringLiteral("Nothing")});
    EXPECT_EQ(missing.ExitCode, 1);
    EXPECT_TRUE(missing.Err.contains(QStringLiteral("\"Nothing\""))) << missing.Err.toStdString();
}

TEST(OvTool, FailuresAndWrongCommandLines)
{
    TTestDir dir;
    const QString below = dir.Write(QStringLiteral("plain"), "x") + QStringLiteral("/x.ini");
    const TRun failed = RunTool({QStringLiteral("ini"), QStringLiteral("set"), below, QStringLiteral("A"),
                                 QStringLiteral("B"), QStringLiteral("C")});
    EXPECT_EQ(failed.ExitCode, 1);
    EXPECT_TRUE(failed.Err.contains(QStringLiteral("Error writing to \"%1\"").arg(below)))
        << failed.Err.toStdString();

    for (const QStringList& args :
         {QStringList{}, QStringList{QStringLiteral("nonsense")}, QStringList{QStringLiteral("ini")},
          QStringList{QStringLiteral("ini"), QStringLiteral("get"), QStringLiteral("f")},
          QStringList{QStringLiteral("info"), QStringLiteral("extra")}}) {
        const TRun r = RunTool(args);
        EXPECT_EQ(r.ExitCode, 2) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(r.Err.contains(QStringLiteral("usage:"))) << r.Err.toStdString();
    }
}

TEST(OvTool, InfoReportsFoldersLanguageAndTheMainProgram)
{
    TTestDir dir;
    dir.Write(QStringLiteral("bin/Orvanta"), "#!/bin/sh\n");
    dir.Write(QStringLiteral("machine.ini"),
              "[Software\\Orvanta6]\nProgram=" + dir.Path(QStringLiteral("bin/Orvanta")).toUtf8() + "\n");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), dir.Root());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.Path(QStringLiteral("cfg")));
    env.insert(QStringLiteral("OV_REGISTRY_MACHINE"), dir.Path(QStringLiteral("machine.ini")));
    env.insert(QStringLiteral("LANG"), QStringLiteral("de_DE.UTF-8"));
    env.remove(QStringLiteral("LC_ALL"));
    env.remove(QStringLiteral("LC_MESSAGES"));
    const TRun r = RunTool({QStringLiteral("info")}, env);
    EXPECT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    EXPECT_TRUE(
        r.Out.contains(QStringLiteral("suite folder:     %1/").arg(dir.Path(QStringLiteral("cfg/Orvanta6")))))
        << r.Out.toStdString();
    EXPECT_TRUE(r.Out.contains(QStringLiteral("language:         de"))) << r.Out.toStdString();
    EXPECT_TRUE(r.Out.contains(QStringLiteral("drive template:   Lw?"))) << r.Out.toStdString();
    EXPECT_TRUE(
        r.Out.contains(QStringLiteral("main program:     %1").arg(dir.Path(QStringLiteral("bin/Orvanta")))))
        << r.Out.toStdString();
}

TEST(OvTool, FilterPrintsTheNamesThatPass)
{
    TRun r = RunTool(Words("filter *.txt|*.doc a.TXT b.pdf c.doc README"));
    EXPECT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    EXPECT_EQ(r.Out, QStringLiteral("a.TXT\nc.doc\n"));
    r = RunToolWithInput(Words("filter --exclude *.tmp"), "x.tmp\r\ny.c\n\nMakefile");
    EXPECT_EQ(r.Out, QStringLiteral("y.c\nMakefile\n"));
    r = RunTool(Words("filter --regex --dirs ^tmp|cache tmp1 mycache x"));
    EXPECT_EQ(r.Out, QStringLiteral("tmp1\nmycache\n"));
    r = RunTool(Words("filter --sep ; *.a;*.b x.b x.c"));
    EXPECT_EQ(r.Out, QStringLiteral("x.b\n"));
    // A runaway expression ends as no match.
    r = RunTool({QStringLiteral("filter"), QStringLiteral("--regex"), QStringLiteral("(a+)+$"),
                 QString(3000, QLatin1Char('a')) + QLatin1Char('!'), QStringLiteral("aa")});
    EXPECT_EQ(r.Out, QStringLiteral("aa\n"));

    r = RunTool(Words("filter [abc x"));
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_TRUE(r.Err.contains(QStringLiteral("Illegal mask!"))) << r.Err.toStdString();
    r = RunTool(Words("filter --regex ( x"));
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_TRUE(r.Err.contains(QStringLiteral("Illegal regular expression!"))) << r.Err.toStdString();
    EXPECT_EQ(RunTool(Words("filter")).ExitCode, 2);
    EXPECT_EQ(RunTool(Words("filter --nonsense *")).ExitCode, 2);
}

TEST(OvTool, TaskCheckShowAndLogName)
{
    TTestDir dir;
    QDir().mkpath(dir.Path(QStringLiteral("src")));
    const QString good = dir.Write(
        QStringLiteral("Daily.buj"),
        Utf16LEWithMark(
            QStringLiteral("[Global]\r\nDestination=/srv/b\r\nCompress=1\r\nDirCount=2\r\n"
                           "LogName=%dest%/%taskname%.log\r\n[Dir001]\r\nSource=%1\r\nFilterMode=2\r\n"
                           "Filter=*.tmp\r\nDirFilter=#^cache\r\nSubCount=1\r\nSubDir000=\"docs\"\r\n")
                .arg(dir.Path(QStringLiteral("src")))));
    TRun r = RunTool({QStringLiteral("task"), QStringLiteral("check"), good});
    EXPECT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    EXPECT_EQ(r.Out, QStringLiteral("result 0\nDir001 %1\n").arg(dir.Path(QStringLiteral("src"))));

    r = RunTool({QStringLiteral("task"), QStringLiteral("show"), good});
    EXPECT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    for (const char* line :
         {"Compression=gzip\n", "FileFilter=exclude masks \"*.tmp\"\n",
          "DirFilter=include regex \"^cache\"\n", "SubDirs=all except docs\n", "[Dir001]\n"})
        EXPECT_TRUE(r.Out.contains(QString::fromUtf8(line))) << line << r.Out.toStdString();

    r = RunTool({QStringLiteral("task"), QStringLiteral("logname"), good, QStringLiteral("/var/log/ov")});
    EXPECT_EQ(r.Out, QStringLiteral("/srv/b/Daily.log\n"));

    const QString bad = dir.Write(QStringLiteral("Ftp.buj"), "[Global]\nFtpBackup=1\nDirCount=1\n");
    r = RunTool({QStringLiteral("task"), QStringLiteral("check"), bad});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_EQ(r.Out, QStringLiteral("result 1\n"));
    EXPECT_TRUE(r.Err.contains(QStringLiteral("has invalid settings!"))) << r.Err.toStdString();
    r = RunTool({QStringLiteral("task"), QStringLiteral("check"), dir.Path(QStringLiteral("none.buj"))});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_TRUE(r.Err.startsWith(QStringLiteral("Task file not found: "))) << r.Err.toStdString();
    EXPECT_EQ(RunTool({QStringLiteral("task"), QStringLiteral("show"), dir.Path(QStringLiteral("none.buj"))})
                  .ExitCode,
              1);
    EXPECT_EQ(RunTool(Words("task frobnicate x")).ExitCode, 2);
}

TEST(OvTool, PlaceholdersAndVolumes)
{
    TTestDir dir;
    const QString device = dir.Write(QStringLiteral("dev/sdb1"), "");
    QDir().mkpath(dir.Path(QStringLiteral("by-label")));
    ASSERT_TRUE(QFile::link(device, dir.Path(QStringLiteral("by-label/BACKUP"))));
    dir.Write(QStringLiteral("mountinfo"), QStringLiteral("22 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                                                          "40 22 8:17 / /media/anna/USB rw - vfat %1 rw\n")
                                               .arg(device)
                                               .toUtf8());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("OV_DISK_BY_LABEL"), dir.Path(QStringLiteral("by-label")));
    env.insert(QStringLiteral("OV_MOUNTINFO"), dir.Path(QStringLiteral("mountinfo")));

    TRun r = RunTool({QStringLiteral("volume"), QStringLiteral(":backup:/data")}, env);
    EXPECT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    EXPECT_EQ(r.Out, QStringLiteral("/media/anna/USB/data\n"));
    r = RunTool({QStringLiteral("volume"), QStringLiteral("/media/anna/USB/x")}, env);
    EXPECT_EQ(r.Out, QStringLiteral("/media/anna/USB\tBACKUP\n"));
    r = RunTool({QStringLiteral("volume"), QStringLiteral(":OTHER:/data")}, env);
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_TRUE(r.Err.contains(QStringLiteral("\"OTHER\""))) << r.Err.toStdString();

    r = RunTool({QStringLiteral("placeholders"), QStringLiteral("log"),
                 QStringLiteral("%drive%/logs/%volume%-%yam%"), QStringLiteral("--dest"),
                 QStringLiteral("/media/anna/USB/b"), QStringLiteral("--at"),
                 QStringLiteral("2019-07-04T06:07:08")},
                env);
    EXPECT_EQ(r.Out, QStringLiteral("/media/anna/USB/logs/BACKUP-2019-07\n"));
    r = RunTool({QStringLiteral("placeholders"), QStringLiteral("dest"),
                 QStringLiteral("/b/%volume%/%date%_%time%/%v#3%"), QStringLiteral("--volume"),
                 QStringLiteral("Data"), QStringLiteral("--counter"), QStringLiteral("4"),
                 QStringLiteral("--at"), QStringLiteral("2010-12-04T14:05:09")});
    EXPECT_EQ(r.Out, QStringLiteral("/b/Data/2010-12-04_140509/1\n"));
    EXPECT_EQ(RunTool(Words("placeholders date x --at yesterday")).ExitCode, 2);
    EXPECT_EQ(RunTool(Words("placeholders nonsense x")).ExitCode, 2);
}

} // namespace
