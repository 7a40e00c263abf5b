// The backup thread of OvSentry: destination naming as pure functions (Windows forms included),
// and whole runs over real folders, with the log lines delivered into this thread's event loop.

#include "sentry/BackupThread.h"
#include "sentry/ShowFilter.h"

#include "base/OvUtils.h"
#include "copy/CopyErrors.h"
#include "platform/FileSystem.h"
#include "platform/SysErrors.h"

#include "fixtures/Faults.h"
#include "fixtures/PeerTools.h"
#include "fixtures/TestFiles.h"

#include <QDir>
#include <QRegularExpression>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace Platform;

namespace {

constexpr int WaitMs = 60000;

// --- names -------------------------------------------------------------------------------------

TEST(MatchList, KeepsOneSortedEntryPerNameWithoutRegardToCase)
{
    TMatchList list;
    EXPECT_EQ(list.Add(QStringLiteral("b.txt")), 0);
    list.Add(QStringLiteral("Sub/a.txt"));
    list.Add(QStringLiteral("A.txt"));
    list.Add(QStringLiteral("C.txt"));
    EXPECT_EQ(list.Add(QStringLiteral("B.TXT")), 1) << "a name present in another case is not added";
    EXPECT_EQ(list.Strings(), (QStringList{QStringLiteral("A.txt"), QStringLiteral("b.txt"),
                                           QStringLiteral("C.txt"), QStringLiteral("Sub/a.txt")}));
    EXPECT_EQ(list.IndexOf(QStringLiteral("sub/A.TXT")), 3);
    EXPECT_EQ(list.IndexOf(QStringLiteral("*.txt")), -1) << "no wildcards";
    EXPECT_EQ(list.IndexOf(QStringLiteral("a.tx")), -1) << "no leading parts";
    EXPECT_TRUE(list.Remove(QStringLiteral("C.TXT")));
    EXPECT_FALSE(list.Contains(QStringLiteral("c.txt")));

    list.SetCommaText(QStringLiteral(" jpg,PNG,, Jpg ,zip"));
    EXPECT_EQ(list.CommaText(), QStringLiteral("jpg,PNG,zip"));
}

struct TDestCase
{
    const char* Dest;
    const char* Template;
    const char* Source;
    const char* Expected;
};

TEST(BackupNames, DestinationOfDriveNetworkAndHostPaths)
{
    const TDestCase cases[] = {
        // separate directories for drives
        {R"(E:\Backup\)", "Drv?", R"(C:\Users\me\doc.txt)", R"(E:\Backup\DrvC\Users\me\doc.txt)"},
        {R"(E:\Backup\)", "Drv?", R"(D:\Users\me\doc.txt)", R"(E:\Backup\DrvD\Users\me\doc.txt)"},
        {R"(E:\Backup\)", "Disk", R"(c:\x.txt)", R"(E:\Backup\DiskC\x.txt)"},
        {R"(E:\Backup\)", "Drive_?_", R"(C:\x.txt)", R"(E:\Backup\Drive_C_\x.txt)"},
        {R"(E:\Backup\)", "?-?", R"(c:\x.txt)", R"(E:\Backup\C-C\x.txt)"},
        {R"(E:\Backup\)", "Drv?", R"(\\srv\data\x.txt)", R"(E:\Backup\srv\data\x.txt)"},
        {R"(\\nas\bak)", "Drv?", R"(C:\a\b.txt)", R"(\\nas\bak\DrvC\a\b.txt)"},
        // full original directory structure: drives share one tree
        {R"(E:\Backup\)", "", R"(C:\Users\me\doc.txt)", R"(E:\Backup\Users\me\doc.txt)"},
        {R"(E:\Backup\)", "", R"(D:\Users\me\doc.txt)", R"(E:\Backup\Users\me\doc.txt)"},
        {R"(E:\Backup)", "", R"(\\srv\data\dir\f.txt)", R"(E:\Backup\dir\f.txt)"},
        // this host: no drive part, the template has nothing to name
        {"/backup/", "Drv?", "/home/me/doc.txt", "/backup/home/me/doc.txt"},
        {"/backup", "", "/home/me/doc.txt", "/backup/home/me/doc.txt"},
        {"/", "", "/home/me/a\\b.txt", "/home/me/a\\b.txt"},
    };
    for (const TDestCase& c : cases)
        EXPECT_EQ(BackupDestName(QString::fromUtf8(c.Dest), QString::fromUtf8(c.Template),
                                 QString::fromUtf8(c.Source)),
                  QString::fromUtf8(c.Expected))
            << c.Dest << " " << c.Template << " " << c.Source;

    EXPECT_EQ(DriveDirectory(DefaultDriveTemplate(QStringLiteral("de")), QStringLiteral("c:")),
              QStringLiteral("LwC\\"));
    EXPECT_EQ(DriveDirectory(QStringLiteral("Drv?"), QString()), QString());
    EXPECT_EQ(PathBelowDrive(QStringLiteral(R"(C:\Users\me\doc.txt)")),
              QStringLiteral(R"(\Users\me\doc.txt)"));
    EXPECT_EQ(JoinBackupPath(QString(), QStringLiteral("x")), QStringLiteral("x"));
    EXPECT_EQ(JoinBackupPath(QStringLiteral("/a//"), QString()), QStringLiteral("/a//"));
    EXPECT_EQ(JoinBackupPath(QStringLiteral("/a//"), QStringLiteral("//b/c")), QStringLiteral("/a/b/c"));
}

TEST(BackupNames, VersionNamesAndExtensions)
{
    struct
    {
        const char* Dest;
        int K;
        const char* Suffix;
        const char* Expected;
    } const cases[] = {
        {"/d/doc.txt", 2, "", "/d/doc.bak-2.txt"},
        {"/d/doc.txt", 2, ".gz", "/d/doc.bak-2.txt.gz"},
        {"/d/photo.JPG", 1, "", "/d/photo.bak-1.JPG"},
        {"/d/README", 1, ".zip", "/d/README.bak-1.zip"},
        {"/d/v1.0/README", 9, "", "/d/v1.0/README.bak-9"},
        {R"(E:\v1.0\README)", 1, "", R"(E:\v1.0\README.bak-1)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(VersionName(QString::fromUtf8(c.Dest), c.K, QString::fromUtf8(c.Suffix)),
                  QString::fromUtf8(c.Expected));

    EXPECT_EQ(BackupFileExt(QStringLiteral("/s/a.b/photo.JPG")), QStringLiteral("JPG"));
    EXPECT_EQ(BackupFileExt(QStringLiteral("/s/a.b/README")), QString());
    EXPECT_EQ(BackupFileExt(QStringLiteral(R"(C:\a.b\README)")), QString());
}

TEST(BackupNames, CompressionChoice)
{
    const TCopyOptions plain{coOverwrite, coAttributes, coTimeStamp};
    struct
    {
        int Compress;
        bool Excluded;
        const char* Suffix;
        TCopyOptions Options;
    } const cases[] = {
        {0, false, "", plain},
        {0, true, "", plain},
        {1, false, ".gz", {coCompress, coOverwrite, coAttributes, coTimeStamp}},
        {1, true, "", plain},
        {2, false, ".zip", {coCompress, coZipCompress, coOverwrite, coAttributes, coTimeStamp}},
        {2, true, ".zip", {coZipCompress, coOverwrite, coAttributes, coTimeStamp}},
    };
    for (const auto& c : cases) {
        const TCompressChoice choice = ChooseCompression(c.Compress, c.Excluded);
        EXPECT_EQ(choice.Suffix, QString::fromUtf8(c.Suffix)) << c.Compress << c.Excluded;
        EXPECT_EQ(choice.Options.Mask(), c.Options.Mask()) << c.Compress << c.Excluded;
    }
}

TEST(BackupNames, SourcesThatWouldLeaveTheDestinationAreRefused)
{
    for (const char* bad : {"/src/../../etc/passwd", "/src/./x", "..", R"(C:\a\..\..\x)", "/src/a/.."})
        EXPECT_FALSE(IsSafeBelowDestination(QString::fromUtf8(bad))) << bad;
    EXPECT_FALSE(IsSafeBelowDestination(QStringLiteral("/src/a") + QChar(0) + QStringLiteral("b")));
    for (const char* good : {"/src/a..b/.x", "/src//x", R"(\\srv\data\x.txt)", "/src/a\\..\\b"})
        EXPECT_TRUE(IsSafeBelowDestination(QString::fromUtf8(good))) << good;
}

// --- runs --------------------------------------------------------------------------------------

// Refuses operations on exact paths.
class TRefusePaths : public TFaultInjector
{
public:
    void Add(TFileOp Op, const QString& Path, int Error) { FRules.append({Op, Path, Error}); }
    TFault Check(TFileOp Op, const QString& Path, qint64) override
    {
        for (const auto& r : FRules)
            if (r.Op == Op && r.Path == Path) return TFault{r.Error, -1};
        return {};
    }

private:
    struct TRule
    {
        TFileOp Op;
        QString Path;
        int Error;
    };
    QList<TRule> FRules;
};

class BackupRun : public testing::Test
{
protected:
    QString Src(const QString& Name = QString()) const
    {
        return JoinBackupPath(Dir.Path(QStringLiteral("src")), Name);
    }
    // The destination of a source name under the full original directory structure.
    QString Dst(const QString& Name) const { return BackupDestName(DestDir(), QString(), Src(Name)); }
    QString DestDir() const { return Dir.Path(QStringLiteral("dst")) + QLatin1Char('/'); }
    // Writes a file given by its full name below the test folder.
    QString Put(const QString& Full, const QByteArray& Content) const
    {
        return Dir.Write(Full.mid(Dir.Root().size() + 1), Content);
    }
    QString Bak(const QString& Name, int K) const { return VersionName(Dst(Name), K, QString()); }

    QStringList Run(const QStringList& Names, int Compress = 0, int Retain = 0,
                    const QString& NoComp = QStringLiteral("jpg,png"), int Id = 3)
    {
        QStringList lines;
        TBackupThread thread(Id, DestDir(), Src(), QString(), NoComp, TMatchList(Names), Compress, Retain,
                             [&lines](const QString& Line) {
                                 EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
                                 lines << Line;
                             });
        EXPECT_TRUE(QTest::qWaitFor([&] { return thread.Terminated(); }, WaitMs));
        EXPECT_TRUE(thread.wait(WaitMs));
        return lines;
    }

    // The expected line without its time stamp.
    QString LineTail(const QString& Name, int Moves = 0, int Id = 3) const
    {
        QString tail = QStringLiteral(" - %1: ").arg(Id, 2, 10, QLatin1Char('0')) + Src(Name) +
                       QStringLiteral(" => ") + DestDir();
        if (Moves) tail += QStringLiteral(" (+%1)").arg(Moves);
        return tail;
    }

    // Files of the destination folder of Name whose name holds ".tmp".
    QStringList TempFiles(const QString& Name) const
    {
        return QDir(QFileInfo(Dst(Name)).path())
            .entryList({QStringLiteral("*.tmp")}, QDir::Files | QDir::Hidden);
    }

    TTestDir Dir;
};

// Line form: the time stamp, the id in two digits, source => destination folder.
TEST_F(BackupRun, FirstCopiesGoStraightToTheirNamesInCaseInsensitiveOrder)
{
    Dir.Write(QStringLiteral("src/b.txt"), "b");
    Dir.Write(QStringLiteral("src/A.txt"), "a");
    Dir.Write(QStringLiteral("src/sub/deeper/C.txt"), "c");
    const QStringList lines =
        Run({QStringLiteral("sub/deeper/C.txt"), QStringLiteral("b.txt"), QStringLiteral("A.txt")});
    ASSERT_EQ(lines.size(), 3);
    const QString stamp = BackupLogTime(QDateTime::currentDateTime());
    EXPECT_EQ(lines[0].size(), stamp.size() + LineTail(QStringLiteral("A.txt")).size())
        << lines[0].toStdString();
    EXPECT_TRUE(lines[0].endsWith(LineTail(QStringLiteral("A.txt")))) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].endsWith(LineTail(QStringLiteral("b.txt"))));
    EXPECT_TRUE(lines[2].endsWith(LineTail(QStringLiteral("sub/deeper/C.txt"))));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d")).match(lines[0]).hasMatch())
        << lines[0].toStdString();
    EXPECT_EQ(ReadAll(Dst(QStringLiteral("sub/deeper/C.txt"))), "c");
    EXPECT_EQ(ReadAll(Dst(QStringLiteral("A.txt"))), "a");
    EXPECT_TRUE(TempFiles(QStringLiteral("A.txt")).isEmpty());
    EXPECT_FALSE(FileExists(VersionName(Dst(QStringLiteral("A.txt")), 1, QString())));
}

