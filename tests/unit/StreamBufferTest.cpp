#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "StreamBuffer.h"

namespace vexmend {
namespace {

// What the walks over files in memory do not show of the reader: it reads
// only when too few bytes are valid, a short or failed read ends its source,
// and a skip of more than 4 GiB empties the window.
TEST(StreamBuffer, ReadsOnlyWhenNeededAndNeverAfterAShortRead)
{
    std::vector<uint64_t> reads;  // where each read started
    int32_t deliver = 64;         // most bytes a read gives; -1: reads fail
    auto source = [&](uint64_t offset, uint8_t* to, uint64_t count) {
        reads.push_back(offset);
        const int32_t n = std::min(deliver, static_cast<int32_t>(count));
        if (n > 0) std::memset(to, 7, static_cast<size_t>(n));
        return n;
    };
    StreamBuffer whole(64, 0, source, 1000);
    EXPECT_TRUE(whole.Require(64));
    whole.Skip(10);
    EXPECT_TRUE(whole.Require(54));
    EXPECT_EQ(reads, std::vector<uint64_t>{0});
    EXPECT_TRUE(whole.Require(55));  // reads the 10 bytes after the valid ones
    EXPECT_EQ(reads, (std::vector<uint64_t>{0, 64}));
    whole.Skip(0x100000010);
    EXPECT_EQ(whole.Position(), 0x10000001Au);
    EXPECT_EQ(whole.Available(), 0);
    for (const int32_t most : {20, -1}) {
        SCOPED_TRACE(deliver = most);
        reads.clear();
        StreamBuffer cut(64, 0, source, 1000);
        EXPECT_FALSE(cut.Require(30));
        EXPECT_EQ(cut.Available(), std::max(deliver, 0));
        cut.Skip(5);
        EXPECT_FALSE(cut.Require(16));
        EXPECT_EQ(reads, std::vector<uint64_t>{0});
    }
}

}  // namespace
}  // namespace vexmend
