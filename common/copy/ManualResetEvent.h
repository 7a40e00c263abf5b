#pragma once
// A manual-reset event: the pause gate that a copy thread and its encryption object share.
// Set lets every waiter through until Reset closes the gate again.

#include <QMutex>
#include <QWaitCondition>

class TManualResetEvent
{
public:
    explicit TManualResetEvent(bool Signalled = true) : FSignalled(Signalled) {}
    TManualResetEvent(const TManualResetEvent&) = delete;
    TManualResetEvent& operator=(const TManualResetEvent&) = delete;

    void Set();
    void Reset();
    bool IsSet() const;
    // Waits until the gate is open; false when TimeoutMs ran out first (negative: wait forever).
    bool Wait(int TimeoutMs = -1);

private:
    mutable QMutex FMutex;
    QWaitCondition FCondition;
    bool FSignalled;
};
