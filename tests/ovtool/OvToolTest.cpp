// ovtool as a user runs it: a real process, real files, exit codes and output.

#include "base/IniFileUtils.h"

#include "fixtures/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTimeZone>
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

TEST(OvTool, WatchPrintsChangesAndEndsOnRequestOrAfterItsTime)
{
    TTestDir dir;
    dir.Write(QStringLiteral("sub/old.txt"), "1");
    QProcess p;
    p.start(QStringLiteral(OVTOOL_PATH), {QStringLiteral("watch"), dir.Root()});
    p.setReadChannel(QProcess::StandardError);
    QByteArray err;
    while (!err.contains("watching") && p.waitForReadyRead(60000))
        err += p.readAllStandardError();
    ASSERT_TRUE(err.contains("watching")) << err.toStdString();

    dir.Write(QStringLiteral("sub/old.txt"), "2");
    dir.Write(QStringLiteral("new dir/ü.txt"), "x");
    const QByteArray expected = "modified\tsub/old.txt\nadded\tnew dir\n";
    p.setReadChannel(QProcess::StandardOutput);
    QByteArray out;
    while (!out.contains("added\tnew dir/\xC3\xBC.txt\n") && p.waitForReadyRead(60000))
        out += p.readAllStandardOutput();
    EXPECT_TRUE(out.startsWith(expected)) << out.toStdString();
    EXPECT_TRUE(out.contains("added\tnew dir/\xC3\xBC.txt\n")) << out.toStdString();

    p.terminate(); // SIGTERM: a clean end
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);

    const TRun timed = RunTool({QStringLiteral("watch"), QStringLiteral("--seconds"), QStringLiteral("0"),
                                QStringLiteral("--no-subtree"), dir.Root()});
    EXPECT_EQ(timed.ExitCode, 0) << timed.Err.toStdString();
    const TRun missing = RunTool({QStringLiteral("watch"), dir.Path(QStringLiteral("missing"))});
    EXPECT_EQ(missing.ExitCode, 1);
    EXPECT_TRUE(missing.Err.contains(QStringLiteral("Error trying to create file handle")))
        << missing.Err.toStdString();
    for (const QStringList& args :
         {QStringList{QStringLiteral("watch")},
          QStringList{QStringLiteral("watch"), QStringLiteral("--seconds"), QStringLiteral("x"), dir.Root()},
          QStringList{QStringLiteral("watch"), dir.Root(), QStringLiteral("second")}})
        EXPECT_EQ(RunTool(args).ExitCode, 2) << args.join(QLatin1Char(' ')).toStdString();
}

} // namespace

namespace {

TEST(OvTool, EncryptAndDecryptTheContainer)
{
    TTestDir dir;
    QByteArray plain(300000, '\0');
    for (int i = 0; i < plain.size(); ++i)
        plain[i] = char(i * 7 % 251);
    const QString src = dir.Write(QStringLiteral("src.bin"), plain);
    const QString pw = dir.Write(QStringLiteral("pw"), "Pässwort-1\n"_qba);
    const QString wrongPw = dir.Write(QStringLiteral("wrong"), "Pässwort-1 \n"_qba);
    const QString enc = dir.Path(QStringLiteral("src.xqe"));
    const QString dec = dir.Path(QStringLiteral("dec.bin"));
    {
        QFile f(src);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(QDateTime::fromSecsSinceEpoch(1600000000, QTimeZone::utc()),
                                  QFileDevice::FileModificationTime));
    }

    const TRun e = RunTool({QStringLiteral("encrypt"), QStringLiteral("--password-file"), pw,
                            QStringLiteral("--key-mode"), QStringLiteral("1"), src, enc});
    ASSERT_EQ(e.ExitCode, 0) << e.Err.toStdString();
    const QByteArray container = ReadAll(enc);
    EXPECT_EQ(container.left(4), "XQEK"_qba);
    EXPECT_EQ(container.size(), 10 + 10 + plain.size() + 10);

    const TRun d = RunTool({QStringLiteral("decrypt"), QStringLiteral("--password-file"), pw, enc, dec});
    ASSERT_EQ(d.ExitCode, 0) << d.Err.toStdString();
    EXPECT_EQ(ReadAll(dec), plain);
    EXPECT_EQ(QFileInfo(dec).lastModified().toSecsSinceEpoch(), 1600000000);

