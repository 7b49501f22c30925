#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "StreamBuffer.h"

namespace vexmend {
namespace {

// One call on the reader ('R' Require, 'S' Skip) and what follows from it:
// Require's result, the reader's state and the one read made (count 0: none).
struct Step {
    char call;
    uint64_t n;
    bool ok;
    uint64_t position;
    int32_t available;
    uint64_t remaining;
    uint64_t readOffset, readCount;
};

struct Script {
    const char* name;
    uint64_t size, capacity, start;
    int32_t deliver;  // most bytes one read gives; -1: every read fails
    std::vector<Step> steps;
};

constexpr uint64_t kHuge = 0x100000010;  // more than 4 GiB: must not wrap round into the window

// clang-format off
const Script kScripts[] = {
    {"source smaller than the window", 40, 100, 0, 100,
     {{'R', 0, true, 0, 0, 40, 0, 0}, {'R', 1, true, 0, 40, 0, 0, 40}, {'R', 40, true, 0, 40, 0, 0, 0},
      {'R', 41, false, 0, 40, 0, 0, 0}}},
    {"refill keeps the unconsumed tail", 1000, 64, 0, 64,
     {{'R', 64, true, 0, 64, 936, 0, 64}, {'S', 10, true, 10, 54, 936, 0, 0},
      {'R', 54, true, 10, 54, 936, 0, 0}, {'S', 40, true, 50, 14, 936, 0, 0},
      {'R', 20, true, 50, 64, 886, 64, 50}, {'S', 63, true, 113, 1, 886, 0, 0},
      {'R', 2, true, 113, 64, 823, 114, 63}}},
    {"refill near the end", 100, 64, 0, 64,
     {{'R', 1, true, 0, 64, 36, 0, 64}, {'S', 60, true, 60, 4, 36, 0, 0},
      {'R', 40, true, 60, 40, 0, 64, 36}, {'R', 41, false, 60, 40, 0, 0, 0}}},
    {"skip within and past the window", 1000, 64, 0, 64,
     {{'R', 1, true, 0, 64, 936, 0, 64}, {'S', 64, true, 64, 0, 936, 0, 0},
      {'R', 1, true, 64, 64, 872, 64, 64}, {'S', 10, true, 74, 54, 872, 0, 0},
      {'S', 200, true, 274, 0, 726, 0, 0}, {'R', 64, true, 274, 64, 662, 274, 64},
      {'S', kHuge, true, 274 + kHuge, 0, 0, 0, 0}}},
    {"start position, skip beyond the end", 300, 64, 250, 64,
     {{'R', 0, true, 250, 0, 50, 0, 0}, {'R', 50, true, 250, 50, 0, 250, 50},
      {'S', 80, true, 330, 0, 0, 0, 0}, {'R', 0, true, 330, 0, 0, 0, 0},
      {'R', 1, false, 330, 0, 0, 0, 0}}},
    {"short read ends the source", 1000, 64, 0, 20,
     {{'R', 30, false, 0, 20, 980, 0, 64}, {'R', 20, true, 0, 20, 980, 0, 0},
      {'S', 5, true, 5, 15, 980, 0, 0}, {'R', 30, false, 5, 15, 980, 0, 0},
      {'R', 15, true, 5, 15, 980, 0, 0}, {'S', 100, true, 105, 0, 895, 0, 0},
      {'R', 1, false, 105, 0, 895, 0, 0}}},
    {"failed read ends the source", 1000, 64, 0, -1,
     {{'R', 1, false, 0, 0, 1000, 0, 64}, {'R', 0, true, 0, 0, 1000, 0, 0},
      {'S', 10, true, 10, 0, 990, 0, 0}, {'R', 1, false, 10, 0, 990, 0, 0}}},
};
// clang-format on

TEST(StreamBuffer, FollowsItsScripts)
{
    for (const Script& script : kScripts) {
        std::vector<uint8_t> bytes(script.size);
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 7 + 3);
        std::vector<std::pair<uint64_t, uint64_t>> reads;
        auto source = [&](uint64_t offset, uint8_t* to, uint64_t count) -> int32_t {
            reads.emplace_back(offset, count);
            if (script.deliver < 0) return -1;
            uint64_t n = std::min<uint64_t>(
                {count, bytes.size() - offset, uint64_t(script.deliver)});
            std::memcpy(to, bytes.data() + offset, n);
            return int32_t(n);
        };
        StreamBuffer reader(script.capacity, script.start, source, script.size);
        for (size_t i = 0; i < script.steps.size(); ++i) {
            const Step& step = script.steps[i];
            SCOPED_TRACE(testing::Message() << script.name << ", step " << i);
            const size_t before = reads.size();
            const bool ok = step.call == 'R' ? reader.Require(step.n) : (reader.Skip(step.n), true);
            EXPECT_EQ(ok, step.ok);
            EXPECT_EQ(reader.Position(), step.position);
            EXPECT_EQ(reader.Available(), step.available);
            EXPECT_EQ(reader.Remaining(), step.remaining);
            std::vector<std::pair<uint64_t, uint64_t>> made(reads.begin() + before, reads.end()),
                expected;
            if (step.readCount != 0) expected.emplace_back(step.readOffset, step.readCount);
            EXPECT_EQ(made, expected);
            // The window shows the source's bytes from the current one on.
            if (reader.Available() == 0) continue;
            ASSERT_LE(reader.Position() + reader.Available(), bytes.size());
            EXPECT_EQ(0, std::memcmp(reader.Data(), bytes.data() + reader.Position(),
                                     size_t(reader.Available())));
        }
    }
}

}  // namespace
}  // namespace vexmend
