#include "base/FileUtils.h"

#include "fixtures/Faults.h"
#include "fixtures/TestFiles.h"

#include "platform/SysErrors.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <unistd.h>

using namespace Platform;

namespace {

QByteArray Pattern(qint64 Size)
{
    QByteArray data(Size, Qt::Uninitialized);
    for (qint64 i = 0; i < Size; ++i)
        data[i] = static_cast<char>((i * 131 + i / 251) & 0xFF);
    return data;
}

TFileTime WriteTimeOf(const QString& Name)
{
    TFileTimestamps t;
    EXPECT_EQ(GetFileTimes(Name, t), 0);
    return t.LastWriteTime;
}

TEST(ExtFileStream, OpenAndCreateFailuresNameTheFileAndCarryTheCode)
{
    TTestDir dir;
    const QString missing = dir.Path(QStringLiteral("missing.bin"));
    try {
        TExtFileStream s(missing, fmOpenRead | fmShareDenyNone);
        FAIL() << "opened a missing file";
    } catch (const EExtFileStreamError& e) {
        EXPECT_EQ(e.ErrorCode(), ErrFileNotFound);
        EXPECT_EQ(
            e.Message(),
            QStringLiteral("Cannot open file \"%1\". %2").arg(missing, SysErrorMessage(ErrFileNotFound)));
    }
    const QString below = dir.Write(QStringLiteral("plain"), "x") + QStringLiteral("/new.bin");
    try {
        TExtFileStream s(below, fmCreate);
        FAIL() << "created a file below a plain file";
    } catch (const EExtFileStreamError& e) {
        EXPECT_EQ(e.ErrorCode(), ErrPathNotFound);
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral("Cannot create file \"%1\". ").arg(below)));
    }
}

TEST(ExtFileStream, ReadsAndWritesReportCodesInsteadOfRaising)
{
    TTestDir dir;
    const QString name = dir.Path(QStringLiteral("s.bin"));
    {
        TExtFileStream s(name, fmCreate);
        qint64 done = 0;
        EXPECT_EQ(s.Write("hello", 5, done), 0);
        EXPECT_EQ(done, 5);
        EXPECT_EQ(s.FileName(), name);
    }
    TExtFileStream s(name, fmOpenRead);
    char buf[16];
    qint64 done = 0;
    EXPECT_EQ(s.Read(buf, sizeof buf, done), 0);
    EXPECT_EQ(QByteArray(buf, static_cast<int>(done)), QByteArray("hello"));
    EXPECT_EQ(s.Write("x", 1, done), EBADF); // opened for reading only
    EXPECT_LT(done, 0);

    // A full disk first shortens the write, then fails it.
    TExtFileStream w(dir.Path(QStringLiteral("full.bin")), fmCreate);
    TDiskFull full(dir.Root(), 3);
    TScopedFaultInjector hook(full);
    EXPECT_EQ(w.Write("hello", 5, done), 0);
    EXPECT_EQ(done, 3);
    EXPECT_EQ(w.Write("lo", 2, done), ErrDiskFull);
}

TEST(CopyFileBlocks, CopiesEverySizeAroundTheBlockSize)
{
    TTestDir dir;
    const qint64 block = 64;
    for (const qint64 size : {qint64(0), qint64(1), block - 1, block, block + 1, 3 * block, 3 * block + 17}) {
        const QByteArray data = Pattern(size);
        const QString src = dir.Write(QStringLiteral("src%1").arg(size), data);
        const QString dst = dir.Path(QStringLiteral("dst%1").arg(size));
        EXPECT_EQ(CopyFileBlocks(src, dst, block), 0) << size;
        EXPECT_EQ(ReadAll(dst), data) << size;
    }
}

TEST(CopyFileBlocks, FailuresGiveTheSystemCode)
{
    TTestDir dir;
    const QString src = dir.Write(QStringLiteral("src"), Pattern(1000));
    EXPECT_EQ(CopyFileBlocks(src, src, 64), 0); // the same file: nothing to do
    EXPECT_EQ(ReadAll(src), Pattern(1000));
    EXPECT_EQ(CopyFileBlocks(dir.Path(QStringLiteral("none")), dir.Path(QStringLiteral("d1")), 64),
              ErrFileNotFound);
    EXPECT_EQ(CopyFileBlocks(src, src + QStringLiteral("/below"), 64), ErrPathNotFound);
    {
        TDiskFull full(dir.Path(QStringLiteral("d2")), 100);
        TScopedFaultInjector hook(full);
        EXPECT_EQ(CopyFileBlocks(src, dir.Path(QStringLiteral("d2")), 64), ErrDiskFull);
    }
    {
        TRefuse refuse(TFileOp::Read, QStringLiteral("src"), EIO);
        TScopedFaultInjector hook(refuse);
        EXPECT_EQ(CopyFileBlocks(src, dir.Path(QStringLiteral("d3")), 64), EIO);
    }
}

