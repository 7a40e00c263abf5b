#include "Memory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23
#endif

namespace Platform {

void PrepareForWrite(void* Data, std::size_t Size)
{
    // Small blocks come from pages the allocator has touched already.
    constexpr std::size_t MinSize = 256 * 1024;
    if (Size < MinSize) return;
    static const std::uintptr_t page = std::uintptr_t(sysconf(_SC_PAGESIZE));
    const std::uintptr_t begin = (std::uintptr_t(Data) + page - 1) & ~(page - 1);
    const std::uintptr_t end = (std::uintptr_t(Data) + Size) & ~(page - 1);
    if (end <= begin) return;
    // Huge pages for what spans them: fewer faults now, fewer address-translation misses later.
    constexpr std::uintptr_t Huge = 2 * 1024 * 1024;
    const std::uintptr_t hugeBegin = (begin + Huge - 1) & ~(Huge - 1);
    const std::uintptr_t hugeEnd = end & ~(Huge - 1);
    if (hugeEnd > hugeBegin) madvise(reinterpret_cast<void*>(hugeBegin), hugeEnd - hugeBegin, MADV_HUGEPAGE);
    madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
}

} // namespace Platform
