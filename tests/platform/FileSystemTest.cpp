#include "platform/FileSystem.h"
#include "platform/FaultInjection.h"
#include "platform/SysErrors.h"

#include "fixtures/Faults.h"
#include "fixtures/TestFiles.h"

#include <QFile>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace Platform;

namespace {

bool UserAttributesWork(const QString& Name)
{
    const QByteArray path = QFile::encodeName(Name);
    return ::setxattr(path.constData(), "user.ov_probe", "1", 1, 0) == 0 &&
           ::removexattr(path.constData(), "user.ov_probe") == 0;
}

QByteArray DosAttrib(const QString& Name)
{
    char buf[64];
    const ssize_t n = ::getxattr(QFile::encodeName(Name).constData(), "user.DOSATTRIB", buf, sizeof buf);
    return n < 0 ? QByteArray() : QByteArray(buf, static_cast<int>(n));
}

TEST(FileSystem, ReadOnlyIsThePermissionBitsAndOtherBitsAreKeptForSamba)
{
    TTestDir dir;
    const QString name = dir.Write(QStringLiteral("f.txt"), "x");
    std::uint32_t attr = 0;
    ASSERT_EQ(GetFileAttributes(name, attr), 0);
    EXPECT_EQ(attr, faNormal);

    ASSERT_EQ(SetFileAttributes(name, faReadOnly), 0);
    struct stat st
    {
    };
    ASSERT_EQ(::stat(QFile::encodeName(name).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0222, 0u);
    ASSERT_EQ(GetFileAttributes(name, attr), 0);
    EXPECT_EQ(attr, faReadOnly);
    ASSERT_EQ(SetFileAttributes(name, faArchive), 0);
    ASSERT_EQ(GetFileAttributes(name, attr), 0);
    EXPECT_FALSE(attr & faReadOnly);

    ASSERT_EQ(GetFileAttributes(dir.Root(), attr), 0);
    EXPECT_EQ(attr, faDirectory);
    EXPECT_EQ(GetFileAttributes(dir.Path(QStringLiteral("none")), attr), ErrFileNotFound);
    EXPECT_EQ(attr, faInvalid);

    if (!UserAttributesWork(name)) GTEST_SKIP() << "this file system keeps no user attributes";
    ASSERT_EQ(SetFileAttributes(name, faHidden | faArchive | faReadOnly), 0);
    EXPECT_EQ(DosAttrib(name), QByteArray("0x22"));
    ASSERT_EQ(GetFileAttributes(name, attr), 0);
    EXPECT_EQ(attr, faHidden | faArchive | faReadOnly);
    ASSERT_EQ(SetFileAttributes(name, faNormal), 0);
    EXPECT_EQ(DosAttrib(name), QByteArray());
}

TEST(FileSystem, TimesRoundTripAndZeroLeavesATimeAlone)
{
    TTestDir dir;
    const QString name = dir.Write(QStringLiteral("t"), "x");
    const TFileTime write = 132000000001234567LL, access = 131000000007654321LL;
    ASSERT_EQ(SetFileTimes(name, {0, access, write}), 0);
    TFileTimestamps t;
    ASSERT_EQ(GetFileTimes(name, t), 0);
    EXPECT_EQ(t.LastWriteTime, write);
    EXPECT_EQ(t.LastAccessTime, access);
    ASSERT_EQ(SetFileTimes(name, {0, 0, write + 10}), 0);
    ASSERT_EQ(GetFileTimes(name, t), 0);
    EXPECT_EQ(t.LastWriteTime, write + 10);
    EXPECT_EQ(t.LastAccessTime, access);
}

TEST(FileSystem, EntriesDescribeLinksWithoutFollowingThem)
{
    TTestDir dir;
    dir.Write(QStringLiteral("a.txt"), "12345");
    dir.Write(QStringLiteral("sub/b.txt"), "");
    ASSERT_EQ(::symlink("sub", QFile::encodeName(dir.Path(QStringLiteral("link"))).constData()), 0);

    QList<TFindData> entries;
    ASSERT_EQ(ListDirectory(dir.Root(), entries), 0);
    ASSERT_EQ(entries.size(), 3);
    std::map<QString, TFindData> byName;
    for (const TFindData& e : entries)
        byName[e.Name] = e;
    EXPECT_EQ(byName[QStringLiteral("a.txt")].Size, 5);
    EXPECT_EQ(byName[QStringLiteral("a.txt")].Attributes, faNormal);
    EXPECT_NE(byName[QStringLiteral("a.txt")].Times.LastWriteTime, 0);
    EXPECT_EQ(byName[QStringLiteral("sub")].Attributes, faDirectory);
    EXPECT_EQ(byName[QStringLiteral("link")].Attributes, faSymLink | faDirectory);

    TFindData one;
    ASSERT_EQ(FindEntry(dir.Path(QStringLiteral("link")), one), 0);
    EXPECT_EQ(one.Name, QStringLiteral("link"));
    EXPECT_TRUE(one.Attributes & faSymLink);
    EXPECT_EQ(ListDirectory(dir.Path(QStringLiteral("a.txt")), entries), ENOTDIR);
}

TEST(FileSystem, FoldersFilesAndNames)
{
    TTestDir dir;
    const QString deep = dir.Path(QStringLiteral("x/y/z"));
    EXPECT_EQ(ForceDirectories(deep), 0);
    EXPECT_TRUE(DirectoryExists(deep));
    EXPECT_FALSE(FileExists(deep));
    const QString file = dir.Write(QStringLiteral("x/f"), "1");
    EXPECT_EQ(ForceDirectories(file + QStringLiteral("/sub")), ErrFileExists); // a file stands in the way
    {
        TRefuse refuse(TFileOp::CreateDirectory, QStringLiteral("/q"), EACCES);
        TScopedFaultInjector hook(refuse);
        EXPECT_EQ(ForceDirectories(dir.Path(QStringLiteral("q/r"))), EACCES);
    }

    EXPECT_TRUE(SameFile(file, dir.Path(QStringLiteral("x/y/../f"))));
    EXPECT_FALSE(SameFile(file, dir.Path(QStringLiteral("x/F")))); // case matters here
    const QString other = dir.Path(QStringLiteral("x/g"));
    EXPECT_EQ(RenameFile(file, other), 0);
    EXPECT_FALSE(FileExists(file));
    EXPECT_TRUE(FileExists(other));
    EXPECT_EQ(DeleteFile(other), 0);
    EXPECT_EQ(DeleteFile(other), ErrFileNotFound);

    TFile f;
    EXPECT_EQ(f.Open(deep, TOpenAccess::Read), EISDIR); // a folder is no file
    EXPECT_FALSE(f.IsOpen());
    EXPECT_EQ(f.CreateNew(dir.Path(QStringLiteral("n"))), 0);
    TFile g;
    EXPECT_EQ(g.CreateNew(dir.Path(QStringLiteral("n"))), ErrFileExists);
}

TEST(FileSystem, ReadsAndWritesMoveEveryByteAndStopAtTheEnd)
{
    TTestDir dir;
    const QByteArray data(300000, 'q');
    TFile f;
    ASSERT_EQ(f.Create(dir.Path(QStringLiteral("big"))), 0);
    qint64 done = 0;
    ASSERT_EQ(f.Write(data.constData(), data.size(), done), 0);
    EXPECT_EQ(done, data.size());
    qint64 size = 0;
    EXPECT_EQ(f.Size(size), 0);
    EXPECT_EQ(size, data.size());
    ASSERT_EQ(f.Seek(299990), 0);
    char buf[64];
    ASSERT_EQ(f.Read(buf, sizeof buf, done), 0);
    EXPECT_EQ(done, 10);
    ASSERT_EQ(f.Read(buf, sizeof buf, done), 0);
    EXPECT_EQ(done, 0);
    EXPECT_EQ(f.Close(), 0);
    EXPECT_EQ(f.Read(buf, 1, done), ErrInvalidHandle);
    EXPECT_EQ(SysErrorMessage(ErrFileNotFound), QStringLiteral("No such file or directory"));
}

} // namespace
