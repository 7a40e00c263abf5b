#include "Memory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <new>

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
    constexpr std::uintptr_t Huge = HugeBlockSize;
    const std::uintptr_t hugeBegin = (begin + Huge - 1) & ~(Huge - 1);
    const std::uintptr_t hugeEnd = end & ~(Huge - 1);
    if (hugeEnd > hugeBegin) madvise(reinterpret_cast<void*>(hugeBegin), hugeEnd - hugeBegin, MADV_HUGEPAGE);
    madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
}

void* AllocateHugeBlock(std::size_t Size)
{
    // Map one huge page more than asked and keep the aligned part.
    const std::size_t mapped = Size + HugeBlockSize;
    void* p = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    const std::uintptr_t begin = std::uintptr_t(p);
    const std::uintptr_t aligned = (begin + HugeBlockSize - 1) & ~std::uintptr_t(HugeBlockSize - 1);
    if (aligned > begin) munmap(p, aligned - begin);
    const std::uintptr_t end = begin + mapped;
    if (end > aligned + Size) munmap(reinterpret_cast<void*>(aligned + Size), end - aligned - Size);
    madvise(reinterpret_cast<void*>(aligned), Size, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(aligned);
}

void FreeHugeBlock(void* Data, std::size_t Size)
{
    if (Data) munmap(Data, Size);
}

} // namespace Platform
