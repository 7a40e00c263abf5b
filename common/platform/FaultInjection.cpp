#include "FaultInjection.h"

#include <atomic>
#include <cstdlib>

namespace Platform {

namespace {
std::atomic<TFaultInjector*> InstalledInjector{nullptr};
}

TScopedFaultInjector::TScopedFaultInjector(TFaultInjector& Injector)
{
    TFaultInjector* expected = nullptr;
    if (!InstalledInjector.compare_exchange_strong(expected, &Injector))
        std::abort(); // two injectors at once is a fault of the test
}

TScopedFaultInjector::~TScopedFaultInjector()
{
    InstalledInjector.store(nullptr);
}

TFault CheckFault(TFileOp Op, const QString& Path, qint64 Count)
{
    TFaultInjector* injector = InstalledInjector.load(std::memory_order_acquire);
    return injector ? injector->Check(Op, Path, Count) : TFault{};
}

} // namespace Platform
