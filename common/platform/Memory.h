#pragma once
// Hints to the host about large blocks of memory.

#include <cstddef>

namespace Platform {

// Makes the pages of a block that is about to be filled present in one step. A large block fresh
// from the allocator otherwise takes one fault per page as it is written, and those faults can
// cost more than filling the block. Only a hint: nothing changes when the host cannot do it.
void PrepareForWrite(void* Data, std::size_t Size);

} // namespace Platform

namespace Platform {

// The size of a huge page; blocks of that size and alignment can be backed by one.
inline constexpr std::size_t HugeBlockSize = 2 * 1024 * 1024;

// A block of Size bytes (a multiple of HugeBlockSize) aligned to HugeBlockSize, straight from the
// host and backed by huge pages where it can be: for allocators that carve many large blocks out of
// few. Raises std::bad_alloc when the host has no memory.
void* AllocateHugeBlock(std::size_t Size);
void FreeHugeBlock(void* Data, std::size_t Size);

} // namespace Platform