    QByteArray damaged = container;
    damaged[5000] = char(damaged[5000] ^ 1);
    const QString bad = dir.Write(QStringLiteral("bad.xqe"), damaged);
    for (const QStringList& args : {QStringList{QStringLiteral("--password-file"), wrongPw, enc},
                                    QStringList{QStringLiteral("--password-file"), pw, bad}}) {
        const QString out = dir.Path(QStringLiteral("out.bin"));
        const TRun r = RunTool(QStringList{QStringLiteral("decrypt")} + args + QStringList{out});
        EXPECT_EQ(r.ExitCode, 1);
        EXPECT_TRUE(r.Err.contains(QStringLiteral("wrong password or damaged data"))) << r.Err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(out)); // nothing of a failed decryption is left
    }
    for (const QStringList& args :
         {QStringList{QStringLiteral("encrypt"), src, enc},
          QStringList{QStringLiteral("encrypt"), QStringLiteral("--password-file"), pw,
                      QStringLiteral("--key-mode"), QStringLiteral("4"), src, enc},
          QStringList{QStringLiteral("decrypt"), QStringLiteral("--password-file"), pw, enc}}) {
        EXPECT_EQ(RunTool(args).ExitCode, 2) << args.join(QLatin1Char(' ')).toStdString();
    }
}

QProcessEnvironment EnglishEnv(const TTestDir& Dir)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), Dir.Root());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), Dir.Path(QStringLiteral("cfg")));
    env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    env.remove(QStringLiteral("LC_ALL"));
    env.remove(QStringLiteral("LC_MESSAGES"));
    env.remove(QStringLiteral("LANGUAGE"));
    return env;
}

TEST(OvTool, CopyVerifiesReportsProgressAndReplacesOnlyWhenAsked)
{
    TTestDir dir;
    const QProcessEnvironment env = EnglishEnv(dir);
    QByteArray data(1500000, Qt::Uninitialized);
    for (qsizetype i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 7 + i / 509);
    const QString src = dir.Write(QStringLiteral("src.bin"), data);
    const QString dst = dir.Path(QStringLiteral("dst.bin"));

    const TRun ok = RunTool(
        {QStringLiteral("copy"), src, dst, QStringLiteral("--verify"), QStringLiteral("--progress")}, env);
    EXPECT_EQ(ok.ExitCode, 0) << ok.Err.toStdString();
    EXPECT_EQ(ok.Out, QStringLiteral("ratio 100.0%\n"));
    EXPECT_TRUE(ok.Err.contains(QStringLiteral("copy 100%\n")) &&
                ok.Err.endsWith(QStringLiteral("verify 100%\n")))
        << ok.Err.toStdString();
    EXPECT_EQ(ReadAll(dst), data);

    // Without --overwrite an existing destination stays as it is.
    const QString old = dir.Write(QStringLiteral("old.bin"), "old");
    const TRun refused = RunTool({QStringLiteral("copy"), src, old}, env);
    EXPECT_EQ(refused.ExitCode, 1);
    EXPECT_TRUE(refused.Err.startsWith(
        QStringLiteral("0x1101\tError - Could not create file: \"%1\" (System error: ").arg(old)))
        << refused.Err.toStdString();
    EXPECT_TRUE(refused.Err.endsWith(QStringLiteral(") (-> Copy)\n")));
    EXPECT_EQ(ReadAll(old), "old");

    // With it even a read-only one is replaced, and nothing is left beside it.
    QFile::setPermissions(old, QFile::ReadOwner);
    const TRun replaced = RunTool({QStringLiteral("copy"), src, old, QStringLiteral("--overwrite")}, env);
    EXPECT_EQ(replaced.ExitCode, 0) << replaced.Err.toStdString();
    EXPECT_EQ(ReadAll(old), data);
    EXPECT_EQ(QDir(dir.Root()).entryList(QDir::Files | QDir::Hidden).size(), 3);

    const QString missing = dir.Path(QStringLiteral("missing.bin"));
    const TRun notFound = RunTool({QStringLiteral("copy"), missing, dir.Path(QStringLiteral("x"))}, env);
    EXPECT_EQ(notFound.ExitCode, 1);
    EXPECT_EQ(notFound.Err,
              QStringLiteral("0x110E\tError - File not found: \"%1\" (-> Copy)\n").arg(missing));
    EXPECT_FALSE(QFile::exists(dir.Path(QStringLiteral("x"))));
    QProcessEnvironment german = env;
    german.insert(QStringLiteral("LANG"), QStringLiteral("de_DE.UTF-8"));
    const TRun deutsch = RunTool({QStringLiteral("copy"), missing, dir.Path(QStringLiteral("x"))}, german);
    EXPECT_EQ(deutsch.Err,
              QStringLiteral("0x110E\tFehler - Datei nicht gefunden: \"%1\" (-> Kopieren)\n").arg(missing));

    for (const QStringList& args :
         {QStringList{QStringLiteral("copy"), src},
          QStringList{QStringLiteral("copy"), src, dst, QStringLiteral("--fast")}}) {
        const TRun r = RunTool(args, env);
        EXPECT_EQ(r.ExitCode, 2) << r.Err.toStdString();
        EXPECT_TRUE(r.Err.contains(QStringLiteral("ovtool copy SRC DST")));
    }
}

