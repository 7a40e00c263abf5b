#include "base/BlockPool.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

TEST(BlockPool, ArraysGrowKeepTheirContentAndReuseFreedBlocks)
{
    TBlockPool pool;
    std::pmr::vector<std::pmr::vector<int>> arrays(&pool);
    // Arrays of many sizes growing side by side, as the sections of a file do.
    for (int a = 0; a < 20; ++a)
        arrays.emplace_back(); // takes the pool from the outer array
    for (int i = 0; i < 200000; ++i)
        for (int a = 0; a < 20; ++a)
            if (i % (a + 1) == 0) arrays[size_t(a)].push_back(i);
    for (int a = 0; a < 20; ++a) {
        const auto& v = arrays[size_t(a)];
        ASSERT_EQ(v.size(), size_t(200000 / (a + 1) + (200000 % (a + 1) != 0)));
        for (size_t k = 0; k < v.size(); ++k)
            ASSERT_EQ(v[k], int(k) * (a + 1));
    }

    // A freed large block serves the next array of its size.
    const void* first = nullptr;
    {
        std::pmr::vector<char> v(1 << 20, 'x', &pool);
        first = v.data();
    }
    std::pmr::vector<char> again(1 << 20, 'y', &pool);
    EXPECT_EQ(again.data(), first);
    EXPECT_EQ(std::accumulate(again.begin(), again.end(), 0LL), 'y' * (1LL << 20));

    // Blocks larger than a chunk get a chunk of their own.
    std::pmr::vector<char> huge(40 << 20, 'z', &pool);
    EXPECT_EQ(huge.back(), 'z');
}
