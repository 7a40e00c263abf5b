// The plain copy: opening the streams, the block copy, the finishing step, the verification.

#include "ExtFileTools.h"

#include "Deflate.h"

#include "AesLib.h"

#include "base/Translate.h"

#include "platform/FileStreams.h"
#include "platform/KnownFolders.h"
#include "platform/SysErrors.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDeadlineTimer>

#include <zlib.h>

using namespace Platform;

namespace {

// A copy thread runs no event loop of its own: its reports are calls into the creating thread.
// This dispatcher spares it the one Qt would set up for every thread, which costs more than the
// whole copy of a small file.
class TNoEventDispatcher : public QAbstractEventDispatcher
{
public:
    bool processEvents(QEventLoop::ProcessEventsFlags) override { return false; }
    void registerSocketNotifier(QSocketNotifier*) override {}
    void unregisterSocketNotifier(QSocketNotifier*) override {}
    void registerTimer(int, qint64, Qt::TimerType, QObject*) override {}
    bool unregisterTimer(int) override { return false; }
    bool unregisterTimers(QObject*) override { return false; }
    QList<TimerInfo> registeredTimers(QObject*) const override { return {}; }
    int remainingTime(int) override { return -1; }
    void wakeUp() override {}
    void interrupt() override {}
};

QString WithDelimiter(const QString& Folder)
{
    return Folder.endsWith(QLatin1Char('/')) ? Folder : Folder + QLatin1Char('/');
}

} // namespace

TCopyThread::TCopyThread(const QString& ASourceName, const QString& ADestName, bool ASuspend, int ABufSize,
                         Priority APriority)
    : TCopyThread(TNoStart{}, ASourceName, ADestName, ABufSize, APriority)
{
    if (!ASuspend) Start();
}

TCopyThread::TCopyThread(const TFileData& ASource, const QString& ADestName, bool ASuspend,
                         Priority APriority)
    : TCopyThread(TNoStart{}, ASource, ADestName, APriority)
{
    if (!ASuspend) Start();
}

TCopyThread::TCopyThread(TNoStart, const QString& ASourceName, const QString& ADestName, int ABufSize,
                         Priority APriority)
    : SourceName(ASourceName), DestName(ADestName), SourceNameXL(ExtendedLengthPath(ASourceName)),
      DestNameXL(ExtendedLengthPath(ADestName))
{
    FPriority = APriority;
    Init(ABufSize);
}

TCopyThread::TCopyThread(TNoStart, const TFileData& ASource, const QString& ADestName, Priority APriority)
    : FIStreamSource(true), SourceName(ASource.FullPath), DestName(ADestName), SourceNameXL(ASource.FullPath),
      DestNameXL(ExtendedLengthPath(ADestName)), SourceFileData(ASource),
      iSource(ASource.StreamData.FileStream)
{
    FPriority = APriority;
    Init(static_cast<int>(qMin<std::uint32_t>(ASource.StreamData.BufferSize, 1u << 30)));
}

void TCopyThread::Init(int ABufSize)
{
    // A size that is no size, or one no machine should hand a single copy, takes a sound one.
    FBufSize = ABufSize > 0 ? static_cast<std::uint32_t>(qMin(ABufSize, MaxBufferSize)) : DefaultBufferSize;
    FBuffer.reset(new char[FBufSize]); // not cleared: only the pages a copy uses are touched
    fTmpDir = WithDelimiter(TempFolder());
}

TCopyThread::~TCopyThread()
{
    StopThread();
    ReleaseStreams();
}

void TCopyThread::StopThread()
{
    if (isRunning()) {
        FUserBreak = true;
        FEvent.Set();
        // A report the thread is waiting to deliver here would otherwise block it for good.
        const bool here = QThread::currentThread() == thread();
        while (!wait(QDeadlineTimer(20)))
            if (here) QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    }
}

void TCopyThread::Start()
{
    if (isRunning() || isFinished() || Done()) return;
    setEventDispatcher(new TNoEventDispatcher);
    start(FPriority);
}

void TCopyThread::CancelThread()
{
    FUserBreak = true;
}

