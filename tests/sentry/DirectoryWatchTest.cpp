// The directory watcher with its worker thread and a real event loop, on real folders.

#include "sentry/DirectoryWatch.h"

#include "base/Errors.h"
#include "base/SafeFormat.h"
#include "platform/FileSystem.h"
#include "platform/SysErrors.h"

#include "fixtures/TestFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QTest>

#include <gtest/gtest.h>

namespace {

constexpr int WaitMs = 60000; // generous: the machine may be busy

const char* ActionName(TWatchAction Action)
{
    static const char* const Names[] = {"added", "removed", "modified", "renamed-old", "renamed-new"};
    return Names[Action];
}

class DirectoryWatch : public testing::Test
{
protected:
    void SetUp() override
    {
        Watch.SetDirectory(Dir.Root());
        Watch.SetOnNotify(
            [this](TDirectoryWatch* Sender, int ChgNotId, TWatchAction Action, const QString& Name) {
                EXPECT_EQ(Sender, &Watch);
                EXPECT_EQ(ChgNotId, 7);
                EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
                Lines << QString::fromUtf8(ActionName(Action)) + QLatin1Char('\t') + Name;
            });
        Watch.SetOnError([this](TDirectoryWatch*, int Code, const QString& Text) {
            Lines << QStringLiteral("error\t%1").arg(Code);
            ErrorTexts << Text;
        });
        Watch.SetOnChange([this](TDirectoryWatch*) { ++ChangeCount; });
    }

    // Everything reported up to a marker file written last, without the marker's own records.
    QStringList Drain()
    {
        const QString marker = QStringLiteral("marker-%1").arg(++Markers);
        Dir.Write(marker, "m");
        const QString added = QStringLiteral("added\t") + marker;
        EXPECT_TRUE(QTest::qWaitFor([&] { return Lines.contains(added); }, WaitMs)) << marker.toStdString();
        QStringList out;
        for (const QString& l : std::exchange(Lines, {}))
            if (!l.contains(QLatin1String("\tmarker-"))) out << l;
        return out;
    }

    TTestDir Dir;
    TDirectoryWatch Watch{7};
    QStringList Lines;
    QStringList ErrorTexts;
    int ChangeCount = 0;
    int Markers = 0;
};

QStringList L(std::initializer_list<const char*> Lines)
{
    QStringList out;
    for (const char* l : Lines)
        out << QString::fromUtf8(l);
    return out;
}

TEST_F(DirectoryWatch, StartFailsWithoutAUsableDirectoryAndStaysStopped)
{
    TDirectoryWatch empty(1);
    try {
        empty.Start();
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Please specify a directory to watch"));
    }
    EXPECT_FALSE(empty.Running());

    const QString missing = Dir.Path(QStringLiteral("missing"));
    empty.SetDirectory(QStringLiteral("  ") + missing + QStringLiteral(" "));
    EXPECT_EQ(empty.Directory(), missing);
    try {
        empty.Start();
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(),
                  SafeFormat(QStringLiteral("Error trying to create file handle for \"%s\". Error code: %d"),
                             {missing, Platform::ErrFileNotFound}));
    }
    EXPECT_FALSE(empty.Running());
}

TEST_F(DirectoryWatch, ChangesArriveOnTheCreatingThreadWithTheirRelativeNames)
{
    Dir.Write(QStringLiteral("sub/file.txt"), "1");
    Dir.Write(QStringLiteral("top.txt"), "1");
    Watch.Start();
    EXPECT_TRUE(Watch.Running());

    Dir.Write(QStringLiteral("sub/file.txt"), "2");
    ASSERT_EQ(Platform::RenameFile(Dir.Path(QStringLiteral("top.txt")), Dir.Path(QStringLiteral("new.txt"))),
              0);
    ASSERT_TRUE(QFile::remove(Dir.Path(QStringLiteral("new.txt"))));
    EXPECT_EQ(Drain(), L({"modified\tsub/file.txt", "renamed-old\ttop.txt", "renamed-new\tnew.txt",
                          "removed\tnew.txt"}));

    // Two changes, each seen before the next, are two events.
    Dir.Write(QStringLiteral("sub/file.txt"), "3");
    EXPECT_EQ(Drain(), L({"modified\tsub/file.txt"}));
    Dir.Write(QStringLiteral("sub/file.txt"), "4");
    EXPECT_EQ(Drain(), L({"modified\tsub/file.txt"}));

    // An action left out of WatchActions is not reported, though the system reports it.
    Watch.SetWatchActions(TWatchActions(AllWatchActions).Exclude(waModified));
    Dir.Write(QStringLiteral("sub/file.txt"), "5");
    Dir.Write(QStringLiteral("sub/other.txt"), "1");
    EXPECT_EQ(Drain(), L({"added\tsub/other.txt"}));
}

