#include "ManualResetEvent.h"

#include <QDeadlineTimer>

void TManualResetEvent::Set()
{
    QMutexLocker lock(&FMutex);
    FSignalled = true;
    FCondition.wakeAll();
}

void TManualResetEvent::Reset()
{
    QMutexLocker lock(&FMutex);
    FSignalled = false;
}

bool TManualResetEvent::IsSet() const
{
    QMutexLocker lock(&FMutex);
    return FSignalled;
}

bool TManualResetEvent::Wait(int TimeoutMs)
{
    QMutexLocker lock(&FMutex);
    QDeadlineTimer deadline(TimeoutMs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever)
                                          : QDeadlineTimer(TimeoutMs));
    while (!FSignalled) {
        if (!FCondition.wait(&FMutex, deadline)) return FSignalled;
    }
    return true;
}