void TCopyThread::SetOnProgress(const TFileProgressEvent& Handler)
{
    FOnProgress = Handler;
}

void TCopyThread::SetPaused(bool Value)
{
    if (Done() || FPaused == Value) return;
    FPaused = Value;
    if (Value)
        FEvent.Reset();
    else
        FEvent.Set();
}

void TCopyThread::SetTempDir(const QString& Folder)
{
    fTmpDir = WithDelimiter(!Folder.isEmpty() && DirectoryExists(Folder) ? Folder : TempFolder());
}

void TCopyThread::SetNoWriteCache(bool Value)
{
    FWriteMode = Value ? FILE_FLAG_WRITE_THROUGH | FILE_FLAG_SEQUENTIAL_SCAN : FILE_FLAG_SEQUENTIAL_SCAN;
}

void TCopyThread::run()
{
    // The encryption waits at this thread's pause gate and reports through it while the copy runs;
    // FinishThread takes both back before the caller may free the object.
    if (FCrypting) {
        FCrypting->SetEvent(&FEvent);
        FCrypting->SetOnProgress([this](TFileAction Action, qint64 Count, bool SpeedLimit) {
            DoProgress(Action, SpeedLimit, Count);
        });
    }
    try {
        Execute();
    } catch (const std::exception& e) {
        // Every step catches its own failures; this only keeps an unforeseen one inside the thread.
        if (!Done()) {
            FSysErrMsg = QString::fromUtf8(e.what());
            FinishThread(ceWrite);
        }
    }
}

void TCopyThread::Execute()
{
    FinishThread(FShellCopy & scmCopy ? ShellCopyFile() : StreamCopy());
}

void TCopyThread::FinishThread(int Result)
{
    WaitUnpaused();
    if (FCompress && UTotal > 0) {
        // Per mille, rounded to the nearest integer, halves to the even neighbour.
        const __int128 scaled = static_cast<__int128>(CTotal) * 1000;
        auto q = static_cast<qint64>(scaled / UTotal);
        const auto r2 = static_cast<qint64>(scaled % UTotal) * 2;
        if (r2 > UTotal || (r2 == UTotal && (q & 1))) ++q;
        FRatio = static_cast<int>(q);
    } else {
        FRatio = 1000;
    }
    if (FSysError != 0) FSysErrMsg = SysErrorText(FSysError);
    if (Result != 0) FError = Result | FErrFlag;
    if (FCrypting) {
        FCrypting->SetEvent(nullptr);
        FCrypting->SetOnProgress({});
        AesThreadCleanup();
    }
    FDone.store(true, std::memory_order_release);
}

void TCopyThread::DoProgress(TFileAction AAction, bool ASpeedLimit, qint64 ACount)
{
    if (!FOnProgress) return;
    FAction = AAction;
    FEnableSpLimit = ASpeedLimit;
    FCount = ACount;
    auto report = [this] { FOnProgress(FAction, FCount, FEnableSpLimit); };
    // A blocking call into the own thread would never return.
    if (QThread::currentThread() == thread())
        report();
    else
        QMetaObject::invokeMethod(this, report, Qt::BlockingQueuedConnection);
}

bool TCopyThread::RecordSysError(int Code)
{
    // The host's codes are kept as they are; the text comes from the host too.
    if (Code == 0) return false;
    FSysError = Code;
    return true;
}