// The older versions with FRetain 0, 1, 2 and 9; the previous copy and the oldest version are
// read-only, which must not stop them being replaced or deleted.
TEST_F(BackupRun, VersionRotation)
{
    struct
    {
        int Retain;
        int Moves;
        const char* Current;
        const char* Bak1;
        const char* Bak2;
        const char* Bak3; // "" when absent
    } const cases[] = {
        {0, 0, "new", "v2", "v1", ""},
        {1, 1, "new", "v3", "v1", ""},
        {2, 2, "new", "v3", "v2", ""},
        {9, 3, "new", "v3", "v2", "v1"},
    };
    const QString name = QStringLiteral("docs/doc.txt");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Retain);
        const QString dest = Dst(name);
        Dir.Write(QStringLiteral("src/") + name, "new");
        ASSERT_EQ(SetFileAttributes(Src(name), faHidden | faArchive | faCompressed | faEncrypted), 0);
        Put(dest, "v3");
        Put(Bak(name, 1), "v2");
        Put(Bak(name, 2), "v1");
        ASSERT_EQ(SetFileAttributes(dest, faReadOnly | faArchive), 0);
        ASSERT_EQ(SetFileAttributes(VersionName(dest, 2, QString()), faReadOnly), 0);

        const QStringList lines = Run({name}, 0, c.Retain);
        ASSERT_EQ(lines.size(), 1);
        EXPECT_TRUE(lines[0].endsWith(LineTail(name, c.Moves))) << lines[0].toStdString();
        EXPECT_EQ(ReadAll(dest), c.Current);
        EXPECT_EQ(ReadAll(VersionName(dest, 1, QString())), c.Bak1);
        EXPECT_EQ(ReadAll(VersionName(dest, 2, QString())), c.Bak2);
        EXPECT_EQ(ReadAll(VersionName(dest, 3, QString())), c.Bak3);
        EXPECT_TRUE(TempFiles(name).isEmpty()) << TempFiles(name).join(u' ').toStdString();
        std::uint32_t attrs = 0;
        ASSERT_EQ(GetFileAttributes(dest, attrs), 0);
        // The source's attributes within the mask: compressed and encrypted are no backup's.
        EXPECT_EQ(attrs & (faReadOnly | faHidden | faArchive | faCompressed | faEncrypted),
                  faHidden | faArchive);
        QDir(Dir.Path(QStringLiteral("dst"))).removeRecursively();
    }
}