TEST(OvTool, CopyWritesArchivesAndVerifyChecksThemOnTheirOwn)
{
    TTestDir dir;
    const QProcessEnvironment env = EnglishEnv(dir);
    QByteArray data;
    for (int i = 0; i < 20000; ++i)
        data += QByteArray::number(i * 37) + ' ';
    const QString src = dir.Write(QStringLiteral("src.txt"), data);
    const QString pw = dir.Write(QStringLiteral("pw"), "Pässwort-1\n");
    const QString wrong = dir.Write(QStringLiteral("wrong"), "Passwort-2\n");
    struct TCase
    {
        const char* Copy;
        const char* Verify;
        bool Compressed;
    };
    for (const TCase& c :
         {TCase{"--gzip", "--gzip", true}, TCase{"--zip", "--zip", true},
          TCase{"--zip --store", "--zip", false}, TCase{"--gzip --encrypt --key-mode 1", "--gzip", true},
          TCase{"--zip --encrypt --key-mode 2", "--zip", true}, TCase{"--encrypt", "--encrypted", false}}) {
        SCOPED_TRACE(c.Copy);
        const bool encrypted = QByteArray(c.Copy).contains("--encrypt");
        const QString out = dir.Path(QString::fromLatin1(c.Copy).remove(QLatin1Char(' ')));
        QStringList args{QStringLiteral("copy"), src, out, QStringLiteral("--verify")};
        args += Words(c.Copy);
        if (encrypted) args += {QStringLiteral("--password-file"), pw};
        const TRun copied = RunTool(args, env);
        ASSERT_EQ(copied.ExitCode, 0) << copied.Err.toStdString();
        EXPECT_EQ(copied.Out == QStringLiteral("ratio 100.0%\n"), !c.Compressed) << copied.Out.toStdString();
        QStringList verify{QStringLiteral("verify"), out, QString::fromLatin1(c.Verify),
                           QStringLiteral("--source"), src};
        if (encrypted) verify += {QStringLiteral("--password-file"), pw};
        const TRun ok = RunTool(verify, env);
        EXPECT_EQ(ok.ExitCode, 0) << ok.Err.toStdString();
        EXPECT_EQ(ok.Out, QStringLiteral("ok\n"));
        if (encrypted) {
            verify.last() = wrong;
            const TRun bad = RunTool(verify, env);
            EXPECT_EQ(bad.ExitCode, 1);
            EXPECT_TRUE(bad.Err.contains(QStringLiteral("\tError - Verification failed: \"%1\"").arg(out)))
                << bad.Err.toStdString();
        }
    }
    // A file of another format, and a usage error.
    const TRun notGzip = RunTool({QStringLiteral("verify"), src, QStringLiteral("--gzip")}, env);
    EXPECT_EQ(notGzip.ExitCode, 1);
    EXPECT_EQ(notGzip.Err, QStringLiteral("0x2008\tIllegal file header: \"%1\" (-> gzip)\n").arg(src))
        << notGzip.Err.toStdString();
    const TRun usage =
        RunTool({QStringLiteral("copy"), src, dir.Path(QStringLiteral("x")), QStringLiteral("--store")}, env);
    EXPECT_EQ(usage.ExitCode, 2);
    EXPECT_FALSE(QFile::exists(dir.Path(QStringLiteral("x"))));
}

