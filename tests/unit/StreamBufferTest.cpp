#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "StreamBuffer.h"

namespace vexmend {
namespace {

// An in-memory source that records every read asked of it. A read may be
// limited to `shortRead` bytes to imitate a file that ends early.
class CountingSource {
public:
    struct Call {
        uint64_t offset;
        uint64_t count;
    };

    explicit CountingSource(size_t size) : bytes(size)
    {
        for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 3);
    }

    StreamBuffer::ReadFunction Function()
    {
        return [this](uint64_t offset, uint8_t* destination, uint64_t count) -> int32_t {
            calls.push_back({offset, count});
            if (failReads) return -1;
            if (offset >= bytes.size()) return 0;
            uint64_t n = std::min<uint64_t>(count, bytes.size() - offset);
            if (shortRead > 0) n = std::min(n, shortRead);
            std::memcpy(destination, bytes.data() + offset, n);
            return static_cast<int32_t>(n);
        };
    }

    std::vector<uint8_t> bytes;
    std::vector<Call> calls;
    uint64_t shortRead = 0;
    bool failReads = false;
};

// The window's bytes from the current byte compared with the source's bytes
// at the reader's position.
void ExpectWindowMatches(const StreamBuffer& reader, const CountingSource& source)
{
    ASSERT_LE(reader.Position() + reader.Available(), source.bytes.size());
    EXPECT_EQ(0, std::memcmp(reader.Data(), source.bytes.data() + reader.Position(),
                             static_cast<size_t>(reader.Available())));
}

TEST(StreamBuffer, EmptySource)
{
    CountingSource source(0);
    StreamBuffer reader(64, 0, source.Function(), 0);
    EXPECT_TRUE(reader.Require(0));
    EXPECT_EQ(reader.Available(), 0);
    EXPECT_FALSE(reader.Require(1));
    EXPECT_EQ(reader.Available(), 0);
    EXPECT_EQ(reader.Remaining(), 0u);
    EXPECT_TRUE(source.calls.empty());
}

TEST(StreamBuffer, SourceSmallerThanWindowIsReadAtOnce)
{
    CountingSource source(40);
    StreamBuffer reader(100, 0, source.Function(), 40);
    EXPECT_EQ(reader.Remaining(), 40u);
    EXPECT_TRUE(source.calls.empty()) << "nothing is read before Require";

    ASSERT_TRUE(reader.Require(1));
    ASSERT_EQ(source.calls.size(), 1u);
    EXPECT_EQ(source.calls[0].offset, 0u);
    EXPECT_EQ(source.calls[0].count, 40u);
    EXPECT_EQ(reader.Available(), 40);
    EXPECT_EQ(reader.Remaining(), 0u);
    ExpectWindowMatches(reader, source);

    // Everything is in the window: neither a larger demand nor one that
    // cannot be met reads again.
    EXPECT_TRUE(reader.Require(40));
    EXPECT_FALSE(reader.Require(41));
    EXPECT_EQ(source.calls.size(), 1u);
}

TEST(StreamBuffer, RequireWithinValidDataDoesNotRead)
{
    CountingSource source(1000);
    StreamBuffer reader(64, 0, source.Function(), 1000);
    ASSERT_TRUE(reader.Require(64));
    ASSERT_EQ(source.calls.size(), 1u);
    EXPECT_EQ(source.calls[0].count, 64u);

    reader.Skip(10);
    EXPECT_TRUE(reader.Require(0));
    EXPECT_TRUE(reader.Require(1));
    EXPECT_TRUE(reader.Require(54));
    EXPECT_EQ(source.calls.size(), 1u);
    EXPECT_EQ(reader.Position(), 10u);
    EXPECT_EQ(reader.Available(), 54);
    EXPECT_EQ(reader.Remaining(), 1000u - 64u);
    ExpectWindowMatches(reader, source);
}

TEST(StreamBuffer, RefillKeepsUnconsumedTail)
{
    CountingSource source(1000);
    StreamBuffer reader(64, 0, source.Function(), 1000);
    ASSERT_TRUE(reader.Require(64));
    reader.Skip(50);
    const std::vector<uint8_t> tail(reader.Data(), reader.Data() + reader.Available());
    ASSERT_EQ(tail.size(), 14u);

    ASSERT_TRUE(reader.Require(20));
    ASSERT_EQ(source.calls.size(), 2u);
    // The read starts right after the valid data and replaces what was consumed.
    EXPECT_EQ(source.calls[1].offset, 64u);
    EXPECT_EQ(source.calls[1].count, 50u);
    EXPECT_EQ(reader.Position(), 50u);
    EXPECT_EQ(reader.Available(), 64);
    EXPECT_EQ(reader.Remaining(), 1000u - 114u);
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), reader.Data()));
    ExpectWindowMatches(reader, source);

    // A second round from the refilled window.
    reader.Skip(63);
    ASSERT_TRUE(reader.Require(2));
    ASSERT_EQ(source.calls.size(), 3u);
    EXPECT_EQ(source.calls[2].offset, 114u);
    EXPECT_EQ(source.calls[2].count, 63u);
    EXPECT_EQ(reader.Position(), 113u);
    ExpectWindowMatches(reader, source);
}

