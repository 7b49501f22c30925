#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <tuple>
#include <utility>
#include <vector>

#include "StreamBuffer.h"

namespace vexmend {
namespace {

// One call on the reader ('R' Require, 'S' Skip) and what follows from it:
// Require's result, the reader's state and the one read made (count 0: none).
struct Step {
    char call;
    uint64_t n, ok, position, available, remaining, readOffset, readCount;
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
    {"refill keeps the unconsumed tail", 1000, 64, 0, 64,
     {{'R', 64, 1, 0, 64, 936, 0, 64}, {'S', 10, 1, 10, 54, 936, 0, 0}, {'R', 54, 1, 10, 54, 936, 0, 0},
      {'S', 40, 1, 50, 14, 936, 0, 0}, {'R', 20, 1, 50, 64, 886, 64, 50}, {'S', 63, 1, 113, 1, 886, 0, 0},
      {'R', 2, 1, 113, 64, 823, 114, 63}}},
    {"skip within and past the window", 1000, 64, 0, 64,
     {{'R', 1, 1, 0, 64, 936, 0, 64}, {'S', 64, 1, 64, 0, 936, 0, 0}, {'R', 1, 1, 64, 64, 872, 64, 64},
      {'S', 10, 1, 74, 54, 872, 0, 0}, {'S', 200, 1, 274, 0, 726, 0, 0},
      {'R', 64, 1, 274, 64, 662, 274, 64}, {'S', kHuge, 1, 274 + kHuge, 0, 0, 0, 0}}},
    {"start position, skip beyond the end", 300, 64, 250, 64,
     {{'R', 0, 1, 250, 0, 50, 0, 0}, {'R', 50, 1, 250, 50, 0, 250, 50}, {'S', 80, 1, 330, 0, 0, 0, 0},
      {'R', 0, 1, 330, 0, 0, 0, 0}, {'R', 1, 0, 330, 0, 0, 0, 0}}},
    {"short read ends the source", 1000, 64, 0, 20,
     {{'R', 30, 0, 0, 20, 980, 0, 64}, {'R', 20, 1, 0, 20, 980, 0, 0}, {'S', 5, 1, 5, 15, 980, 0, 0},
      {'R', 30, 0, 5, 15, 980, 0, 0}, {'R', 15, 1, 5, 15, 980, 0, 0}, {'S', 100, 1, 105, 0, 895, 0, 0},
      {'R', 1, 0, 105, 0, 895, 0, 0}}},
    {"failed read ends the source", 1000, 64, 0, -1,
     {{'R', 1, 0, 0, 0, 1000, 0, 64}, {'R', 0, 1, 0, 0, 1000, 0, 0}, {'S', 10, 1, 10, 0, 990, 0, 0},
      {'R', 1, 0, 10, 0, 990, 0, 0}}},
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
                {count, script.size - offset, uint64_t(script.deliver)});
            std::memcpy(to, bytes.data() + offset, n);
            return int32_t(n);
        };
        StreamBuffer reader(script.capacity, script.start, source, script.size);
        for (size_t i = 0; i < script.steps.size(); ++i) {
            const Step& step = script.steps[i];
            SCOPED_TRACE(testing::Message() << script.name << ", step " << i);
            reads.clear();
            const bool ok = step.call == 'R' ? reader.Require(step.n) : (reader.Skip(step.n), true);
            EXPECT_EQ(std::make_tuple(ok, reader.Position(), uint64_t(reader.Available()),
                                      reader.Remaining()),
                      std::make_tuple(step.ok == 1, step.position, step.available, step.remaining));
            EXPECT_EQ(reads,
                      (step.readCount == 0 ? decltype(reads)()
                                           : decltype(reads){{step.readOffset, step.readCount}}));
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