// A file type that is not compressed keeps its name; its versions are named like doc.bak-1.jpg.
TEST_F(BackupRun, UncompressedTypeUnderGzipKeepsItsNameAndVersions)
{
    Dir.Write(QStringLiteral("src/photo.JPG"), "new");
    Put(Dst(QStringLiteral("photo.JPG")), "old");
    const QStringList lines = Run({QStringLiteral("photo.JPG")}, 1, 1, QStringLiteral("gif, jpg"));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].endsWith(LineTail(QStringLiteral("photo.JPG"), 1))) << lines[0].toStdString();
    EXPECT_EQ(ReadAll(Dst(QStringLiteral("photo.JPG"))), "new");
    EXPECT_EQ(ReadAll(Bak(QStringLiteral("photo.JPG"), 1)), "old");
    EXPECT_FALSE(FileExists(Dst(QStringLiteral("photo.JPG")) + QStringLiteral(".gz")));
}

// A copy that fails leaves the previous copy and its versions as they were, and no partial file
// under a backup's name; the next file is still copied.
TEST_F(BackupRun, FailedCopiesKeepThePreviousCopyAndLeaveNoPartialFile)
{
    Put(Dst(QStringLiteral("gone.txt")), "previous");
    Put(Bak(QStringLiteral("gone.txt"), 1), "older");
    Dir.Write(QStringLiteral("src/big.txt"), QByteArray(256 * 1024, 'x'));
    Dir.Write(QStringLiteral("src/ok.txt"), "ok");
    QStringList lines;
    {
        TDiskFull full(Dst(QStringLiteral("big.txt")), 1000);
        TScopedFaultInjector hook(full);
        lines = Run({QStringLiteral("gone.txt"), QStringLiteral("big.txt"), QStringLiteral("ok.txt")}, 0, 1);
    }
    ASSERT_EQ(lines.size(), 3);
    // The copy engine's text of its code, without file name and system text; ascending order.
    const QString marker = QStringLiteral("\n  *** ");
    EXPECT_TRUE(lines[0].endsWith(LineTail(QStringLiteral("big.txt")) + marker +
                                  CopyErrorText(etCopy | ceDiskFull, QString(), QString())))
        << lines[0].toStdString();
    EXPECT_TRUE(lines[1].endsWith(LineTail(QStringLiteral("gone.txt")) + marker +
                                  CopyErrorText(etCopy | ceNotFound, QString(), QString())))
        << lines[1].toStdString();
    EXPECT_TRUE(lines[2].endsWith(LineTail(QStringLiteral("ok.txt"))));
    EXPECT_EQ(ReadAll(Dst(QStringLiteral("gone.txt"))), "previous");
    EXPECT_EQ(ReadAll(Bak(QStringLiteral("gone.txt"), 1)), "older");
    EXPECT_FALSE(FileExists(Dst(QStringLiteral("big.txt"))));
    EXPECT_TRUE(TempFiles(QStringLiteral("gone.txt")).isEmpty());
    EXPECT_EQ(ReadAll(Dst(QStringLiteral("ok.txt"))), "ok");
}