TEST(StreamBuffer, RefillNearTheEndReadsOnlyWhatIsLeft)
{
    CountingSource source(100);
    StreamBuffer reader(64, 0, source.Function(), 100);
    ASSERT_TRUE(reader.Require(1));
    reader.Skip(60);
    ASSERT_TRUE(reader.Require(40));
    ASSERT_EQ(source.calls.size(), 2u);
    EXPECT_EQ(source.calls[1].offset, 64u);
    EXPECT_EQ(source.calls[1].count, 36u);
    EXPECT_EQ(reader.Available(), 40);
    EXPECT_EQ(reader.Remaining(), 0u);
    ExpectWindowMatches(reader, source);
    EXPECT_FALSE(reader.Require(41));
    EXPECT_EQ(source.calls.size(), 2u);
}

TEST(StreamBuffer, SkipWithinAndPastTheWindow)
{
    CountingSource source(1000);
    StreamBuffer reader(64, 0, source.Function(), 1000);
    ASSERT_TRUE(reader.Require(1));

    // Within the valid data: only the cursor moves.
    reader.Skip(64);
    EXPECT_EQ(reader.Position(), 64u);
    EXPECT_EQ(reader.Available(), 0);
    EXPECT_EQ(source.calls.size(), 1u);

    ASSERT_TRUE(reader.Require(1));
    ASSERT_EQ(source.calls.size(), 2u);
    EXPECT_EQ(source.calls[1].offset, 64u);
    EXPECT_EQ(source.calls[1].count, 64u);
    ExpectWindowMatches(reader, source);

    // Past the window: it is emptied and the next refill reads a whole
    // window from the new position.
    reader.Skip(10);
    reader.Skip(200);
    EXPECT_EQ(reader.Position(), 274u);
    EXPECT_EQ(reader.Available(), 0);
    EXPECT_EQ(reader.Remaining(), 1000u - 274u);
    ASSERT_TRUE(reader.Require(64));
    ASSERT_EQ(source.calls.size(), 3u);
    EXPECT_EQ(source.calls[2].offset, 274u);
    EXPECT_EQ(source.calls[2].count, 64u);
    ExpectWindowMatches(reader, source);

    // A step larger than 4 GiB must not wrap round into the window.
    reader.Skip(0x100000010ull);
    EXPECT_EQ(reader.Position(), 274u + 0x100000010ull);
    EXPECT_EQ(reader.Available(), 0);
    EXPECT_EQ(reader.Remaining(), 0u);
}

TEST(StreamBuffer, StartPositionAndSkipBeyondTheEnd)
{
    CountingSource source(300);
    StreamBuffer reader(64, 250, source.Function(), 300);
    EXPECT_EQ(reader.Position(), 250u);
    EXPECT_EQ(reader.Remaining(), 50u);
    ASSERT_TRUE(reader.Require(50));
    ASSERT_EQ(source.calls.size(), 1u);
    EXPECT_EQ(source.calls[0].offset, 250u);
    EXPECT_EQ(source.calls[0].count, 50u);
    ExpectWindowMatches(reader, source);

    reader.Skip(80);
    EXPECT_EQ(reader.Position(), 330u);
    EXPECT_EQ(reader.Available(), 0);
    EXPECT_EQ(reader.Remaining(), 0u);
    EXPECT_TRUE(reader.Require(0));
    EXPECT_FALSE(reader.Require(1));
    EXPECT_EQ(source.calls.size(), 1u);
}

TEST(StreamBuffer, ShortReadEndsTheSource)
{
    CountingSource source(1000);
    source.shortRead = 20;
    StreamBuffer reader(64, 0, source.Function(), 1000);
    EXPECT_FALSE(reader.Require(30));
    ASSERT_EQ(source.calls.size(), 1u);
    // The bytes that did arrive are used.
    EXPECT_EQ(reader.Available(), 20);
    EXPECT_TRUE(reader.Require(20));
    ExpectWindowMatches(reader, source);

    reader.Skip(5);
    EXPECT_FALSE(reader.Require(30));
    EXPECT_TRUE(reader.Require(15));
    EXPECT_EQ(reader.Available(), 15);
    ExpectWindowMatches(reader, source);

    reader.Skip(100);
    EXPECT_FALSE(reader.Require(1));
    EXPECT_EQ(source.calls.size(), 1u) << "no read after a short one";
}

TEST(StreamBuffer, FailedReadEndsTheSource)
{
    CountingSource source(1000);
    source.failReads = true;
    StreamBuffer reader(64, 0, source.Function(), 1000);
    EXPECT_FALSE(reader.Require(1));
    EXPECT_EQ(reader.Available(), 0);
    EXPECT_TRUE(reader.Require(0));
    reader.Skip(10);
    EXPECT_FALSE(reader.Require(1));
    EXPECT_EQ(source.calls.size(), 1u);
}

}  // namespace
}  // namespace vexmend
