// The compact rowid list: every rowid comes back as it went in, whatever the spread
// of a block, across block boundaries and after a clear.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <vector>

#include "platform/provider/rowid_list.h"

namespace {

using provider::RowidList;

TEST(RowidListTest, EveryWidthAndBoundaryReadsBack)
{
    std::vector<int64_t> in;
    const size_t block = RowidList::kBlock;
    for (size_t i = 0; i < block; ++i)  // one byte: ascending rowids
        in.push_back(1000 + static_cast<int64_t>(i));
    for (size_t i = 0; i < block; ++i)  // two bytes: scrambled inside a small range
        in.push_back(5000 + static_cast<int64_t>((i * 7919) % 3000));
    for (size_t i = 0; i < block; ++i)  // four bytes
        in.push_back(static_cast<int64_t>(i % 2 ? 3'000'000'000LL : 1) + static_cast<int64_t>(i));
    for (size_t i = 0; i < block; ++i)  // eight bytes: the whole signed range
        in.push_back(i % 3 == 0 ? INT64_MIN + static_cast<int64_t>(i)
                                : (i % 3 == 1 ? INT64_MAX - static_cast<int64_t>(i) : -5));
    for (size_t i = 0; i < block / 2; ++i)  // an unfinished block
        in.push_back(-static_cast<int64_t>(i));

    RowidList list;
    for (size_t i = 0; i < in.size(); ++i) {
        list.Add(in[i]);
        ASSERT_EQ(list.At(i), in[i]) << "just added, index " << i;
    }
    ASSERT_EQ(list.Size(), in.size());
    for (size_t i = 0; i < in.size(); ++i)
        EXPECT_EQ(list.At(i), in[i]) << "index " << i;
    // Close, ascending rowids cost about a byte each.
    RowidList ascending;
    for (int64_t r = 1; r <= 100'000; ++r)
        ascending.Add(r);
    EXPECT_LT(ascending.Bytes(), 120'000u);

    list.Clear();
    EXPECT_EQ(list.Size(), 0u);
    list.Add(42);
    EXPECT_EQ(list.At(0), 42);
}

}  // namespace
