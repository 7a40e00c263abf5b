// The tree watcher of the host on real folders: what a change gives, and the bookkeeping of the
// watched tree through renames, moves out and in, lost records and the system's limit.

#include "platform/DirChanges.h"
#include "platform/FaultInjection.h"
#include "platform/FileSystem.h"
#include "platform/SysErrors.h"

#include "fixtures/Faults.h"
#include "fixtures/TestFiles.h"

#include <QDir>
#include <QFile>

#include <atomic>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <unistd.h>

using namespace Platform;

namespace {

QString Line(const TDirNotice& N)
{
    static const char* const Names[] = {"?", "added", "removed", "modified", "renamed-old", "renamed-new"};
    if (N.IsError) return QStringLiteral("error\t%1").arg(N.Code);
    return QString::fromUtf8(Names[N.Code >= 1 && N.Code <= 5 ? N.Code : 0]) + QLatin1Char('\t') + N.Text;
}

// Stops a reader that waits longer than a test can, so a fault shows as a failure, not a hang.
class TWatchdog
{
public:
    explicit TWatchdog(TDirChangeReader& Reader)
        : FThread([this, &Reader] {
              std::unique_lock lock(FMutex);
              if (!FDone.wait_for(lock, std::chrono::seconds(60), [this] { return FCancelled; }))
                  Reader.Stop();
          })
    {
    }
    ~TWatchdog()
    {
        {
            std::lock_guard lock(FMutex);
            FCancelled = true;
        }
        FDone.notify_one();
        FThread.join();
    }

private:
    std::mutex FMutex;
    std::condition_variable FDone;
    bool FCancelled = false;
    std::thread FThread;
};

class DirChanges : public testing::Test
{
protected:
    std::unique_ptr<TDirChangeReader> Open(const TDirWatchSettings& Settings)
    {
        int error = -1;
        auto reader = OpenDirChangeReader(Settings, error);
        EXPECT_EQ(error, 0);
        return reader;
    }
    std::unique_ptr<TDirChangeReader> Open(bool SubTree = true, std::uint32_t Filter = NotifyAll)
    {
        return Open({Dir.Root(), SubTree, Filter, 32 * 532});
    }

    // Everything reported up to a marker file written last (records come in order), without the
    // marker's own records.
    QStringList Drain(TDirChangeReader& Reader, TReadResult* Last = nullptr)
    {
        const QString marker = QStringLiteral("marker-%1").arg(++FMarkers);
        Dir.Write(marker, "m");
        TWatchdog watchdog(Reader);
        QStringList lines;
        QList<TDirNotice> notices;
        for (;;) {
            const TReadResult r = Reader.Read(notices);
            if (Last) *Last = r;
            bool seen = false;
            for (const TDirNotice& n : std::as_const(notices)) {
                seen = seen || (!n.IsError && n.Text == marker);
                if (!n.Text.startsWith(QLatin1String("marker-"))) lines << Line(n);
            }
            if (seen || r != TReadResult::Notices) return lines;
        }
    }

    void MakeDir(const QString& Name) { ASSERT_TRUE(QDir().mkpath(Dir.Path(Name))); }
    void Rename(const QString& From, const QString& To)
    {
        ASSERT_EQ(RenameFile(From, To), 0) << From.toStdString();
    }

