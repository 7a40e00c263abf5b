// The copy thread at work: real files, a real worker thread, progress reports into this thread's
// event loop, and the platform's fault hooks for what root cannot be refused.

#include "copy/ExtFileTools.h"

#include "fixtures/Faults.h"
#include "fixtures/TestFiles.h"

#include "platform/FileStreams.h"
#include "platform/FileSystem.h"
#include "platform/SysErrors.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/xattr.h>

using namespace Platform;

namespace {

constexpr int Block = 4096;

QByteArray Pattern(qint64 Size, int Seed = 7)
{
    QByteArray data(Size, Qt::Uninitialized);
    for (qint64 i = 0; i < Size; ++i)
        data[i] = static_cast<char>((i * 131 + i / 251 + Seed) & 0xFF);
    return data;
}

// Keeps this thread's events going (the reports arrive through them) until the copy is done.
void WaitDone(const TCopyThread& T)
{
    QDeadlineTimer deadline(60000);
    while (!T.Done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_TRUE(T.Done()) << "the copy did not finish";
}

struct TReport
{
    TFileAction Action;
    qint64 Count;
    bool SpeedLimit;
    bool OnMainThread;
};

// Records every report; Hook runs inside the report, on the main thread, with the copy waiting.
struct TRecorder
{
    QList<TReport> Reports;
    std::function<void(const TReport&)> Hook;

    TFileProgressEvent Handler()
    {
        return [this](TFileAction a, qint64 c, bool s) {
            Reports.append({a, c, s, QThread::currentThread() == QCoreApplication::instance()->thread()});
            if (Hook) Hook(Reports.last());
        };
    }
};

TCopyOptions PlainOptions()
{
    return {coAttributes, coTimeStamp, coCheckTime};
}

QString ErrorText(const TCopyThread& T, const QString& File)
{
    return CopyErrorText(T.ErrorCode(), File, T.SysErrorMsg());
}

TEST(CopyThread, CopiesEverySizeWithOneStartReportAndBlockReportsOnTheMainThread)
{
    TTestDir dir;
    for (const qint64 size :
         {qint64(0), qint64(1), qint64(Block - 1), qint64(Block), qint64(3 * Block + 7)}) {
        SCOPED_TRACE(size);
        const QByteArray data = Pattern(size);
        const QString src = dir.Write(QStringLiteral("src.bin"), data);
        const QString dst = dir.Path(QStringLiteral("out/dst%1.bin").arg(size));
        ASSERT_EQ(ForceDirectories(dir.Path(QStringLiteral("out"))), 0);
        TRecorder rec;
        TWinCopyThread t(src, dst, nullptr, PlainOptions(), true, Block);
        t.SetOnProgress(rec.Handler());
        t.Start();
        WaitDone(t);
        EXPECT_EQ(t.ErrorCode(), 0) << ErrorText(t, dst).toStdString();
        EXPECT_EQ(t.Ratio(), 1000);
        EXPECT_EQ(t.ErrorType(), etCopy);
        EXPECT_EQ(ReadAll(dst), data);
        ASSERT_FALSE(rec.Reports.isEmpty());
        EXPECT_EQ(rec.Reports.first().Action, acCopy);
        EXPECT_EQ(rec.Reports.first().Count, -size);
        EXPECT_FALSE(rec.Reports.first().SpeedLimit);
        EXPECT_EQ(rec.Reports.size(), 1 + (size + Block - 1) / Block);
        EXPECT_EQ(rec.Reports.last().Count, size);
        for (const TReport& r : rec.Reports)
            EXPECT_TRUE(r.OnMainThread);
        for (qsizetype i = 1; i < rec.Reports.size(); ++i)
            EXPECT_TRUE(rec.Reports[i].SpeedLimit && rec.Reports[i].Count > rec.Reports[i - 1].Count);
    }
    // The running CRC-32 of the source is the standard one (check value of "123456789").
    const QString check = dir.Write(QStringLiteral("check.txt"), "123456789");
    TWinCopyThread t(check, dir.Path(QStringLiteral("check.out")), nullptr, {coVerify}, false, 4);
    WaitDone(t);
    EXPECT_EQ(t.Crc(), 0xCBF43926u);
}

TEST(CopyThread, CopiesAcrossFileSystemsWhereTheSystemCannotMoveTheBlocksItself)
{
    QTemporaryDir shm(QStringLiteral("/dev/shm/copytest.XXXXXX"));
    TTestDir dir;
    struct stat a, b;
    if (!shm.isValid() || ::stat("/dev/shm", &a) != 0 ||
        ::stat(QFile::encodeName(dir.Root()).constData(), &b) != 0 || a.st_dev == b.st_dev)
        GTEST_SKIP() << "no second file system at hand";
    const QByteArray data = Pattern(5 * Block + 11);
    QFile f(shm.filePath(QStringLiteral("src.bin")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(data) == data.size());
    f.close();
    const QString dst = dir.Path(QStringLiteral("dst.bin"));
    TWinCopyThread t(f.fileName(), dst, nullptr, PlainOptions(), false, Block);
    WaitDone(t);
    EXPECT_EQ(t.ErrorCode(), 0) << ErrorText(t, dst).toStdString();
    EXPECT_EQ(ReadAll(dst), data);
}

TEST(CopyThread, CarriesTimeAndAttributesOverAsAsked)
{
    TTestDir dir;
    const QString src = dir.Write(QStringLiteral("src.txt"), "some text");
    const TFileTime past = FileTimeFromUnix(1500000000, 123456700);
    ASSERT_EQ(SetFileTimes(src, {0, past, past}), 0);
    ASSERT_EQ(SetFileAttributes(src, faReadOnly | faHidden | faArchive), 0);

    const QString dst = dir.Path(QStringLiteral("dst.txt"));
    TWinCopyThread t(src, dst, nullptr, PlainOptions(), false, Block);
    WaitDone(t);
    ASSERT_EQ(t.ErrorCode(), 0) << ErrorText(t, dst).toStdString();
    Platform::TFileTimestamps times;
    ASSERT_EQ(GetFileTimes(dst, times), 0);
    EXPECT_EQ(times.LastWriteTime, past);
    std::uint32_t attr = 0;
    ASSERT_EQ(GetFileAttributes(dst, attr), 0);
    EXPECT_EQ(attr, faReadOnly | faHidden | faArchive);

    // Without attributes and time stamps the destination is a plain new file; with the archive
    // bit reset only that bit goes.
    const QString plain = dir.Path(QStringLiteral("plain.txt"));
    TWinCopyThread bare(src, plain, nullptr, {}, false, Block);
    WaitDone(bare);
    ASSERT_EQ(bare.ErrorCode(), 0);
    ASSERT_EQ(GetFileTimes(plain, times), 0);
    EXPECT_GT(times.LastWriteTime, past);
    ASSERT_EQ(GetFileAttributes(plain, attr), 0);
    EXPECT_EQ(attr & (faReadOnly | faHidden), 0u);

    const QString reset = dir.Path(QStringLiteral("reset.txt"));
    TWinCopyThread r(src, reset, nullptr, {coAttributes, coResetArchive}, false, Block);
    WaitDone(r);
    ASSERT_EQ(r.ErrorCode(), 0);
    ASSERT_EQ(GetFileAttributes(reset, attr), 0);
    EXPECT_EQ(attr, faReadOnly | faHidden);
}

TEST(CopyThread, FutureTimesBecomeNowOnlyWithTheCheckAndAnInvalidRecordIsNow)
{
    TTestDir dir;
    const QString src = dir.Write(QStringLiteral("src.txt"), "x");
    const TFileTime future = CurrentFileTime() + 2 * 24 * 3600 * FileTimeTicksPerSecond;
    ASSERT_EQ(SetFileTimes(src, {0, future, future}), 0);

    const TFileTime before = CurrentFileTime();
    for (const bool check : {true, false}) {
        const QString dst = dir.Path(check ? QStringLiteral("checked") : QStringLiteral("kept"));
        TCopyOptions o{coTimeStamp, coCreationTime};
        if (check) o += coCheckTime;
        TWinCopyThread t(src, dst, nullptr, o, false, Block);
        WaitDone(t);
        ASSERT_EQ(t.ErrorCode(), 0);
        Platform::TFileTimestamps times;
        ASSERT_EQ(GetFileTimes(dst, times), 0);
        if (check) {
            EXPECT_GE(times.LastWriteTime, before);
            EXPECT_LT(times.LastWriteTime, future - 24 * 3600 * FileTimeTicksPerSecond);
            EXPECT_LT(times.LastAccessTime, future - 24 * 3600 * FileTimeTicksPerSecond);
        } else {
            EXPECT_EQ(times.LastWriteTime, future);
        }
    }

    // A time-stamp record that is not valid gives the current time whatever the check says.
    const QString old = dir.Write(QStringLiteral("old.txt"), "x");
    ASSERT_EQ(SetFileTimes(old, {0, FileTimeFromUnix(1000, 0), FileTimeFromUnix(1000, 0)}), 0);
    EXPECT_EQ(SetFileTimestamps(old, ::TFileTimestamps{}, false, false), 0);
    Platform::TFileTimestamps times;
    ASSERT_EQ(GetFileTimes(old, times), 0);
    EXPECT_GE(times.LastWriteTime, before);
    EXPECT_EQ(times.LastAccessTime, FileTimeFromUnix(1000, 0)); // only the write time without the flag
}

TEST(CopyThread, ExistingDestinationWithoutOverwriteIsLeftUntouched)
{
    TTestDir dir;
    const QString src = dir.Write(QStringLiteral("src.txt"), "new content");
    const QString dst = dir.Write(QStringLiteral("dst.txt"), "old");
    TWinCopyThread t(src, dst, nullptr, PlainOptions(), false, Block);
    WaitDone(t);
    EXPECT_EQ(t.ErrorCode(), 0x1101);
    EXPECT_EQ(ReadAll(dst), "old");
    EXPECT_TRUE(
        ErrorText(t, dst).startsWith(QStringLiteral("Error - Could not create file: \"%1\" (").arg(dst)));
    EXPECT_TRUE(ErrorText(t, dst).endsWith(QStringLiteral(") (-> Copy)")));
    EXPECT_TRUE(t.SysErrorMsg().contains(SysErrorMessage(ErrFileExists))) << t.SysErrorMsg().toStdString();
}

TEST(CopyThread, ReadOnlyDestinationWithOverwriteIsReplacedAfterItsAttributesAreReset)
{
    TTestDir dir;
    const QString src = dir.Write(QStringLiteral("src.txt"), "new content");
    const QString dst = dir.Write(QStringLiteral("dst.txt"), "old and longer content");
    ASSERT_EQ(SetFileAttributes(dst, faReadOnly | faSysFile), 0);
    {
        // When the attributes cannot be reset nothing is written.
        TRefuse refuse(TFileOp::SetAttributes, QStringLiteral("dst.txt"), ErrAccessDenied);
        TScopedFaultInjector hook(refuse);
        TWinCopyThread t(src, dst, nullptr, {coOverwrite}, false, Block);
        WaitDone(t);
        EXPECT_EQ(t.ErrorCode(), 0x1106);
        EXPECT_EQ(t.SysErrorMsg(), SysErrorText(ErrAccessDenied));
        EXPECT_EQ(ReadAll(dst), "old and longer content");
    }
    TWinCopyThread t(src, dst, nullptr, {coOverwrite}, false, Block);
    WaitDone(t);
    EXPECT_EQ(t.ErrorCode(), 0);
    EXPECT_EQ(ReadAll(dst), "new content");
    std::uint32_t attr = 0;
    ASSERT_EQ(GetFileAttributes(dst, attr), 0);
    EXPECT_EQ(attr, faArchive);
}

TEST(CopyThread, FailuresBeforeTheDataGiveTheirOwnCodes)
{
    TTestDir dir;
    const QString src = dir.Write(QStringLiteral("src.txt"), "content");
    const QString file = dir.Write(QStringLiteral("plain"), "x");
    struct TCase
    {
        QString Source, Dest;
        int Code;
    };
    const TCase cases[] = {
        {dir.Path(QStringLiteral("missing")), dir.Path(QStringLiteral("a")), 0x110E},
        {src, QString(), 0x1101},
        {dir.Root(), dir.Path(QStringLiteral("b")), 0x1102},  // a folder is no source
        {src, file + QStringLiteral("/below"), 0x1101},       // below a plain file
        {src, dir.Path(QStringLiteral("./src.txt")), 0x1101}, // the source itself
    };
    for (const TCase& c : cases) {
        TWinCopyThread t(c.Source, c.Dest, nullptr, {coOverwrite}, false, Block);
        WaitDone(t);
        EXPECT_EQ(t.ErrorCode(), c.Code) << c.Dest.toStdString();
    }
    EXPECT_EQ(ReadAll(src), "content");
}

TEST(CopyThread, DiskFullAndUnreadableSourceStopTheCopy)
{
    TTestDir dir;
    const QByteArray data = Pattern(5 * Block);
    const QString src = dir.Write(QStringLiteral("in/src.bin"), data);
    ASSERT_EQ(ForceDirectories(dir.Path(QStringLiteral("out"))), 0);
    {
        TDiskFull full(dir.Path(QStringLiteral("out")), 2 * Block + 100);
        TScopedFaultInjector hook(full);
        TWinCopyThread t(src, dir.Path(QStringLiteral("out/full.bin")), nullptr, PlainOptions(), false,
                         Block);
        WaitDone(t);
        EXPECT_EQ(t.ErrorCode(), 0x1107);
        EXPECT_EQ(t.SysErrorMsg(), SysErrorText(ErrDiskFull));
        EXPECT_TRUE(
            ErrorText(t, QStringLiteral("full.bin")).startsWith(QStringLiteral("Error - Low disk space")));
    }
    {
        TRefuse refuse(TFileOp::Read, QStringLiteral("in/src.bin"), EIO);
        TScopedFaultInjector hook(refuse);
        TWinCopyThread t(src, dir.Path(QStringLiteral("out/unreadable.bin")), nullptr, PlainOptions(), false,
                         Block);
        WaitDone(t);
        EXPECT_EQ(t.ErrorCode(), 0x1104);
        EXPECT_EQ(t.SysErrorMsg(), SysErrorText(EIO));
    }
    {
        // The source shrinks after the first block: the copy must not pass for complete.
        TRecorder rec;
        rec.Hook = [&](const TReport& r) {
            if (r.Count == Block) QFile::resize(src, Block + 10);
        };
        TWinCopyThread t(src, dir.Path(QStringLiteral("out/short.bin")), nullptr, PlainOptions(), true,
                         Block);
        t.SetOnProgress(rec.Handler());
        t.Start();
        WaitDone(t);
        EXPECT_EQ(t.ErrorCode(), 0x1104);
    }
}

TEST(CopyThread, CancelStopsAfterTheCurrentBlock)
{
    TTestDir dir;
    const QString src = dir.Write(QStringLiteral("src.bin"), Pattern(10 * Block));
    TRecorder rec;
    TWinCopyThread t(src, dir.Path(QStringLiteral("dst.bin")), nullptr, PlainOptions(), true, Block);
    rec.Hook = [&](const TReport& r) {
        if (r.Count == 2 * Block) t.CancelThread();
    };
    t.SetOnProgress(rec.Handler());
    t.Start();
    WaitDone(t);
    EXPECT_EQ(t.ErrorCode(), 0x1080);
    EXPECT_EQ(ErrorText(t, QString()), QStringLiteral("Terminated by user (-> Copy)"));
    EXPECT_EQ(rec.Reports.last().Count, 2 * Block);
}

TEST(CopyThread, PausedThreadWaitsBetweenBlocksUntilResumed)
{
    TTestDir dir;
    const QByteArray data = Pattern(6 * Block);
    const QString src = dir.Write(QStringLiteral("src.bin"), data);
    const QString dst = dir.Path(QStringLiteral("dst.bin"));
    TRecorder rec;
    TWinCopyThread t(src, dst, nullptr, PlainOptions(), true, Block);
    rec.Hook = [&](const TReport& r) {
        if (r.Count == Block) t.SetPaused(true);
    };
    t.SetOnProgress(rec.Handler());
    t.Start();
    QDeadlineTimer reached(60000);
    while (rec.Reports.size() < 2 && !reached.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_TRUE(t.Paused());

    // The source changes behind the first block while the copy stands at the gate: a copy that
    // did not wait would have taken (some of) the old bytes.
    QByteArray changed = data;
    for (qsizetype i = Block; i < changed.size(); ++i)
        changed[i] = static_cast<char>(~changed[i]);
    QFile f(src);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite) && f.seek(Block));
    ASSERT_EQ(f.write(changed.mid(Block)), changed.size() - Block);
    f.close();
    QCoreApplication::processEvents();
    EXPECT_EQ(rec.Reports.size(), 2);
    EXPECT_FALSE(t.Done());

    t.SetPaused(false);
    WaitDone(t);
    EXPECT_EQ(t.ErrorCode(), 0);
    EXPECT_EQ(ReadAll(dst), changed);
}

TEST(CopyThread, FreeingARunningThreadCancelsItEvenWhileAReportIsPending)
{
    TTestDir dir;
    const QString src = dir.Write(QStringLiteral("src.bin"), Pattern(8 * Block));
    TRecorder rec;
    auto* t =
        new TWinCopyThread(src, dir.Path(QStringLiteral("dst.bin")), nullptr, PlainOptions(), true, Block);
    t->SetOnProgress(rec.Handler());
    t->SetPaused(true);
    t->Start();
    // The first report is queued for this thread (not served yet), and the gate is closed: the
    // destructor must get the thread out of both.
    delete t;
    SUCCEED();
}

TEST(CopyThread, VerificationPassesAndCatchesAChangedOrMissingDestination)
{
    TTestDir dir;
    const QByteArray data = Pattern(3 * Block + 5);
    const QString src = dir.Write(QStringLiteral("src.bin"), data);
    {
        TRecorder rec;
        const QString dst = dir.Path(QStringLiteral("ok.bin"));
        TWinCopyThread t(src, dst, nullptr, {coVerify}, true, Block);
        t.SetOnProgress(rec.Handler());
        t.Start();
        WaitDone(t);
        EXPECT_EQ(t.ErrorCode(), 0) << ErrorText(t, dst).toStdString();
        const auto verify = std::find_if(rec.Reports.cbegin(), rec.Reports.cend(),
                                         [](const TReport& r) { return r.Action == acVerify; });
        ASSERT_NE(verify, rec.Reports.cend());
        EXPECT_EQ(verify->Count, -data.size());
        EXPECT_EQ(rec.Reports.last().Action, acVerify);
        EXPECT_EQ(rec.Reports.last().Count, data.size());
    }
    for (const bool grow : {false, true}) {
        // Someone changes the destination between the copy and the check.
        const QString dst = dir.Path(grow ? QStringLiteral("grown.bin") : QStringLiteral("changed.bin"));
        TRecorder rec;
        rec.Hook = [&](const TReport& r) {
            if (r.Action != acVerify || r.Count >= 0) return;
            QFile f(dst);
            ASSERT_TRUE(f.open(grow ? QIODevice::Append : QIODevice::ReadWrite));
            f.seek(grow ? f.size() : 2 * Block + 1);
            f.write(grow ? QByteArray(1, '\0') : QByteArray(1, data[2 * Block + 1] ^ 0x40));
        };
        TWinCopyThread t(src, dst, nullptr, {coVerify}, true, Block);
        t.SetOnProgress(rec.Handler());
        t.Start();
        WaitDone(t);
        EXPECT_EQ(t.ErrorCode(), 0x110C) << grow;
        EXPECT_EQ(ErrorText(t, QString()), QStringLiteral("Error - Verification failed (-> Copy)"));
    }
    {
        // A destination that cannot be opened again is retried 26 times before it counts as missing.
        const QString dst = dir.Path(QStringLiteral("hidden.bin"));
        struct TRefuseReopen : TFaultInjector
        {
            QString Name;
            std::atomic<int> Opens{0};
            TFault Check(TFileOp Op, const QString& Path, qint64) override
            {
                if (Op != TFileOp::Open || Path != Name) return {};
                ++Opens;
                return {ErrAccessDenied, -1};
            }
        } refuse;
        refuse.Name = dst;
        TScopedFaultInjector hook(refuse);
        TWinCopyThread t(src, dst, nullptr, {coVerify}, true, Block);
        t.SetVerifyDelay(1);
        t.Start();
        WaitDone(t);
        EXPECT_EQ(t.ErrorCode(), 0x1116);
        EXPECT_EQ(refuse.Opens, 26);
        EXPECT_TRUE(t.SysErrorMsg().endsWith(QStringLiteral(" (1000ms)"))) << t.SysErrorMsg().toStdString();
        EXPECT_TRUE(t.SysErrorMsg().contains(SysErrorMessage(ErrAccessDenied)));
        EXPECT_EQ(ReadAll(dst), data);
    }
}

bool UserAttributesWork(const QString& Path)
{
    return WriteAltStream(Path, QStringLiteral("probe"), "1") == 0;
}

TEST(CopyThread, SideStreamsAndPermissionsAreCarriedOverAndTheirFailuresAreWarnings)
{
    TTestDir dir;
    const QString src = dir.Write(QStringLiteral("src.txt"), "data");
    if (!UserAttributesWork(dir.Write(QStringLiteral("probe"), "")))
        GTEST_SKIP() << "this file system keeps no user attributes";
    const QByteArray big = Pattern(3000);
    ASSERT_EQ(WriteAltStream(src, QStringLiteral("Zone.Identifier"), "[ZoneTransfer]\r\nZoneId=3\r\n"), 0);
    ASSERT_EQ(WriteAltStream(src, QStringLiteral("thumb"), big), 0);
    ASSERT_EQ(::setxattr(QFile::encodeName(src).constData(), "user.other", "x", 1, 0), 0);
    QProcess setfacl;
    setfacl.start(QStringLiteral("setfacl"), {QStringLiteral("-m"), QStringLiteral("u:12345:r--"), src});
    ASSERT_TRUE(setfacl.waitForFinished(30000));
    ASSERT_EQ(setfacl.exitCode(), 0) << setfacl.readAllStandardError().toStdString();

    const QString dst = dir.Path(QStringLiteral("dst.txt"));
    TWinCopyThread t(src, dst, nullptr, {coAltStreams, coPermissions}, false, Block);
    WaitDone(t);
    ASSERT_EQ(t.ErrorCode(), 0) << ErrorText(t, dst).toStdString();
    QStringList names;
    ASSERT_EQ(ListAltStreams(dst, names), 0);
    names.sort();
    EXPECT_EQ(names, (QStringList{QStringLiteral("Zone.Identifier"), QStringLiteral("thumb")}));
    char raw[64] = {};
    EXPECT_EQ(::getxattr(QFile::encodeName(dst).constData(), "user.DosStream.Zone.Identifier:$DATA", raw,
                         sizeof raw),
              26);
    QByteArray back;
    ASSERT_EQ(ReadAltStream(dst, QStringLiteral("thumb"), back), 0);
    EXPECT_EQ(back, big);
    EXPECT_LT(::getxattr(QFile::encodeName(dst).constData(), "user.other", raw, sizeof raw), 0);
    QProcess getfacl;
    getfacl.start(QStringLiteral("getfacl"), {QStringLiteral("--omit-header"), dst});
    ASSERT_TRUE(getfacl.waitForFinished(30000));
    EXPECT_TRUE(getfacl.readAllStandardOutput().contains("user:12345:r--"));

    struct TCase
    {
        TFileOp Op;
        TCopyOption Option;
        int Code;
    };
    for (const TCase& c :
         {TCase{TFileOp::WriteStream, coAltStreams, 0x1225},
          TCase{TFileOp::SetSecurity, coPermissions, 0x1213}, TCase{TFileOp::SetTimes, coTimeStamp, 0x120F},
          TCase{TFileOp::SetAttributes, coAttributes, 0x1206}}) {
        const QString out = dir.Path(QStringLiteral("warn%1.txt").arg(int(c.Op)));
        TRefuse refuse(c.Op, out, ErrAccessDenied);
        TScopedFaultInjector hook(refuse);
        ASSERT_EQ(SetFileAttributes(src, faReadOnly), 0);
        TWinCopyThread w(src, out, nullptr, {c.Option}, false, Block);
        WaitDone(w);
        EXPECT_EQ(w.ErrorCode(), c.Code);
        EXPECT_TRUE(IsCopyWarning(w.ErrorCode()));
        EXPECT_EQ(w.SysErrorMsg(), SysErrorText(ErrAccessDenied));
        EXPECT_EQ(ReadAll(out), "data"); // the data is complete
    }
}

TEST(CopyThread, StreamSourceIsCopiedWithItsOwnDescriptionAndCommitted)
{
    TTestDir dir;
    const QByteArray data = Pattern(2 * Block + 3);
    const QString file = dir.Write(QStringLiteral("device/object.jpg"), data);
    struct TCountingStream : IInputStream
    {
        std::shared_ptr<IInputStream> Inner;
        int Commits = 0;
        int Read(void* B, qint64 C, qint64& D) override { return Inner->Read(B, qMin<qint64>(C, 1000), D); }
        int Size(qint64& S) override { return Inner->Size(S); }
        int Commit() override { return ++Commits, Inner->Commit(); }
    };
    int err = 0;
    auto stream = std::make_shared<TCountingStream>();
    stream->Inner = OpenFileInputStream(file, err);
    ASSERT_EQ(err, 0);

    TFileData source;
    source.FileName = QStringLiteral("object.jpg");
    source.FullPath = QStringLiteral("phone:/DCIM/object.jpg");
    source.StreamData = {stream, Block};
    source.FileSize = data.size();
    source.FileAttr = faReadOnly;
    const TFileTime when = FileTimeFromUnix(1600000000, 0);
    source.TimeStamps = {true, when, when, when};
    const QString dst = dir.Path(QStringLiteral("object.jpg"));
    // Side streams and permissions do not apply to a stream source; the attributes stay copied.
    TWinCopyThread t(source, dst, nullptr, {coTimeStamp, coAltStreams, coPermissions, coVerify}, false);
    WaitDone(t);
    ASSERT_EQ(t.ErrorCode(), 0) << ErrorText(t, dst).toStdString();
    EXPECT_EQ(ReadAll(dst), data); // short reads of 1000 bytes are accepted
    EXPECT_EQ(stream->Commits, 1);
    Platform::TFileTimestamps times;
    ASSERT_EQ(GetFileTimes(dst, times), 0);
    EXPECT_EQ(times.LastWriteTime, when);
    std::uint32_t attr = 0;
    ASSERT_EQ(GetFileAttributes(dst, attr), 0);
    EXPECT_EQ(attr, faReadOnly);

    // A stream that ends before its announced size is a read failure.
    source.StreamData.FileStream = OpenFileInputStream(file, err);
    source.FileSize = data.size() + 1;
    TWinCopyThread s(source, dir.Path(QStringLiteral("short.jpg")), nullptr, {}, false);
    WaitDone(s);
    EXPECT_EQ(s.ErrorCode(), 0x1104);
}

} // namespace