int TCopyThread::OpenStreams()
{
    if (!FIStreamSource) {
        if (!GetFileData(SourceNameXL, SourceFileData)) return ceNotFound;
    } else if (!iSource) {
        return ceOpenSource;
    }
    if (DestName.isEmpty()) return ceCreateDest;
    if (!FIStreamSource) {
        try {
            sSource = std::make_unique<TExtFileStream>(SourceNameXL, fmOpenRead | fmShareDenyNone);
        } catch (const Exception& e) {
            FSysErrMsg = e.Message();
            return ceOpenSource;
        }
        // The size of what was opened: a link's target, and the same file the blocks come from.
        const qint64 size = sSource->Size();
        SrcSize = size > 0 ? static_cast<std::uint64_t>(size) : 0;
        SourceFileData.FileSize = static_cast<qint64>(SrcSize);
    } else {
        SrcSize = SourceFileData.FileSize > 0 ? static_cast<std::uint64_t>(SourceFileData.FileSize) : 0;
    }
    const bool destExists = FileExists(DestNameXL);
    // Replacing the source by itself would destroy it before it is read.
    if (destExists && !FIStreamSource && SameFile(SourceNameXL, DestNameXL)) {
        FSysErrMsg = Tr("Source and destination are the same file");
        return ceCreateDest;
    }
    if (FOverwrite && destExists)
        if (RecordSysError(SetFileAttributes(DestNameXL, faArchive))) return ceClearAttributes;
    try {
        sDest = std::make_unique<TWriteFileStream>(DestNameXL, FOverwrite, FWriteMode, 0);
    } catch (const Exception& e) {
        FSysErrMsg = e.Message();
        return ceCreateDest;
    }
    return 0;
}

void TCopyThread::ReleaseStreams()
{
    if (FIStreamSource && iSource) iSource->Commit();
    iSource.reset();
    sSource.reset();
    sDest.reset();
}

int TCopyThread::StreamCopy()
{
    int result = OpenStreams();
    if (result == 0) {
        DoProgress(acCopy, false, -static_cast<qint64>(SrcSize));
        result = BlockCopy(true, true, static_cast<qint64>(SrcSize));
    }
    if (result != 0) {
        ReleaseStreams();
        return result;
    }
    return FinishCopy(FCopyStorage, FCopyAltStreams, FCopyAcl);
}

int TCopyThread::ShellCopyFile()
{
    // The host has no copy engine of its own: the stream copy does the work.
    return StreamCopy();
}

int TCopyThread::ReadBlock(qint64 Count, qint64& Got)
{
    Got = 0;
    if (!FIStreamSource) {
        if (const int err = sSource->Read(FBuffer.get(), Count, Got)) {
            RecordSysError(err);
            return ceRead;
        }
        if (Got < Count) { // the file ended early: it shrank or vanished during the copy
            RecordSysError(ErrHandleEof);
            return ceRead;
        }
        return 0;
    }
    if (const int err = iSource->Read(FBuffer.get(), Count, Got)) {
        FSysErrMsg = SysErrorText(err);
        return ceRead;
    }
    return Got > 0 ? 0 : ceRead; // a short read is fine, no progress is not
}

int TCopyThread::WriteBlock(qint64 Count)
{
    qint64 done = 0;
    try {
        // A short write is followed by one more, which raises the reason (a full disk or another).
        while (done < Count) {
            const qint64 n = sDest->Write(FBuffer.get() + done, Count - done);
            if (n <= 0) return ceDiskFull;
            done += n;
        }
    } catch (const EWriteFileStreamError& e) {
        FSysErrMsg = e.Message();
        return e.FCode() == ErrDiskFull ? ceDiskFull : ceWrite;
    } catch (const std::exception& e) {
        FSysErrMsg = QString::fromUtf8(e.what());
        return ceWrite;
    }
    return 0;
}

int TCopyThread::BlockCopy(bool ToDest, bool ASpeedLimit, qint64 Length)
{
    int result = 0;
    qint64 left = Length;
    // File to file without a check to come, the system moves the blocks itself; the CRC is only
    // needed by the verification. Any failure there hands over to the buffered path, which then
    // tells a read failure from a write failure.
    bool inSystem = ToDest && sDest && sSource && !FVerify && !FNeedCrc;
    while (left > 0 && result == 0) {
        WaitUnpaused();
        const qint64 n = qMin<qint64>(FBufSize, left);
        qint64 got = 0;
        if (inSystem) {
            const int err = sSource->File().CopyTo(sDest->File(), n, got);
            if (err != 0 || got < n) inSystem = false;
            if (err == 0 && got > 0) {
                UTotal += got;
                left -= got;
                DoProgress(acCopy, ASpeedLimit, UTotal);
                if (UserBreak()) result = ceUserBreak;
            }
            continue;
        }
        if ((result = ReadBlock(n, got))) break;
        UTotal += got;
        DoProgress(ToDest && sDest ? acCopy : acPrepare, ASpeedLimit, UTotal);
        FCrc = UpdateCrc(FCrc, FBuffer.get(), got);
        if (ToDest && sDest) result = WriteBlock(got);
        if (result == 0 && UserBreak()) result = ceUserBreak;
        left -= got;
    }
    CTotal = UTotal;
    return result;
}