// Deletes and moves that fail report the step, the file and the system's own text; the new copy
// then stays under its temporary name and nothing older is lost.
TEST_F(BackupRun, FailedDeletesAndMovesShowTheSystemText)
{
    const QString name = QStringLiteral("doc.txt");
    const QString dest = Dst(name);
    const QString bak1 = VersionName(dest, 1, QString());
    const QString errorOf =
        QStringLiteral("\n  *** ") + CopyErrorText(0x126, dest, SysErrorText(ErrAccessDenied));
    struct
    {
        int Retain;
        bool RefuseMove, RefuseDelete, RefuseClearReadOnly;
        bool Error;
        const char* Current;
        const char* Bak1;
    } const cases[] = {
        {0, false, true, false, true, "old", ""},
        {0, false, false, true, true, "old", ""},  // a read-only copy whose attribute cannot be cleared
        {1, true, false, false, false, "new", ""}, // cannot become a version: replaced without one
        {1, true, true, false, true, "old", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.Retain << c.RefuseMove << c.RefuseDelete << c.RefuseClearReadOnly);
        QDir(Dir.Path(QStringLiteral("dst"))).removeRecursively();
        Dir.Write(QStringLiteral("src/doc.txt"), "new");
        Put(dest, "old");
        if (c.RefuseClearReadOnly) {
            ASSERT_EQ(SetFileAttributes(dest, faReadOnly), 0);
        }
        TRefusePaths refuse;
        if (c.RefuseMove) refuse.Add(TFileOp::Rename, dest, ErrAccessDenied);
        if (c.RefuseDelete) refuse.Add(TFileOp::Delete, dest, ErrAccessDenied);
        if (c.RefuseClearReadOnly) refuse.Add(TFileOp::SetAttributes, dest, ErrAccessDenied);
        QStringList lines;
        {
            TScopedFaultInjector hook(refuse);
            lines = Run({name}, 0, c.Retain);
        }
        ASSERT_EQ(lines.size(), 1);
        if (c.Error)
            EXPECT_TRUE(lines[0].endsWith(LineTail(name) + errorOf)) << lines[0].toStdString();
        else
            EXPECT_TRUE(lines[0].endsWith(LineTail(name))) << lines[0].toStdString();
        EXPECT_TRUE(lines[0].contains(SysErrorMessage(ErrAccessDenied)) == c.Error);
        EXPECT_EQ(ReadAll(dest), c.Current);
        EXPECT_EQ(ReadAll(bak1), c.Bak1);
        const QStringList temps = TempFiles(name);
        ASSERT_EQ(temps.size(), c.Error ? 1 : 0);
        if (c.Error) {
            EXPECT_EQ(ReadAll(QFileInfo(dest).path() + QLatin1Char('/') + temps[0]), "new");
        }
    }
}

