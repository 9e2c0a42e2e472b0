// Storage for large per-atom tables: blocks of every size hold what is written into them,
// grow and shrink as vectors do, and are given back.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "app/Quandrel.h"
#include "core/largepages.h"

TEST(LargePages, BlocksOfEverySizeHoldTheirContents) {
    const std::size_t big = largepages::LARGE_BLOCK;
    for (std::size_t bytes : {std::size_t(0), std::size_t(1), big - 1, big, big + 1, 3 * big + 5}) {
        std::vector<std::uint32_t, LargePageAllocator<std::uint32_t>> v(bytes / 4 + 1);
        for (std::size_t k = 0; k < v.size(); ++k) v[k] = static_cast<std::uint32_t>(k * 2654435761u);
        v.resize(v.size() * 2 + 7, 5u);  // grows into a new block, moving the contents
        for (std::size_t k = 0; k < bytes / 4 + 1; ++k)
            ASSERT_EQ(v[k], static_cast<std::uint32_t>(k * 2654435761u)) << bytes << " bytes, element " << k;
        EXPECT_EQ(v.back(), 5u);
        v.shrink_to_fit();
        v.clear();
        v.shrink_to_fit();
    }
}

TEST(LargePages, AnImpossibleSizeIsRefusedAsMissingMemory) {
    LargePageAllocator<double> allocator;
    EXPECT_THROW(allocator.allocate(static_cast<std::size_t>(-1) / 4), std::bad_alloc);
}

// The name table grows in blocks of different sizes; every row keeps its text and its place
// while later rows are added, and a row never written reads as "".
TEST(NameTable, RowsKeepTheirTextAndPlaceAcrossBlocks) {
    NameTable names;
    const std::size_t rows[] = {0, 1, 1023, 1024, 1025, 15000, 16002, 16003, 40000};
    std::vector<char*> where;
    for (std::size_t i : rows) {
        char* row = names[i];
        std::snprintf(row, NAME_CAP, "name %zu", i);
        where.push_back(row);
    }
    for (std::size_t k = 0; k < sizeof rows / sizeof rows[0]; ++k) {
        EXPECT_EQ(names[rows[k]], where[k]) << rows[k];
        EXPECT_EQ(std::string(names[rows[k]]), "name " + std::to_string(rows[k]));
    }
    EXPECT_STREQ(names[2], "");
    const NameTable& read = names;
    EXPECT_STREQ(read[names.rows()], "");
    EXPECT_GE(names.rows(), 40001u);
}
