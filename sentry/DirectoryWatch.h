#pragma once
// Watches one directory, by default with its whole subtree, and reports each change to files and
// folders on the thread that created the watcher. A worker thread does the waiting; it never calls
// user code but posts every change and error as an event to the watcher.

#include <QEvent>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QThread>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>

namespace Platform {
class TDirChangeReader;
}

// A set of the values of a small enumeration.
template <typename E> class TEnumSet
{
public:
    constexpr TEnumSet() = default;
    constexpr TEnumSet(std::initializer_list<E> Values)
    {
        for (const E v : Values)
            FBits |= Bit(v);
    }
    constexpr bool Contains(E Value) const { return FBits & Bit(Value); }
    constexpr TEnumSet& Include(E Value)
    {
        FBits |= Bit(Value);
        return *this;
    }
    constexpr TEnumSet& Exclude(E Value)
    {
        FBits &= ~Bit(Value);
        return *this;
    }
    constexpr bool IsEmpty() const { return FBits == 0; }
    friend constexpr bool operator==(TEnumSet, TEnumSet) = default;

private:
    static constexpr std::uint32_t Bit(E Value) { return std::uint32_t(1) << static_cast<unsigned>(Value); }
    std::uint32_t FBits = 0;
};

enum TWatchOption
{
    woFileName,
    woDirName,
    woAttributes,
    woSize,
    woLastWrite,
    woLastAccess,
    woCreation,
    woSecurity,
};
using TWatchOptions = TEnumSet<TWatchOption>;

enum TWatchAction
{
    waAdded,
    waRemoved,
    waModified,
    waRenamedOld,
    waRenamedNew,
};
using TWatchActions = TEnumSet<TWatchAction>;

inline constexpr TWatchOptions AllWatchOptions{woFileName,  woDirName,    woAttributes, woSize,
                                               woLastWrite, woLastAccess, woCreation,   woSecurity};
inline constexpr TWatchActions AllWatchActions{waAdded, waRemoved, waModified, waRenamedOld, waRenamedNew};

// The notification flags of a set of options.
std::uint32_t WatchFilter(TWatchOptions Options);

// The events the worker posts: an error (code and text) or a change (action code 1 to 5 and name).
inline constexpr QEvent::Type WatchErrorEvent = static_cast<QEvent::Type>(QEvent::User + 137);
inline constexpr QEvent::Type WatchChangeEvent = static_cast<QEvent::Type>(QEvent::User + 138);

class TWatchEvent : public QEvent
{
public:
    TWatchEvent(QEvent::Type Type, int Code, const QString& Text) : QEvent(Type), FCode(Code), FText(Text) {}
    int Code() const { return FCode; }
    const QString& Text() const { return FText; }

private:
    int FCode;
    QString FText;
};

class TDirectoryWatch;

using TFileChangeNotifyEvent =
    std::function<void(TDirectoryWatch* Sender, int ChgNotId, TWatchAction Action, const QString& FileName)>;
using TOnError = std::function<void(TDirectoryWatch* Sender, int ErrorCode, const QString& ErrorMessage)>;
using TNotifyEvent = std::function<void(TDirectoryWatch* Sender)>;

class TDirWatchThread : public QThread
{
public:
    // Opens the directory and starts at once; throws Exception when the directory cannot be
    // watched. Events go to Receiver.
    TDirWatchThread(const QString& Directory, QObject* Receiver, int BufferSize, std::uint32_t TypeFilter,
                    bool aWatchSubTree);
    ~TDirWatchThread() override;

    // From the creating thread: the worker leaves its wait at once and posts nothing more.
    void Abort();

protected:
    void run() override;

private:
    void Post(QEvent::Type Type, int Code, const QString& Text);

    bool FWatchSubTree;
    int FBufferSize;      // bytes
    QMutex FReceiverLock; // the receiver may go while a slow worker is still busy
    QObject* FReceiver;
    QString FDirectory;
    std::uint32_t FFilter;
    std::unique_ptr<Platform::TDirChangeReader> FReader;
};

class TDirectoryWatch : public QObject
{
public:
    explicit TDirectoryWatch(int AId, QObject* Parent = nullptr);
    ~TDirectoryWatch() override;

    // Throws Exception when no directory is set or it cannot be watched.
    void Start();
    void Stop();
    bool Running() const { return FWatchThread != nullptr; }

    const QString& Directory() const { return FDirectory; }
    void SetDirectory(const QString& Value);
    bool WatchSubTree() const { return FWatchSubTree; }
    void SetWatchSubTree(bool Value);
    TWatchOptions WatchOptions() const { return FWatchOptions; }
    void SetWatchOptions(TWatchOptions Value);
    TWatchActions WatchActions() const { return FWatchActions; }
    void SetWatchActions(TWatchActions Value);
    int BufferSize() const { return FBufferSize; }
    void SetBufferSize(int Value) { FBufferSize = Value; }
    int Id() const { return FId; }

    void SetOnNotify(TFileChangeNotifyEvent Handler) { FOnNotify = std::move(Handler); }
    void SetOnChange(TNotifyEvent Handler) { FOnChange = std::move(Handler); }
    void SetOnError(TOnError Handler) { FOnError = std::move(Handler); }

    // Bytes of the notification buffer per entry: a record head and a name of 260 UTF-16 characters.
    static constexpr int EntryBytes = 532;

protected:
    bool event(QEvent* Event) override;

private:
    void Changed();
    void Restart();

    TWatchOptions FWatchOptions = AllWatchOptions;
    TWatchActions FWatchActions = AllWatchActions;
    bool FWatchSubTree = true;
    TDirWatchThread* FWatchThread = nullptr;
    int FId;
    int FBufferSize = 32;
    QString FDirectory;
    TOnError FOnError;
    TNotifyEvent FOnChange;
    TFileChangeNotifyEvent FOnNotify;
};