// The temporary file that cannot take the final name: "Could not rename temporary file".
TEST_F(BackupRun, TemporaryFileThatCannotBeRenamed)
{
    Dir.Write(QStringLiteral("src/doc.txt"), "new");
    Put(Dst(QStringLiteral("doc.txt")), "old");
    TRefuse refuse(TFileOp::Rename, QStringLiteral(".tmp"), ErrAccessDenied);
    QStringList lines;
    {
        TScopedFaultInjector hook(refuse);
        lines = Run({QStringLiteral("doc.txt")}, 0, 1);
    }
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].endsWith(LineTail(QStringLiteral("doc.txt"), 1) + QStringLiteral("\n  *** ") +
                                  CopyErrorText(0x123, QString(), QString())))
        << lines[0].toStdString();
    EXPECT_EQ(ReadAll(Bak(QStringLiteral("doc.txt"), 1)), "old");
    ASSERT_EQ(TempFiles(QStringLiteral("doc.txt")).size(), 1);
}

// A source file named like a temporary file is a file like any other: backing up doc.txt beside
// it never overwrites its copy.
TEST_F(BackupRun, BackedUpFileNamedLikeATemporaryFileIsKept)
{
    Dir.Write(QStringLiteral("src/doc.txt"), "new");
    Dir.Write(QStringLiteral("src/doc.txt.tmp"), "temp file of an editor");
    Put(Dst(QStringLiteral("doc.txt")), "old");
    Put(Dst(QStringLiteral("doc.txt.tmp")), "temp file of an editor");
    const QStringList lines = Run({QStringLiteral("doc.txt")}, 0, 0);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(ReadAll(Dst(QStringLiteral("doc.txt"))), "new");
    EXPECT_EQ(ReadAll(Dst(QStringLiteral("doc.txt.tmp"))), "temp file of an editor");
}

