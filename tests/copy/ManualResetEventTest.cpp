#include "copy/ManualResetEvent.h"

#include <QThread>
#include <gtest/gtest.h>

#include <atomic>

TEST(ManualResetEvent, ClosedGateHoldsWaiterUntilSet)
{
    TManualResetEvent gate(false);
    EXPECT_FALSE(gate.Wait(10));

    std::atomic<bool> passed{false};
    QThread* waiter = QThread::create([&] {
        gate.Wait();
        passed = true;
    });
    waiter->start();
    EXPECT_FALSE(waiter->wait(50)); // still held
    EXPECT_FALSE(passed);
    gate.Set();
    ASSERT_TRUE(waiter->wait(10000));
    EXPECT_TRUE(passed);
    delete waiter;

    // Manual reset: it stays open for every later waiter until reset.
    EXPECT_TRUE(gate.Wait(0));
    EXPECT_TRUE(gate.Wait(0));
    gate.Reset();
    EXPECT_FALSE(gate.Wait(0));
}