int TCopyThread::CopyAltStreamsTo()
{
    QStringList names;
    if (RecordSysError(ListAltStreams(SourceNameXL, names))) return ceAltStreams;
    for (const QString& name : names) {
        QByteArray data;
        if (RecordSysError(ReadAltStream(SourceNameXL, name, data))) return ceAltStreams;
        if (RecordSysError(WriteAltStream(DestNameXL, name, data))) return ceAltStreams;
    }
    return 0;
}

int TCopyThread::FinishCopy(bool ACopyStorage, bool ACopyAltStreams, bool ACopyAcl)
{
    int result = 0;
    if (FVerify && sDest && RecordSysError(sDest->Flush())) result = ceWrite;
    // A write that the system only does on closing must not be lost silently.
    if (sDest && RecordSysError(sDest->Close()) && result == 0) result = ceWrite;
    ReleaseStreams();
    if (result == 0 && ACopyAltStreams) result = CopyAltStreamsTo();
    // Document summaries live in the file content on this host: nothing to carry over.
    (void)ACopyStorage;
    if (result == 0 && ACopyAcl && RecordSysError(CopyAccessControl(SourceNameXL, DestNameXL)))
        result = cePermissions;
    if (result == 0 && FCopyTimeStamp &&
        RecordSysError(SetFileTimestamps(DestNameXL, SourceFileData.TimeStamps, FCheckTime, FCopyCrTm)))
        result = ceSetTimeStamp;
    if (result == 0 && FCopyAttr) {
        std::uint32_t wanted = SourceFileData.FileAttr & 0xFFFF & ~faSymLink;
        if (FResetArchive) wanted &= ~faArchive;
        std::uint32_t current = 0;
        if (GetFileAttributes(DestNameXL, current) != 0 || current != wanted)
            if (RecordSysError(SetFileAttributes(DestNameXL, wanted))) result = ceSetAttributes;
    }
    return result;
}

int TCopyThread::OpenForVerify(const std::function<int()>& Open)
{
    const int wait = static_cast<int>(qMin<std::uint32_t>(FMaxWait, 3600) * 1000 / 25);
    int err = 0;
    for (int attempt = 0; attempt < 26; ++attempt) {
        if (attempt > 0) {
            if (UserBreak()) return ceUserBreak;
            QThread::msleep(static_cast<unsigned long>(wait));
        }
        if ((err = Open()) == 0) return 0;
    }
    FSysErrMsg = SafeFormat(Tr("Cannot open file \"%s\". %s"), {DestNameXL, SysErrorMessage(err)}) +
                 QStringLiteral(" (") + QString::number(25 * wait) + QStringLiteral("ms)");
    return ceVerifyOpen;
}

int TCopyThread::VerifyCopy()
{
    TFile dest;
    if (const int r = OpenForVerify([&] { return dest.Open(DestNameXL, TOpenAccess::Read); })) return r;
    // The check reads what reached the disk, not what the system still holds in its cache.
    dest.DropCache();
    DoProgress(acVerify, false, -UTotal);
    int result = 0;
    std::uint32_t crc = 0;
    qint64 total = 0;
    for (;;) {
        WaitUnpaused();
        qint64 got = 0;
        if (RecordSysError(dest.Read(FBuffer.get(), FBufSize, got))) {
            result = ceVerify;
            break;
        }
        if (got == 0) break;
        total += got;
        crc = UpdateCrc(crc, FBuffer.get(), got);
        DoProgress(acVerify, true, total);
        if (UserBreak()) {
            result = ceUserBreak;
            break;
        }
    }
    if (result == 0 && (crc != FCrc || total != UTotal)) result = ceVerify;
    dest.Close();
    return result;
}
