#include "DirectoryWatch.h"

#include "base/Errors.h"
#include "base/SafeFormat.h"
#include "platform/DirChanges.h"
#include "platform/MessageCatalog.h"
#include "platform/PathRules.h"
#include "platform/SysErrors.h"

#include <QCoreApplication>

#include <algorithm>
#include <new>

namespace {

QString SentryText(const char* MsgId)
{
    return Platform::TranslateText("ovsentry", MsgId);
}

// How long Stop waits for the worker.
constexpr unsigned long StopWaitMs = 3000;
// The notification buffer is not allowed to grow beyond this, whatever BufferSize says.
constexpr qint64 MaxBufferBytes = 64 * 1024 * 1024;

} // namespace

std::uint32_t WatchFilter(TWatchOptions Options)
{
    static constexpr std::pair<TWatchOption, std::uint32_t> Flags[] = {
        {woFileName, Platform::NotifyFileName},     {woDirName, Platform::NotifyDirName},
        {woAttributes, Platform::NotifyAttributes}, {woSize, Platform::NotifySize},
        {woLastWrite, Platform::NotifyLastWrite},   {woLastAccess, Platform::NotifyLastAccess},
        {woCreation, Platform::NotifyCreation},     {woSecurity, Platform::NotifySecurity},
    };
    std::uint32_t filter = 0;
    for (const auto& [option, flag] : Flags)
        if (Options.Contains(option)) filter |= flag;
    return filter;
}

// --- TDirWatchThread ---

TDirWatchThread::TDirWatchThread(const QString& Directory, QObject* Receiver, int BufferSize,
                                 std::uint32_t TypeFilter, bool aWatchSubTree)
    : FWatchSubTree(aWatchSubTree),
      FBufferSize(
          int(std::clamp<qint64>(qint64(BufferSize) * TDirectoryWatch::EntryBytes, 0, MaxBufferBytes))),
      FReceiver(Receiver), FDirectory(Directory), FFilter(TypeFilter)
{
    int error = 0;
    FReader = Platform::OpenDirChangeReader({FDirectory, FWatchSubTree, FFilter, FBufferSize}, error);
    if (!FReader)
        throw Exception(
            SafeFormat(SentryText("Error trying to create file handle for \"%s\". Error code: %d"),
                       {FDirectory, error}));
    start();
}

TDirWatchThread::~TDirWatchThread()
{
    Abort();
    wait();
}

void TDirWatchThread::Abort()
{
    {
        QMutexLocker lock(&FReceiverLock);
        FReceiver = nullptr;
    }
    if (FReader) FReader->Stop();
}

void TDirWatchThread::Post(QEvent::Type Type, int Code, const QString& Text)
{
    QMutexLocker lock(&FReceiverLock);
    if (FReceiver) QCoreApplication::postEvent(FReceiver, new TWatchEvent(Type, Code, Text));
}

void TDirWatchThread::run()
{
    QList<Platform::TDirNotice> notices;
    for (;;) {
        Platform::TReadResult result = Platform::TReadResult::Stopped;
        try {
            result = FReader->Read(notices);
            for (const Platform::TDirNotice& n : std::as_const(notices))
                Post(n.IsError ? WatchErrorEvent : WatchChangeEvent, n.Code, n.Text);
        } catch (const std::bad_alloc&) {
            Post(WatchErrorEvent, Platform::ErrNotEnoughMemory, QStringLiteral("Out of memory"));
            continue;
        } catch (const std::exception& e) {
            Post(WatchErrorEvent, Platform::LastError(), QString::fromUtf8(e.what()));
            continue;
        }
        if (result != Platform::TReadResult::Notices) return;
    }
}

// --- TDirectoryWatch ---

TDirectoryWatch::TDirectoryWatch(int AId, QObject* Parent) : QObject(Parent), FId(AId) {}

TDirectoryWatch::~TDirectoryWatch()
{
    Stop();
}

void TDirectoryWatch::Changed()
{
    if (FOnChange) FOnChange(this);
}

void TDirectoryWatch::Start()
{
    if (FDirectory.isEmpty()) throw Exception(SentryText("Please specify a directory to watch"));
    if (FWatchThread) return;
    FWatchThread =
        new TDirWatchThread(FDirectory, this, FBufferSize, WatchFilter(FWatchOptions), FWatchSubTree);
    Changed();
}

void TDirectoryWatch::Stop()
{
    if (!FWatchThread) return;
    TDirWatchThread* thread = std::exchange(FWatchThread, nullptr);
    thread->Abort();
    if (thread->wait(StopWaitMs)) {
        delete thread;
    } else {
        // Never killed: the thread object goes once the worker has left its wait.
        QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
        if (thread->isFinished()) thread->deleteLater();
    }
    Changed();
}

void TDirectoryWatch::Restart()
{
    if (!FWatchThread) return;
    Stop();
    Start();
}

void TDirectoryWatch::SetDirectory(const QString& Value)
{
    const QString trimmed = Value.trimmed();
    // Names that differ in case name different folders on this host's file systems.
    if (Platform::SameFileName(trimmed, FDirectory)) return;
    FDirectory = trimmed;
    Restart();
    Changed();
}

void TDirectoryWatch::SetWatchSubTree(bool Value)
{
    if (Value == FWatchSubTree) return;
    FWatchSubTree = Value;
    Restart();
    Changed();
}

void TDirectoryWatch::SetWatchOptions(TWatchOptions Value)
{
    if (Value == FWatchOptions) return;
    FWatchOptions = Value;
    Restart();
    Changed();
}

void TDirectoryWatch::SetWatchActions(TWatchActions Value)
{
    if (Value == FWatchActions) return;
    FWatchActions = Value;
    Restart();
    Changed();
}

bool TDirectoryWatch::event(QEvent* Event)
{
    if (Event->type() == WatchErrorEvent) {
        const auto* e = static_cast<TWatchEvent*>(Event);
        if (FOnError) FOnError(this, e->Code(), e->Text());
        return true;
    }
    if (Event->type() == WatchChangeEvent) {
        const auto* e = static_cast<TWatchEvent*>(Event);
        if (e->Code() < 1 || e->Code() > 5) return true;
        const auto action = static_cast<TWatchAction>(e->Code() - 1);
        if (FOnNotify && FWatchActions.Contains(action)) FOnNotify(this, FId, action, e->Text());
        return true;
    }
    return QObject::event(Event);
}