TEST_F(DirectoryWatch, SettersRestartOnlyOnARealChange)
{
    Watch.Start();
    EXPECT_EQ(ChangeCount, 1);
    Watch.SetDirectory(QStringLiteral(" ") + Dir.Root() + QStringLiteral("  "));
    Watch.SetWatchSubTree(true);
    Watch.SetWatchOptions(AllWatchOptions);
    Watch.SetWatchActions(AllWatchActions);
    EXPECT_EQ(ChangeCount, 1);
    EXPECT_EQ(Watch.Directory(), Dir.Root());

    // The restart's Stop and Start each fire too.
    Watch.SetWatchOptions(TWatchOptions{woFileName, woDirName});
    EXPECT_EQ(ChangeCount, 4);
    EXPECT_TRUE(Watch.Running());
    Dir.Write(QStringLiteral("n.txt"), "1");
    EXPECT_EQ(Drain(), L({"added\tn.txt"})); // no "modified": the new filter is in force

    Watch.Stop();
    EXPECT_EQ(ChangeCount, 5);
    EXPECT_FALSE(Watch.Running());
    Watch.Stop();
    Watch.SetWatchSubTree(false); // stopped: stored, no restart
    EXPECT_EQ(ChangeCount, 6);
    // Letter case makes another folder here.
    Watch.SetDirectory(Dir.Root().toUpper());
    EXPECT_EQ(ChangeCount, 7);
    EXPECT_EQ(Watch.Directory(), Dir.Root().toUpper());
    EXPECT_FALSE(Watch.Running());
}

TEST_F(DirectoryWatch, ABufferTooSmallForOneRecordStillReadsTheLongestName)
{
    for (const int entries : {0, -5}) {
        SCOPED_TRACE(entries);
        Watch.Stop();
        Watch.SetBufferSize(entries);
        Watch.Start();
        const QString longName = QString(255 - 4, QLatin1Char(char('a' + Markers))) + QStringLiteral(".txt");
        Dir.Write(longName, "x");
        EXPECT_EQ(Drain(), QStringList({QStringLiteral("added\t") + longName,
                                        QStringLiteral("modified\t") + longName}));
    }
}

TEST_F(DirectoryWatch, FoldersMadeAndWrittenAtOnceAreReportedDownToTheBottom)
{
    Watch.Start();
    ASSERT_TRUE(QDir().mkpath(Dir.Path(QStringLiteral("a/b/c"))));
    Dir.Write(QStringLiteral("a/b/c/bottom.txt"), "x");
    ASSERT_TRUE(QDir().mkdir(Dir.Path(QStringLiteral("quick"))));
    Dir.Write(QStringLiteral("quick/at-once.txt"), "x");
    const QStringList lines = Drain();
    for (const char* name : {"a", "a/b", "a/b/c", "a/b/c/bottom.txt", "quick", "quick/at-once.txt"})
        EXPECT_TRUE(lines.contains(QStringLiteral("added\t") + QString::fromUtf8(name))) << name;
    Dir.Write(QStringLiteral("a/b/c/bottom.txt"), "y");
    EXPECT_EQ(Drain(), L({"modified\ta/b/c/bottom.txt"}));
}

TEST_F(DirectoryWatch, ABurstInNewNestedFoldersIsReportedInFullOrAsAnOverflow)
{
    Watch.Start();
    QSet<QString> expected;
    for (int top = 0; top < 10; ++top)
        for (int sub = 0; sub < 10; ++sub) {
            const QString folder = QStringLiteral("t%1/s%2/").arg(top).arg(sub);
            ASSERT_TRUE(QDir().mkpath(Dir.Path(folder)));
            for (int i = 0; i < 100; ++i) {
                const QString name = folder + QStringLiteral("f%1.dat").arg(i);
                QFile f(Dir.Path(name));
                ASSERT_TRUE(f.open(QIODevice::WriteOnly));
                expected.insert(name);
            }
        }
    const QStringList lines = Drain();
    const bool overflow = lines.contains(QStringLiteral("error\t%1").arg(Platform::ErrNotifyEnumDir));
    QSet<QString> seen;
    for (const QString& l : lines)
        if (l.startsWith(QLatin1String("added\t"))) seen.insert(l.mid(6));
    if (!overflow) {
        for (const QString& name : std::as_const(expected))
            ASSERT_TRUE(seen.contains(name)) << name.toStdString();
    }
    // Either way, watching goes on in the new folders.
    Dir.Write(QStringLiteral("t9/s9/late.txt"), "x");
    EXPECT_TRUE(Drain().contains(QStringLiteral("added\tt9/s9/late.txt")));
}

TEST_F(DirectoryWatch, TheWatchedDirectoryDeletedGivesOneErrorThenNothing)
{
    const QString root = Dir.Path(QStringLiteral("watched"));
    Dir.Write(QStringLiteral("watched/sub/f.txt"), "1");
    Watch.SetDirectory(root);
    Watch.Start();
    ASSERT_TRUE(QDir(root).removeRecursively());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !ErrorTexts.isEmpty(); }, WaitMs));
    EXPECT_TRUE(ErrorTexts[0].contains(root)) << ErrorTexts[0].toStdString();
    EXPECT_TRUE(Watch.Running()); // until stopped

    Dir.Write(QStringLiteral("watched/again.txt"), "x");
    QCoreApplication::sendPostedEvents(&Watch);
    Watch.Stop(); // the worker has ended: whatever it posted is queued now
    QCoreApplication::sendPostedEvents(&Watch);
    EXPECT_EQ(ErrorTexts.size(), 1);
    EXPECT_FALSE(Lines.join(QLatin1Char('\n')).contains(QLatin1String("again.txt")));

    // Started again, it watches the new directory.
    Lines.clear();
    Watch.Start();
    Dir.Write(QStringLiteral("watched/marker-x"), "x");
    EXPECT_TRUE(QTest::qWaitFor([&] { return Lines.contains(QStringLiteral("added\tmarker-x")); }, WaitMs));
}

} // namespace