TEST(OvTool, FilterSaysPassOrFailForEachName)
{
    TRun r = RunTool(Words("filter *.txt|*.doc a.TXT b.pdf c.doc README"));
    EXPECT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    EXPECT_EQ(r.Out, QStringLiteral("pass\ta.TXT\nfail\tb.pdf\npass\tc.doc\nfail\tREADME\n"));
    r = RunToolWithInput(Words("filter --mode exclude *.tmp"), "x.tmp\r\ny.c\n\nMakefile");
    EXPECT_EQ(r.Out, QStringLiteral("fail\tx.tmp\npass\ty.c\npass\tMakefile\n"));
    r = RunTool(Words("filter --regex --dir ^tmp|cache tmp1 mycache x"));
    EXPECT_EQ(r.Out, QStringLiteral("pass\ttmp1\npass\tmycache\nfail\tx\n"));
    r = RunTool(Words("filter --mode off *.a x.b"));
    EXPECT_EQ(r.Out, QStringLiteral("pass\tx.b\n"));
    // A runaway expression ends as no match.
    const QString runaway = QString(3000, QLatin1Char('a')) + QLatin1Char('!');
    r = RunTool({QStringLiteral("filter"), QStringLiteral("--regex"), QStringLiteral("(a+)+$"), runaway,
                 QStringLiteral("aa")});
    EXPECT_EQ(r.Out, QStringLiteral("fail\t%1\npass\taa\n").arg(runaway));

    r = RunTool(Words("filter [abc x"));
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_TRUE(r.Err.contains(QStringLiteral("Illegal mask!"))) << r.Err.toStdString();
    r = RunTool(Words("filter --regex ( x"));
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_TRUE(r.Err.contains(QStringLiteral("Illegal regular expression!"))) << r.Err.toStdString();
    for (const char* wrong : {"filter", "filter --nonsense *", "filter --mode sideways * x", "filter --mode"})
        EXPECT_EQ(RunTool(Words(wrong)).ExitCode, 2) << wrong;
}

TEST(OvTool, CheckTaskShowAndLogName)
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
    TRun r = RunTool({QStringLiteral("checktask"), QStringLiteral("--sources"), good});
    EXPECT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    EXPECT_EQ(r.Out, QStringLiteral("0\n\n1\t%1\n").arg(dir.Path(QStringLiteral("src"))));
    EXPECT_EQ(RunTool({QStringLiteral("checktask"), good}).Out, QStringLiteral("0\n\n"));

    r = RunTool({QStringLiteral("task"), QStringLiteral("show"), good});
    EXPECT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    for (const char* line :
         {"Compression=gzip\n", "FileFilter=exclude masks \"*.tmp\"\n",
          "DirFilter=include regex \"^cache\"\n", "SubDirs=all except docs\n", "[Dir001]\n"})
        EXPECT_TRUE(r.Out.contains(QString::fromUtf8(line))) << line << r.Out.toStdString();

    r = RunTool({QStringLiteral("task"), QStringLiteral("logname"), good, QStringLiteral("/var/log/ov")});
    EXPECT_EQ(r.Out, QStringLiteral("/srv/b/Daily.log\n"));

    const QString bad = dir.Write(QStringLiteral("Ftp.buj"), "[Global]\nFtpBackup=1\nDirCount=1\n");
    r = RunTool({QStringLiteral("checktask"), bad});
    EXPECT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    EXPECT_TRUE(r.Out.startsWith(QStringLiteral("1\n"))) << r.Out.toStdString();
    EXPECT_TRUE(r.Out.contains(QStringLiteral("has invalid settings!"))) << r.Out.toStdString();
    r = RunTool({QStringLiteral("checktask"), dir.Path(QStringLiteral("none.buj"))});
    EXPECT_TRUE(r.Out.contains(QStringLiteral("\nTask file not found: "))) << r.Out.toStdString();
    EXPECT_EQ(RunTool(Words("checktask")).ExitCode, 2);
    EXPECT_EQ(RunTool({QStringLiteral("task"), QStringLiteral("show"), dir.Path(QStringLiteral("none.buj"))})
                  .ExitCode,
              1);
    EXPECT_EQ(RunTool(Words("task frobnicate x")).ExitCode, 2);
}

