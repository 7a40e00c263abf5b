#include "BlockPool.h"

#include "platform/Memory.h"

#include <bit>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#else
#define ASAN_POISON_MEMORY_REGION(Data, Size) ((void)(Data), (void)(Size))
#define ASAN_UNPOISON_MEMORY_REGION(Data, Size) ((void)(Data), (void)(Size))
#endif

namespace {

constexpr std::size_t ChunkSize = 8 * Platform::HugeBlockSize;

// Large blocks are handed out in powers of two, so a block freed by a growing array fits the next
// array that grows to the same size.
int SizeClass(std::size_t Bytes)
{
    return std::bit_width(Bytes - 1);
}

} // namespace

TBlockPool::~TBlockPool()
{
    for (const auto& [data, size] : FChunks) {
        ASAN_UNPOISON_MEMORY_REGION(data, size);
        Platform::FreeHugeBlock(data, size);
    }
}

void* TBlockPool::do_allocate(std::size_t Bytes, std::size_t Alignment)
{
    if (Bytes < LargeBlock) return std::pmr::new_delete_resource()->allocate(Bytes, Alignment);
    const int c = SizeClass(Bytes);
    if (c >= ClassCount) throw std::bad_alloc();
    if (!FFree[size_t(c)].empty()) {
        void* block = FFree[size_t(c)].back();
        FFree[size_t(c)].pop_back();
        ASAN_UNPOISON_MEMORY_REGION(block, Bytes);
        return block;
    }
    const std::size_t size = std::size_t(1) << c; // a multiple of every alignment a block needs
    if (size > FLeft) {
        // The rest of the current chunk stays unused: at most one block's worth per chunk.
        const std::size_t chunk =
            std::max(ChunkSize, (size + Platform::HugeBlockSize - 1) & ~(Platform::HugeBlockSize - 1));
        FNext = static_cast<char*>(Platform::AllocateHugeBlock(chunk));
        FChunks.emplace_back(FNext, chunk);
        FLeft = chunk;
        ASAN_POISON_MEMORY_REGION(FNext, chunk); // what is not handed out must not be touched
    }
    void* block = FNext;
    FNext += size;
    FLeft -= size;
    ASAN_UNPOISON_MEMORY_REGION(block, Bytes);
    return block;
}

void TBlockPool::do_deallocate(void* Data, std::size_t Bytes, std::size_t Alignment)
{
    if (Bytes < LargeBlock) return std::pmr::new_delete_resource()->deallocate(Data, Bytes, Alignment);
    ASAN_POISON_MEMORY_REGION(Data, std::size_t(1) << SizeClass(Bytes));
    FFree[size_t(SizeClass(Bytes))].push_back(Data);
}