TEST(CopyFileWithAttributes, CopiesContentTimeAndAttributes)
{
    TTestDir dir;
    const QByteArray data = Pattern(5000);
    const QString src = dir.Write(QStringLiteral("src.ini"), data);
    const TFileTime past =
        DateTimeToFileTime(QDateTime(QDate(2021, 3, 4), QTime(5, 6, 7), Qt::UTC)) + 1234567;
    ASSERT_EQ(SetFileTimes(src, {0, 0, past}), 0);
    ASSERT_EQ(SetFileAttributes(src, faReadOnly), 0);

    // An existing read-only destination is replaced and ends read-only like the source.
    const QString dst = dir.Write(QStringLiteral("dst.ini"), "old content");
    ASSERT_EQ(SetFileAttributes(dst, faReadOnly), 0);
    CopyFileWithAttributes(src, dst, -1, 1024);
    EXPECT_EQ(ReadAll(dst), data);
    EXPECT_EQ(WriteTimeOf(dst), past);
    std::uint32_t attr = 0;
    ASSERT_EQ(GetFileAttributes(dst, attr), 0);
    EXPECT_TRUE(attr & faReadOnly);

    // Given attributes win over the source's.
    const QString dst2 = dir.Path(QStringLiteral("dst2.ini"));
    CopyFileWithAttributes(src, dst2, faArchive, 1024);
    ASSERT_EQ(GetFileAttributes(dst2, attr), 0);
    EXPECT_FALSE(attr & faReadOnly);
    EXPECT_EQ(QDir(dir.Root()).entryList(QDir::Files).size(), 3); // no temporary file left
}

TEST(CopyFileWithAttributes, ATimeInTheFutureBecomesNow)
{
    TTestDir dir;
    const QString src = dir.Write(QStringLiteral("src"), "x");
    const TFileTime day = 24LL * 3600 * FileTimeTicksPerSecond;
    ASSERT_EQ(SetFileTimes(src, {0, 0, CurrentFileTime() + 2 * day}), 0);
    const TFileTime before = CurrentFileTime();
    CopyFileWithAttributes(src, dir.Path(QStringLiteral("dst")));
    const TFileTime written = WriteTimeOf(dir.Path(QStringLiteral("dst")));
    EXPECT_GE(written, before - FileTimeTicksPerSecond); // file systems may round down
    EXPECT_LE(written, CurrentFileTime());
}

TEST(CopyFileWithAttributes, CopyingAFileOntoItselfDoesNothing)
{
    TTestDir dir;
    const QString src = dir.Write(QStringLiteral("a.ini"), "keep me");
    const QString link = dir.Path(QStringLiteral("link.ini"));
    ASSERT_EQ(::link(QFile::encodeName(src).constData(), QFile::encodeName(link).constData()), 0);
    CopyFileWithAttributes(src, src);
    CopyFileWithAttributes(src, dir.Root() + QStringLiteral("/./a.ini"));
    CopyFileWithAttributes(src, link); // two names of one file: copying would truncate the source
    EXPECT_EQ(ReadAll(src), QByteArray("keep me"));
}

TEST(CopyFileWithAttributes, FailuresRaiseCopyErrorsAndKeepThePreviousCopy)
{
    TTestDir dir;
    const QByteArray data = Pattern(4000);
    const QString src = dir.Write(QStringLiteral("src.ini"), data);
    const QString dst = dir.Write(QStringLiteral("dst.ini"), "previous copy");
    auto expectError = [&](const QString& from, const QString& to, const QString& message, int code) {
        try {
            CopyFileWithAttributes(from, to, -1, 1024);
            ADD_FAILURE() << "no error for " << message.toStdString();
        } catch (const ECopyError& e) {
            EXPECT_EQ(e.Message(), message);
            EXPECT_EQ(e.ErrorCode(), code);
        }
    };

    const QString missing = dir.Path(QStringLiteral("none.ini"));
    expectError(missing, dst, QStringLiteral("File not found: \"%1\"").arg(missing), ErrFileNotFound);
    expectError(src, QString(), QStringLiteral("File not found: \"%1\"").arg(src), ErrFileNotFound);
    {
        TDiskFull full(dir.Root(), 2500);
        TScopedFaultInjector hook(full);
        expectError(src, dst, QStringLiteral("Error writing to \"%1\"").arg(dst), ErrDiskFull);
    }
    // A refused step of the copy, and the file its message names.
    const struct
    {
        TFileOp Op;
        const char* Fragment;
        int Error;
        const char* Message;
        QString Named;
    } refusals[] = {
        {TFileOp::Read, "src.ini", EIO, "Error reading from \"%1\"", src},
        {TFileOp::Open, "src.ini", EACCES, "Error opening \"%1\"", src},
        {TFileOp::SetTimes, "dst.ini", EPERM, "Error setting timestamps of \"%1\"", dst},
        {TFileOp::Rename, "dst.ini", EXDEV, "Error creating \"%1\"", dst},
    };
    for (const auto& r : refusals) {
        TRefuse refuse(r.Op, QString::fromLatin1(r.Fragment), r.Error);
        TScopedFaultInjector hook(refuse);
        expectError(src, dst, QString::fromLatin1(r.Message).arg(r.Named), r.Error);
    }
    const QString below = src + QStringLiteral("/x.ini");
    expectError(src, below, QStringLiteral("Error creating \"%1\"").arg(below), ErrPathNotFound);

    EXPECT_EQ(ReadAll(dst), QByteArray("previous copy"));
    EXPECT_EQ(QDir(dir.Root()).entryList(QDir::Files).size(), 2); // no temporary file left
}

} // namespace