TEST(OvTool, ExpandAndVolumes)
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

    r = RunTool({QStringLiteral("expand"), QStringLiteral("--set"), QStringLiteral("log"),
                 QStringLiteral("%drive%/logs/%volume%-%yam%"), QStringLiteral("--dest"),
                 QStringLiteral("/media/anna/USB/b"), QStringLiteral("--now"),
                 QStringLiteral("2019-07-04T06:07:08")},
                env);
    EXPECT_EQ(r.Out, QStringLiteral("/media/anna/USB/logs/BACKUP-2019-07\n"));
    r = RunTool({QStringLiteral("expand"), QStringLiteral("/b/%volume%/%date%_%time%/%v#3%"),
                 QStringLiteral("--volume"), QStringLiteral("Data"), QStringLiteral("--counter"),
                 QStringLiteral("4"), QStringLiteral("--now"), QStringLiteral("2010-12-04T14:05:09")});
    EXPECT_EQ(r.Out, QStringLiteral("/b/Data/2010-12-04_140509/1\n"));
    for (const char* wrong : {"expand --set date x --now yesterday", "expand --set nonsense x", "expand a b",
                              "expand --at 2010-12-04T14:05:09 x"})
        EXPECT_EQ(RunTool(Words(wrong)).ExitCode, 2) << wrong;
}

TEST(OvTool, BackupPrintsOneLinePerFileAndKeepsVersionsAcrossRuns)
{
    TTestDir dir;
    const QProcessEnvironment env = EnglishEnv(dir);
    const QString src = QFileInfo(dir.Write(QStringLiteral("src/a.txt"), "a1")).path();
    dir.Write(QStringLiteral("src/sub/photo.jpg"), "p1");
    const QString dst = dir.Path(QStringLiteral("dst"));
    const QStringList args{QStringLiteral("backup"),
                           QStringLiteral("--id"),
                           QStringLiteral("4"),
                           QStringLiteral("--source"),
                           src,
                           QStringLiteral("--dest"),
                           dst,
                           QStringLiteral("--retain"),
                           QStringLiteral("1"),
                           QStringLiteral("sub/photo.jpg"),
                           QStringLiteral("a.txt")};
    const TRun first = RunTool(args, env);
    EXPECT_EQ(first.ExitCode, 0) << first.Err.toStdString();
    const QStringList lines = first.Out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << first.Out.toStdString();
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral(" - 04: %1/a.txt => %2/").arg(src, dst)))
        << lines[0].toStdString();
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral(" - 04: %1/sub/photo.jpg => %2/").arg(src, dst)));

    dir.Write(QStringLiteral("src/a.txt"), "a2");
    const TRun second = RunTool(args + QStringList{QStringLiteral("gone.txt")}, env);
    EXPECT_EQ(second.ExitCode, 1);
    EXPECT_TRUE(second.Out.contains(QStringLiteral("%1/a.txt => %2/ (+1)\n").arg(src, dst)))
        << second.Out.toStdString();
    EXPECT_TRUE(second.Out.contains(
        QStringLiteral("%1/gone.txt => %2/\n  *** Error - File not found (-> Copy)\n").arg(src, dst)));
    EXPECT_EQ(second.Err, QStringLiteral("1 of 3 files failed\n"));
    EXPECT_EQ(ReadAll(dst + src + QStringLiteral("/a.txt")), "a2");
    EXPECT_EQ(ReadAll(dst + src + QStringLiteral("/a.bak-1.txt")), "a1");
    EXPECT_EQ(ReadAll(dst + src + QStringLiteral("/sub/photo.bak-1.jpg")), "p1");

    for (const char* bad :
         {"backup --source S --dest D a", "backup --id 1 --dest D a", "backup --id 1 --source S --dest D",
          "backup --id 1 --source S --dest D --retain 10 a",
          "backup --id 1 --source S --dest D --compress 3 a", "backup --id 1 --source S --dest D --fast a"}) {
        const TRun r = RunTool(Words(bad), env);
        EXPECT_EQ(r.ExitCode, 2) << bad;
        EXPECT_TRUE(r.Err.contains(QStringLiteral("ovtool backup --id N"))) << bad;
    }
    const TRun noSource = RunTool({QStringLiteral("backup"), QStringLiteral("--id"), QStringLiteral("1"),
                                   QStringLiteral("--source"), dir.Path(QStringLiteral("missing")),
                                   QStringLiteral("--dest"), dst, QStringLiteral("a")},
                                  env);
    EXPECT_EQ(noSource.ExitCode, 1);
    EXPECT_TRUE(noSource.Err.contains(QStringLiteral("does not exist")));
}

} // namespace
