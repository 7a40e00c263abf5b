#pragma once
// Change notification for a directory and its subtree. The host's mechanism hides behind a reader
// that gives records in the suite's terms: an action code from 1 to 5 with a name relative to the
// watched directory, or an error with a system error code and its text.

#include <QList>
#include <QString>

#include <cstdint>
#include <memory>

namespace Platform {

// Action codes of a change record.
inline constexpr int ChangeAdded = 1;
inline constexpr int ChangeRemoved = 2;
inline constexpr int ChangeModified = 3;
inline constexpr int ChangeRenamedOld = 4;
inline constexpr int ChangeRenamedNew = 5;

// What to report, with the flag values the suite stores.
inline constexpr std::uint32_t NotifyFileName = 0x001;
inline constexpr std::uint32_t NotifyDirName = 0x002;
inline constexpr std::uint32_t NotifyAttributes = 0x004;
inline constexpr std::uint32_t NotifySize = 0x008;
inline constexpr std::uint32_t NotifyLastWrite = 0x010;
inline constexpr std::uint32_t NotifyLastAccess = 0x020;
inline constexpr std::uint32_t NotifyCreation = 0x040;
inline constexpr std::uint32_t NotifySecurity = 0x100;
inline constexpr std::uint32_t NotifyAll = 0x17F;

struct TDirNotice
{
    bool IsError = false;
    int Code = 0; // a change: its action code; an error: a system error code
    QString Text; // a change: the relative name, folders separated by "/"; an error: its text
};

enum class TReadResult
{
    Notices, // Notices holds at least one record
    Stopped, // Stop was called
    Ended,   // the watched directory is gone: Notices ends with its one error; nothing more comes
};

class TDirChangeReader
{
public:
    virtual ~TDirChangeReader() = default;
    // Blocks without polling until there is something to report or Stop is called. Repeats of a
    // change to one name within one batch of the system come once.
    virtual TReadResult Read(QList<TDirNotice>& Notices) = 0;
    // From any thread: makes the waiting Read (or the next one) return Stopped at once.
    virtual void Stop() = 0;
};

struct TDirWatchSettings
{
    QString Directory;
    bool SubTree = true;
    std::uint32_t Filter = NotifyAll;
    int BufferBytes = 0; // the size of one read; raised to what one record of the longest name needs
};

// Starts watching. On failure returns null with the system error code in Error. Problems that do
// not stop the watching (a limit of the system, a network file system) are the first records the
// reader gives.
std::unique_ptr<TDirChangeReader> OpenDirChangeReader(const TDirWatchSettings& Settings, int& Error);

// Whether changes made by other computers escape notification on a file system: Type is the
// host's file-system type number, SubType a further name the host gives (FUSE's "sshfs").
bool IsNetworkFileSystem(std::int64_t Type, const QString& SubType);

} // namespace Platform