TEST_F(BackupRun, NamesLeadingOutOfTheDestinationAreRefused)
{
    Dir.Write(QStringLiteral("outside.txt"), "secret");
    const QStringList lines = Run({QStringLiteral("../outside.txt")});
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].contains(QStringLiteral("\n  *** ") +
                                  CopyErrorText(ceCreateDest, Src(QStringLiteral("../outside.txt")),
                                                SysErrorText(ErrInvalidParameter))))
        << lines[0].toStdString();
    EXPECT_EQ(QDir(Dir.Root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 1 + 0 + 0 + 0)
        << "nothing written anywhere: " << QDir(Dir.Root()).entryList().join(u' ').toStdString();
}

// The owner may free a thread that is still running while it processes no events: the thread
// stops and lines not yet delivered are dropped, without hanging.
TEST_F(BackupRun, FreedWhileRunningStopsWithoutDeliveringMore)
{
    QStringList names;
    for (int i = 0; i < 200; ++i)
        names << Dir.Write(QStringLiteral("src/f%1.txt").arg(i), QByteArray(8192, 'f')).mid(Src().size() + 1);
    int delivered = 0;
    auto thread =
        std::make_unique<TBackupThread>(1, DestDir(), Src(), QString(), QString(), TMatchList(names), 0, 0,
                                        [&delivered](const QString&) { ++delivered; });
    thread.reset();
    EXPECT_EQ(delivered, 0);
}

