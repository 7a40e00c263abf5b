#pragma once
// Memory for the many large arrays of one object (the lines and indexes of a settings file): large
// blocks are carved out of huge-page chunks and kept for reuse by size until the pool goes away, so
// growing arrays take their memory from pages that are already there. Small blocks go to the heap.
// One thread at a time.

#include <array>
#include <memory_resource>
#include <utility>
#include <vector>

class TBlockPool : public std::pmr::memory_resource
{
public:
    TBlockPool() = default;
    ~TBlockPool() override;
    TBlockPool(const TBlockPool&) = delete;
    TBlockPool& operator=(const TBlockPool&) = delete;

    // Blocks from this size on come from the chunks.
    static constexpr std::size_t LargeBlock = 16 * 1024;

private:
    void* do_allocate(std::size_t Bytes, std::size_t Alignment) override;
    void do_deallocate(void* Data, std::size_t Bytes, std::size_t Alignment) override;
    bool do_is_equal(const std::pmr::memory_resource& Other) const noexcept override
    {
        return this == &Other;
    }

    static constexpr int ClassCount = 48; // sizes 2^0 .. 2^47
    std::array<std::vector<void*>, ClassCount> FFree;
    std::vector<std::pair<void*, std::size_t>> FChunks;
    char* FNext = nullptr;
    std::size_t FLeft = 0;
};
