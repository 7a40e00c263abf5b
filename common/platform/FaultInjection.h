#pragma once
// A seam for tests: the file functions of this layer ask an installed injector before they act,
// so a test can make an open, a write or a rename fail the way a full disk or a locked file would.
// Tests run as root, where permission bits stop nothing.

#include <QString>

namespace Platform {

enum class TFileOp
{
    Open,
    Create,
    Read,
    Write,
    Rename,
    Delete,
    SetAttributes,
    SetTimes,
    CreateDirectory,
    WatchDirectory, // adding a folder to a change notification: fails with Error
    ReadChanges,    // reading change notifications: ErrNotifyEnumDir loses the batch as an overflow does
    WriteStream, // a named side stream of a file
    SetSecurity, // access control lists
};

struct TFault
{
    int Error = 0;        // a system error code to fail with; 0 lets the call go on
    qint64 MaxBytes = -1; // reads and writes: move at most this many bytes (a short transfer)
};

class TFaultInjector
{
public:
    virtual ~TFaultInjector() = default;
    // Called from any thread that uses the file functions.
    virtual TFault Check(TFileOp Op, const QString& Path, qint64 Count) = 0;
};

// Installs an injector for its lifetime; one at a time.
class TScopedFaultInjector
{
public:
    explicit TScopedFaultInjector(TFaultInjector& Injector);
    ~TScopedFaultInjector();
    TScopedFaultInjector(const TScopedFaultInjector&) = delete;
    TScopedFaultInjector& operator=(const TScopedFaultInjector&) = delete;
};

// For the implementation files of this layer.
TFault CheckFault(TFileOp Op, const QString& Path, qint64 Count = 0);

} // namespace Platform