// Compressed copies carry their suffix into the version names: doc.txt.gz becomes
// doc.bak-1.txt.gz; under zip a listed type becomes a stored one-file archive. Read by the real
// gzip and Python's zipfile.
TEST_F(BackupRun, GzipAndZipCopiesWithTheirVersionNames)
{
    const QByteArray text = QByteArray("a line of text that compresses well\n").repeated(400);
    Dir.Write(QStringLiteral("src/doc.txt"), text);
    Dir.Write(QStringLiteral("src/photo.jpg"), QByteArray(5000, 'j'));
    const QStringList names{QStringLiteral("doc.txt"), QStringLiteral("photo.jpg")};

    ASSERT_EQ(Run(names, 1, 1).size(), 2);
    Dir.Write(QStringLiteral("src/doc.txt"), text + "changed\n");
    const QStringList gz = Run(names, 1, 1);
    ASSERT_EQ(gz.size(), 2);
    EXPECT_TRUE(gz[0].endsWith(LineTail(QStringLiteral("doc.txt"), 1))) << gz[0].toStdString();
    const QString docGz = Dst(QStringLiteral("doc.txt")) + QStringLiteral(".gz");
    const QString bakGz = VersionName(Dst(QStringLiteral("doc.txt")), 1, QStringLiteral(".gz"));
    EXPECT_EQ(RunTool(QStringLiteral("gzip"), {QStringLiteral("-dc"), docGz}).Out, text + "changed\n");
    EXPECT_EQ(RunTool(QStringLiteral("gzip"), {QStringLiteral("-dc"), bakGz}).Out, text);
    EXPECT_FALSE(FileExists(Dst(QStringLiteral("doc.txt"))));
    EXPECT_EQ(ReadAll(Bak(QStringLiteral("photo.jpg"), 1)), QByteArray(5000, 'j')) << "listed type: no .gz";
    EXPECT_TRUE(TempFiles(QStringLiteral("doc.txt")).isEmpty());

    const QStringList zip = Run(names, 2, 0);
    ASSERT_EQ(zip.size(), 2);
    EXPECT_FALSE(zip[0].contains(QStringLiteral("***")) || zip[1].contains(QStringLiteral("***")))
        << zip.join(u'\n').toStdString();
    const TToolResult methods = RunPython(QStringLiteral(R"(import sys, zipfile
for name in sys.argv[1:]:
    with zipfile.ZipFile(name) as z:
        (info,) = z.infolist()
        print(info.filename, info.compress_type, len(z.read(info)))
)"),
                                          {Dst(QStringLiteral("doc.txt")) + QStringLiteral(".zip"),
                                           Dst(QStringLiteral("photo.jpg")) + QStringLiteral(".zip")});
    EXPECT_EQ(methods.ExitCode, 0) << methods.Text().toStdString();
    EXPECT_EQ(methods.Text(), QStringLiteral("doc.txt 8 %1\nphoto.jpg 0 5000\n").arg(text.size() + 8));
}

} // namespace