    TTestDir Dir;
    int FMarkers = 0;
};

QStringList L(std::initializer_list<const char*> Lines)
{
    QStringList out;
    for (const char* l : Lines)
        out << QString::fromUtf8(l);
    return out;
}

TEST_F(DirChanges, EachKindOfChangeGivesItsRecordAndRepeatsInABatchComeOnce)
{
    Dir.Write(QStringLiteral("old.txt"), "1");
    Dir.Write(QStringLiteral("gone.txt"), "1");
    Dir.Write(QStringLiteral("mode.txt"), "1");
    auto reader = Open();

    {
        QFile f(Dir.Path(QStringLiteral("new.txt")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        for (int i = 0; i < 50; ++i) { // 50 write() calls, one report
            f.write("x");
            f.flush();
        }
    }
    Rename(Dir.Path(QStringLiteral("old.txt")), Dir.Path(QStringLiteral("renamed.txt")));
    ASSERT_TRUE(QFile::remove(Dir.Path(QStringLiteral("gone.txt"))));
    ASSERT_TRUE(QFile::setPermissions(Dir.Path(QStringLiteral("mode.txt")), QFile::ReadOwner));
    EXPECT_EQ(Drain(*reader), L({"added\tnew.txt", "modified\tnew.txt", "renamed-old\told.txt",
                                 "renamed-new\trenamed.txt", "removed\tgone.txt", "modified\tmode.txt"}));

    // A second change after the first was read is news again.
    Dir.Write(QStringLiteral("new.txt"), "again");
    EXPECT_EQ(Drain(*reader), L({"modified\tnew.txt"}));
}

TEST_F(DirChanges, NewFoldersAreWatchedAndWhatTheirScanFindsIsReportedAsAdded)
{
    auto reader = Open();
    // Made and written at once, before the watcher could add a watch on the new folders.
    Dir.Write(QStringLiteral("a/b/c/deep.txt"), "x");
    MakeDir(QStringLiteral("fresh"));
    Dir.Write(QStringLiteral("fresh/now.txt"), "x");
    const QStringList lines = Drain(*reader);
    for (const char* expected : {"added\ta", "added\ta/b", "added\ta/b/c", "added\ta/b/c/deep.txt",
                                 "added\tfresh", "added\tfresh/now.txt"})
        EXPECT_TRUE(lines.contains(QString::fromUtf8(expected)))
            << expected << "\n"
            << lines.join(QLatin1Char('\n')).toStdString();

    // The bottom folder is watched now.
    Dir.Write(QStringLiteral("a/b/c/later.txt"), "x");
    EXPECT_EQ(Drain(*reader), L({"added\ta/b/c/later.txt", "modified\ta/b/c/later.txt"}));
}

TEST_F(DirChanges, RenamedFoldersReportTheirContentUnderTheNewName)
{
    Dir.Write(QStringLiteral("x/y/z/f.txt"), "1");
    MakeDir(QStringLiteral("other"));
    auto reader = Open();
    Rename(Dir.Path(QStringLiteral("x/y")), Dir.Path(QStringLiteral("x/y2")));
    Rename(Dir.Path(QStringLiteral("x")), Dir.Path(QStringLiteral("x2")));
    Dir.Write(QStringLiteral("x2/y2/z/f.txt"), "2");
    EXPECT_EQ(Drain(*reader), L({"renamed-old\tx/y", "renamed-new\tx/y2", "renamed-old\tx", "renamed-new\tx2",
                                 "modified\tx2/y2/z/f.txt"}));

    // Across folders of the tree too.
    Rename(Dir.Path(QStringLiteral("x2/y2")), Dir.Path(QStringLiteral("other/moved")));
    Dir.Write(QStringLiteral("other/moved/z/f.txt"), "3");
    EXPECT_EQ(Drain(*reader),
              L({"renamed-old\tx2/y2", "renamed-new\tother/moved", "modified\tother/moved/z/f.txt"}));
}

TEST_F(DirChanges, RenamesArePairedAlsoWhenTheirTwoRecordsComeInTwoReads)
{
    // With the smallest buffer, one record of a name this long fills a read.
    const QString oldName = QString(250, QLatin1Char('o'));
    const QString newName = QString(250, QLatin1Char('n'));
    Dir.Write(oldName + QStringLiteral("/f.txt"), "1");
    auto reader = Open({Dir.Root(), true, NotifyAll, 0});
    Rename(Dir.Path(oldName), Dir.Path(newName));
    Dir.Write(newName + QStringLiteral("/f.txt"), "2");
    EXPECT_EQ(
        Drain(*reader),
        QStringList({QStringLiteral("renamed-old\t") + oldName, QStringLiteral("renamed-new\t") + newName,
                     QStringLiteral("modified\t") + newName + QStringLiteral("/f.txt")}));
}

TEST_F(DirChanges, FoldersMovedOutAreForgottenAndFoldersMovedInAreReported)
{
    TTestDir outside;
    Dir.Write(QStringLiteral("leaving/sub/f.txt"), "1");
    outside.Write(QStringLiteral("coming/sub/g.txt"), "1");
    auto reader = Open();

    Rename(Dir.Path(QStringLiteral("leaving")), outside.Path(QStringLiteral("left")));
    outside.Write(QStringLiteral("left/sub/f.txt"), "changed outside");
    outside.Write(QStringLiteral("left/new.txt"), "new outside");
    EXPECT_EQ(Drain(*reader), L({"removed\tleaving"}));

    Rename(outside.Path(QStringLiteral("coming")), Dir.Path(QStringLiteral("came")));
    QStringList lines = Drain(*reader);
    lines.sort();
    EXPECT_EQ(lines, L({"added\tcame", "added\tcame/sub", "added\tcame/sub/g.txt"}));
    Dir.Write(QStringLiteral("came/sub/g.txt"), "2");
    EXPECT_EQ(Drain(*reader), L({"modified\tcame/sub/g.txt"}));
}

TEST_F(DirChanges, AFolderReplacedByRenamingOverItIsWatchedUnderItsName)
{
    MakeDir(QStringLiteral("target"));
    Dir.Write(QStringLiteral("staging/in.txt"), "1");
    auto reader = Open();
    Rename(Dir.Path(QStringLiteral("staging")), Dir.Path(QStringLiteral("target")));
    Dir.Write(QStringLiteral("target/in.txt"), "2");
    EXPECT_EQ(Drain(*reader), L({"renamed-old\tstaging", "renamed-new\ttarget", "modified\ttarget/in.txt"}));
    // The folder that was replaced left no watch behind that could name a file twice.
    MakeDir(QStringLiteral("staging"));
    Dir.Write(QStringLiteral("target/more.txt"), "3");
    EXPECT_EQ(Drain(*reader), L({"added\tstaging", "added\ttarget/more.txt", "modified\ttarget/more.txt"}));
}

TEST_F(DirChanges, SymbolicLinksAreReportedNeverFollowed)
{
    Dir.Write(QStringLiteral("real/f.txt"), "1");
    auto reader = Open();
    MakeDir(QStringLiteral("loop"));
    ASSERT_EQ(::symlink("..", Dir.Path(QStringLiteral("loop/up")).toLocal8Bit().constData()), 0);
    ASSERT_EQ(::symlink(".", Dir.Path(QStringLiteral("self")).toLocal8Bit().constData()), 0);
    ASSERT_EQ(::symlink("real", Dir.Path(QStringLiteral("alias")).toLocal8Bit().constData()), 0);
    Dir.Write(QStringLiteral("real/f.txt"), "2");
    EXPECT_EQ(Drain(*reader),
              L({"added\tloop", "added\tloop/up", "added\tself", "added\talias", "modified\treal/f.txt"}));

    // A tree that holds the loops from the start is watched without following them.
    auto second = Open();
    Dir.Write(QStringLiteral("loop/seen.txt"), "x");
    EXPECT_EQ(Drain(*second), L({"added\tloop/seen.txt", "modified\tloop/seen.txt"}));
}

TEST_F(DirChanges, WithoutTheSubtreeOnlyTheDirectoryItselfIsWatched)
{
    MakeDir(QStringLiteral("sub"));
    auto reader = Open(false);
    Dir.Write(QStringLiteral("sub/hidden.txt"), "x");
    MakeDir(QStringLiteral("sub2"));
    Dir.Write(QStringLiteral("sub2/hidden.txt"), "x");
    Dir.Write(QStringLiteral("top.txt"), "x");
    EXPECT_EQ(Drain(*reader), L({"added\tsub2", "added\ttop.txt", "modified\ttop.txt"}));
}

TEST_F(DirChanges, TheFilterSelectsWhatIsReported)
{
    Dir.Write(QStringLiteral("f.txt"), "1");
    struct TCase
    {
        std::uint32_t Filter; // file names always: the marker needs them
        QStringList Expected;
    };
    const TCase cases[] = {
        {NotifyFileName, L({"added\t@/g.txt"})},
        {NotifyFileName | NotifyDirName, L({"added\t@/g.txt", "added\t@/e"})},
        {NotifyFileName | NotifySize, L({"modified\tf.txt", "added\t@/g.txt", "modified\t@/g.txt"})},
        {NotifyFileName | NotifyAttributes, L({"modified\tf.txt", "added\t@/g.txt"})}, // the chmod only
    };
    int round = 0;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Filter);
        const QString d = QStringLiteral("d%1").arg(++round);
        MakeDir(d);
        auto reader = Open(true, c.Filter);
        Dir.Write(QStringLiteral("f.txt"), "2");
        ASSERT_TRUE(
            QFile::setPermissions(Dir.Path(QStringLiteral("f.txt")),
                                  round % 2 ? QFile::ReadOwner : QFile::ReadOwner | QFile::WriteOwner));
        Dir.Write(d + QStringLiteral("/g.txt"), "1");
        MakeDir(d + QStringLiteral("/e"));
        EXPECT_EQ(Drain(*reader), QStringList(c.Expected).replaceInStrings(QStringLiteral("@"), d));
    }
}

// Loses the next batch of records, as an overflowing queue of the system does.
class TLoseOneBatch : public TFaultInjector
{
public:
    TFault Check(TFileOp Op, const QString&, qint64) override
    {
        return Op == TFileOp::ReadChanges && !FUsed.exchange(true) ? TFault{ErrNotifyEnumDir, -1} : TFault{};
    }

private:
    std::atomic<bool> FUsed{false};
};

TEST_F(DirChanges, AfterLostRecordsTheOverflowIsReportedAndNewFoldersAreWatched)
{
    Dir.Write(QStringLiteral("keep/f.txt"), "1");
    Dir.Write(QStringLiteral("away/f.txt"), "1");
    TTestDir outside;
    auto reader = Open();
    {
        TLoseOneBatch lose;
        TScopedFaultInjector installed(lose);
        // Records of these are lost: the new folder must be found by the rescan.
        MakeDir(QStringLiteral("born/inner"));
        Rename(Dir.Path(QStringLiteral("away")), outside.Path(QStringLiteral("away")));
        TWatchdog watchdog(*reader);
        QList<TDirNotice> notices;
        ASSERT_EQ(reader->Read(notices), TReadResult::Notices);
        ASSERT_EQ(notices.size(), 1);
        EXPECT_EQ(Line(notices[0]), QStringLiteral("error\t%1").arg(ErrNotifyEnumDir));
    }
    Dir.Write(QStringLiteral("born/inner/f.txt"), "x");
    Dir.Write(QStringLiteral("keep/f.txt"), "2");
    outside.Write(QStringLiteral("away/f.txt"), "changed outside");
    EXPECT_EQ(Drain(*reader),
              L({"added\tborn/inner/f.txt", "modified\tborn/inner/f.txt", "modified\tkeep/f.txt"}));
}

TEST_F(DirChanges, ARealQueueOverflowOfTheSystemIsReportedAndWatchingRecovers)
{
    // Records queue up while nobody reads: more new files than the queue holds overflow it,
    // without touching the system's settings.
    QFile limitFile(QStringLiteral("/proc/sys/fs/inotify/max_queued_events"));
    ASSERT_TRUE(limitFile.open(QIODevice::ReadOnly));
    const int limit = limitFile.readAll().trimmed().toInt();
    if (limit <= 0 || limit > 200000) GTEST_SKIP() << "queue limit " << limit;

    MakeDir(QStringLiteral("burst"));
    auto reader = Open(true, NotifyFileName);
    for (int i = 0; i <= limit; ++i) {
        QFile f(Dir.Path(QStringLiteral("burst/f%1").arg(i)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    MakeDir(QStringLiteral("born/inner")); // its records are lost with the overflow

    TWatchdog watchdog(*reader);
    QList<TDirNotice> notices;
    int added = 0;
    bool overflow = false;
    while (!overflow && reader->Read(notices) == TReadResult::Notices)
        for (const TDirNotice& n : std::as_const(notices)) {
            added += !n.IsError;
            overflow = overflow || (n.IsError && n.Code == ErrNotifyEnumDir);
        }
    EXPECT_TRUE(overflow);
    EXPECT_GT(added, 0);
    EXPECT_LE(added, limit);

    Dir.Write(QStringLiteral("born/inner/f.txt"), "x");
    EXPECT_EQ(Drain(*reader), L({"added\tborn/inner/f.txt"}));
}

TEST_F(DirChanges, TheWatchLimitIsNamedAndWatchingGoesOnForTheRest)
{
    Dir.Write(QStringLiteral("full/f.txt"), "1");
    Dir.Write(QStringLiteral("fine/f.txt"), "1");
    TRefuse limit(TFileOp::WatchDirectory, QStringLiteral("/full"), ENOSPC);
    TScopedFaultInjector installed(limit);

    int error = -1;
    auto reader = OpenDirChangeReader({Dir.Root(), true, NotifyAll, 0}, error);
    ASSERT_EQ(error, 0);
    QList<TDirNotice> first;
    ASSERT_EQ(reader->Read(first), TReadResult::Notices);
    ASSERT_EQ(first.size(), 1);
    EXPECT_TRUE(first[0].IsError);
    EXPECT_EQ(first[0].Code, ENOSPC);
    EXPECT_TRUE(first[0].Text.contains(QLatin1String("fs.inotify.max_user_watches")))
        << first[0].Text.toStdString();
    EXPECT_TRUE(first[0].Text.contains(Dir.Path(QStringLiteral("full"))));

    Dir.Write(QStringLiteral("full/f.txt"), "2");
    Dir.Write(QStringLiteral("fine/f.txt"), "2");
    Dir.Write(QStringLiteral("top.txt"), "2");
    EXPECT_EQ(Drain(*reader), L({"modified\tfine/f.txt", "added\ttop.txt", "modified\ttop.txt"}));
}

TEST_F(DirChanges, TheWatchedDirectoryGoneGivesOneErrorAndTheEnd)
{
    TTestDir parent;
    struct TCase
    {
        const char* Name;
        bool Delete; // else moved away
    };
    for (const TCase c : {TCase{"deleted", true}, TCase{"moved", false}}) {
        SCOPED_TRACE(c.Name);
        const QString root = parent.Path(QString::fromUtf8(c.Name));
        parent.Write(QString::fromUtf8(c.Name) + QStringLiteral("/sub/f.txt"), "1");
        int error = -1;
        auto reader = OpenDirChangeReader({root, true, NotifyAll, 0}, error);
        ASSERT_TRUE(reader);
        if (c.Delete)
            ASSERT_TRUE(QDir(root).removeRecursively());
        else
            Rename(root, parent.Path(QStringLiteral("elsewhere")));
        TWatchdog watchdog(*reader);
        QList<TDirNotice> notices;
        QList<TDirNotice> errors;
        TReadResult r;
        while ((r = reader->Read(notices)) == TReadResult::Notices)
            for (const TDirNotice& n : std::as_const(notices))
                if (n.IsError) errors << n;
        ASSERT_EQ(r, TReadResult::Ended);
        for (const TDirNotice& n : std::as_const(notices))
            if (n.IsError) errors << n;
        ASSERT_EQ(errors.size(), 1);
        EXPECT_EQ(errors[0].Code, ErrFileNotFound);
        EXPECT_TRUE(errors[0].Text.contains(root));
        // Re-created, it is not watched again by this reader.
        parent.Write(QString::fromUtf8(c.Name) + QStringLiteral("/again.txt"), "x");
        EXPECT_EQ(reader->Read(notices), TReadResult::Ended);
        EXPECT_TRUE(notices.isEmpty());
        QDir(parent.Path(QStringLiteral("elsewhere"))).removeRecursively();
    }
}

TEST_F(DirChanges, StopEndsAWaitingReadFromAnotherThread)
{
    auto reader = Open();
    std::thread stopper([&] { reader->Stop(); });
    QList<TDirNotice> notices;
    EXPECT_EQ(reader->Read(notices), TReadResult::Stopped);
    stopper.join();
}

TEST_F(DirChanges, OpeningWhatIsNoDirectoryFails)
{
    const QString file = Dir.Write(QStringLiteral("plain"), "x");
    for (const auto& [path, code] :
         {std::pair{Dir.Path(QStringLiteral("missing")), ErrFileNotFound}, std::pair{file, ErrPathNotFound},
          std::pair{file + QStringLiteral("/below"), ErrPathNotFound}}) {
        int error = 0;
        EXPECT_EQ(OpenDirChangeReader({path, true, NotifyAll, 0}, error), nullptr);
        EXPECT_EQ(error, code) << path.toStdString();
    }
}

TEST(DirChangesFileSystems, NetworkFileSystemsAreRecognised)
{
    struct TCase
    {
        std::int64_t Type;
        const char* SubType;
        bool Network;
    };
    for (const TCase c :
         {TCase{0x6969, "", true}, TCase{0xFF534D42, "", true}, TCase{0xFE534D42, "", true},
          TCase{0x517B, "", true}, TCase{0x65735546, "sshfs", true}, TCase{0x65735546, "rclone", true},
          TCase{0x65735546, "ntfs-3g", false}, TCase{0xEF53, "", false}, TCase{0x01021994, "", false},
          TCase{0x9123683E, "", false}})
        EXPECT_EQ(IsNetworkFileSystem(c.Type, QString::fromUtf8(c.SubType)), c.Network) << std::hex << c.Type;
}

} // namespace
