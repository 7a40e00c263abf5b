#pragma once
// Hints to the host about large blocks of memory.

#include <cstddef>

namespace Platform {

// Makes the pages of a block that is about to be filled present in one step. A large block fresh
// from the allocator otherwise takes one fault per page as it is written, and those faults can
// cost more than filling the block. Only a hint: nothing changes when the host cannot do it.
void PrepareForWrite(void* Data, std::size_t Size);

} // namespace Platform
