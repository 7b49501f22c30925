// Fuzzes the essence element recognition and the windowed walk over a file.
//
// Every input is used four ways:
//  - DecodeBerLength and MatchEssenceKey at each position, on a heap copy of
//    exactly the remaining bytes, so that AddressSanitizer reports any read
//    past `count`; the results are checked against their documented ranges;
//  - FindKeyPrefixStart over the whole input against a plain search;
//  - a walk with StreamBuffer over the input as an in-memory file, with the
//    real ReadEssenceElement (window large enough for the whole input) and
//    with the same loop on a small window and a matching small look-ahead;
//  - a plain reference walk over the bytes, whose elements both windowed
//    walks must reproduce.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "MxfAdvanceRepair/EssenceElement.h"
#include "StreamBuffer.h"

using namespace vexmend;

namespace {

constexpr uint64_t kLargestLength = 0x7FFFFFFFFFFFFFFFull;

[[noreturn]] void Fail(const char* what, uint64_t a, uint64_t b)
{
    std::fprintf(stderr, "invariant broken: %s (%llu, %llu)\n", what,
                 static_cast<unsigned long long>(a), static_cast<unsigned long long>(b));
    std::abort();
}

// Longest key and length field.
constexpr uint64_t kLongestHeader = 25;

struct Found {
    uint64_t start;   // absolute offset of the key
    uint64_t offset;  // absolute offset of the value
    uint64_t size;
    EssenceKind kind;
    bool operator==(const Found& o) const
    {
        return start == o.start && offset == o.offset && size == o.size && kind == o.kind;
    }
};

// A byte-exact heap copy of data[from, size).
std::unique_ptr<uint8_t[]> CopyTail(const uint8_t* data, size_t size, size_t from)
{
    size_t n = size - from;
    std::unique_ptr<uint8_t[]> copy(new uint8_t[n == 0 ? 1 : n]);
    if (n != 0) std::memcpy(copy.get(), data + from, n);
    return copy;
}

void CheckBer(const uint8_t* bytes, uint64_t count)
{
    BerLength length = DecodeBerLength(bytes, count);
    if (length.value > kLargestLength) Fail("BER value too large", length.value, count);
    // The field size is only meaningful with a usable value.
    if (length.value != 0 && (length.fieldSize < 1 || length.fieldSize > 9))
        Fail("BER field size", length.fieldSize, 0);
    if (length.value != 0 && length.fieldSize > count)
        Fail("BER value from beyond count", length.fieldSize, count);
    if (count != 0 && length.value != 0) {
        // Independent decode of the same field.
        uint8_t first = bytes[0];
        uint64_t expected = 0;
        if (first < 0x80) {
            expected = first;
        } else {
            unsigned following = first & 0x7Fu;
            if (following >= 1 && following <= 8 && count >= following + 1u) {
                for (unsigned i = 1; i <= following; ++i) expected = (expected << 8) | bytes[i];
                if (expected > kLargestLength) expected = 0;
            }
        }
        if (expected != length.value) Fail("BER value differs", length.value, expected);
    }
}

bool KnownItemType(uint8_t type)
{
    return type == 0x05 || type == 0x15 || type == 0x18 || type == 0x06 || type == 0x16;
}

void CheckMatch(const uint8_t* bytes, uint64_t count)
{
    EssenceSample sample = MatchEssenceKey(bytes, count);
    if (!sample.found) {
        if (sample.size != 0 || sample.offset != 0)
            Fail("rejection not all zero", sample.size, sample.offset);
        return;
    }
    if (sample.size == 0 || sample.size > kLargestLength) Fail("found size", sample.size, 0);
    if (sample.offset < 17 || sample.offset > 25) Fail("found offset", sample.offset, 0);
    if (sample.offset > count) Fail("header beyond count", sample.offset, count);
    if (std::memcmp(bytes, kEssenceKeyPrefix, sizeof kEssenceKeyPrefix) != 0)
        Fail("found without the key prefix", 0, 0);
    if (!KnownItemType(bytes[12])) Fail("found with unknown item type", bytes[12], 0);
    bool video = bytes[12] == 0x05 || bytes[12] == 0x15 || bytes[12] == 0x18;
    if ((sample.kind == EssenceKind::Video) != video) Fail("kind", bytes[12], 0);
    BerLength length = DecodeBerLength(bytes + 16, count - 16);
    if (length.value != sample.size || 16u + length.fieldSize != sample.offset)
        Fail("length differs from DecodeBerLength", sample.size, length.value);
}

// The walk that the windowed scans must reproduce: every position is tested
// against all bytes left, a recognised element is jumped over.
std::vector<Found> ReferenceWalk(const uint8_t* data, uint64_t size)
{
    std::vector<Found> found;
    uint64_t p = 0;
    while (p < size) {
        // `data` is an exact-size heap copy: a read past its end is reported.
        EssenceSample s = MatchEssenceKey(data + p, size - p);
        if (s.found) {
            found.push_back({p, p + s.offset, s.size, s.kind});
            p += s.offset + s.size;  // no overflow: both are far below 2^63
        } else {
            p += 1;
        }
    }
    return found;
}

StreamBuffer::ReadFunction MemorySource(const uint8_t* data, uint64_t size)
{
    return [data, size](uint64_t offset, uint8_t* destination, uint64_t count) -> int32_t {
        if (offset >= size) return 0;
        uint64_t n = std::min(count, size - offset);
        if (n > 0x7FFFFFFF) n = 0x7FFFFFFF;
        std::memcpy(destination, data + offset, n);
        return static_cast<int32_t>(n);
    };
}

// The scan's loop with the real ReadEssenceElement (look-ahead kLookAhead).
std::vector<Found> EngineWalk(const uint8_t* data, uint64_t size, uint64_t capacity)
{
    StreamBuffer reader(capacity, 0, MemorySource(data, size), size);
    std::vector<Found> found;
    while (reader.Position() < size) {
        if (!reader.Require(std::min(reader.Remaining(), kLookAhead))) break;
        uint64_t start = reader.Position();
        EssenceSample s = ReadEssenceElement(reader);
        if (s.found) {
            found.push_back({start, s.offset, s.size, s.kind});
            reader.Skip(s.size);
        } else {
            reader.Skip(1);
        }
    }
    return found;
}

// The same loop with a small look-ahead, so that a small window is refilled
// often: ReadEssenceElement's steps, with `lookAhead` in place of kLookAhead.
//
// The look-ahead is asked of the bytes beyond the window, so when the file
// ends fewer than a whole header's bytes after the window's end, positions
// close to that end see the header cut short although the file holds all of
// it. `cutAt` gets the first position where that happened (or `size`).
std::vector<Found> SmallWindowWalk(const uint8_t* data, uint64_t size, uint64_t capacity,
                                   uint64_t lookAhead, uint64_t& cutAt)
{
    cutAt = size;
    StreamBuffer reader(capacity, 0, MemorySource(data, size), size);
    std::vector<Found> found;
    while (reader.Position() < size) {
        if (!reader.Require(std::min(reader.Remaining(), lookAhead))) break;
        if (!reader.Require(std::min(reader.Remaining(), lookAhead))) break;
        uint64_t available = static_cast<uint64_t>(static_cast<int64_t>(reader.Available()));
        if (available > capacity) Fail("window holds more than its capacity", available, capacity);
        uint64_t left = size - reader.Position();
        if (available > left) Fail("window holds bytes past the end", available, left);
        if (available != 0 && std::memcmp(reader.Data(), data + reader.Position(), available) != 0)
            Fail("window bytes differ from the file", reader.Position(), available);
        if (reader.Remaining() != left - available)
            Fail("Remaining", reader.Remaining(), left - available);
        if (cutAt == size && available < kLongestHeader && reader.Remaining() != 0)
            cutAt = reader.Position();
        EssenceSample s = MatchEssenceKey(reader.Data(), available);
        if (s.size != 0) {
            uint64_t start = reader.Position();
            reader.Skip(s.offset);
            found.push_back({start, reader.Position(), s.size, s.kind});
            reader.Skip(s.size);
        } else {
            reader.Skip(1);
        }
    }
    return found;
}

void Compare(const char* walk, const std::vector<Found>& got, const std::vector<Found>& expected)
{
    if (got == expected) return;
    size_t i = 0;
    while (i < got.size() && i < expected.size() && got[i] == expected[i]) ++i;
    std::fprintf(stderr, "%s: %zu elements, reference %zu; first difference at #%zu", walk,
                 got.size(), expected.size(), i);
    if (i < got.size())
        std::fprintf(stderr, " got offset %llu size %llu", (unsigned long long)got[i].offset,
                     (unsigned long long)got[i].size);
    if (i < expected.size())
        std::fprintf(stderr, " reference offset %llu size %llu",
                     (unsigned long long)expected[i].offset, (unsigned long long)expected[i].size);
    std::fprintf(stderr, "\n");
    std::abort();
}

// Elements whose key starts before `end`.
std::vector<Found> Before(const std::vector<Found>& found, uint64_t end)
{
    std::vector<Found> kept;
    for (const Found& f : found)
        if (f.start < end) kept.push_back(f);
    return kept;
}

// Set VEXMEND_FUZZ_STRICT_TAIL=1 to have the small window walk match the
// reference up to the file's end, cut-short headers included.
bool StrictTail()
{
    static const bool strict = [] {
        const char* v = std::getenv("VEXMEND_FUZZ_STRICT_TAIL");
        return v != nullptr && *v != '\0' && *v != '0';
    }();
    return strict;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1u << 20)) return 0;
    std::unique_ptr<uint8_t[]> file = CopyTail(data, size, 0);

    // Each position on its own exact-size copy: ASan sees any read past count.
    size_t positions = std::min<size_t>(size, 512);
    for (size_t p = 0; p < positions; ++p) {
        std::unique_ptr<uint8_t[]> tail = CopyTail(data, size, p);
        uint64_t count = size - p;
        CheckBer(tail.get(), count);
        CheckMatch(tail.get(), count);
        // A shorter count than the buffer offers must not be overstepped either.
        if (count > 1) {
            uint64_t shorter = data[p] % count;
            std::unique_ptr<uint8_t[]> cut(new uint8_t[shorter == 0 ? 1 : shorter]);
            std::memcpy(cut.get(), tail.get(), shorter);
            CheckBer(cut.get(), shorter);
            CheckMatch(cut.get(), shorter);
        }
    }

    // The prefix search against a plain walk, reading exactly up to the end.
    if (size >= 3) {
        uint64_t count = size - 3;
        uint64_t expected = count;
        for (uint64_t i = 0; i < count && expected == count; ++i)
            if (std::memcmp(file.get() + i, kEssenceKeyPrefix, 4) == 0) expected = i;
        uint64_t got = FindKeyPrefixStart(file.get(), count);
        if (got != expected) Fail("prefix search", got, expected);
    }

    std::vector<Found> reference = ReferenceWalk(file.get(), size);

    // The engine's loop: the window holds the whole input.
    Compare("engine walk", EngineWalk(file.get(), size, std::max<uint64_t>(size, 1)), reference);

    if (size >= 2) {
        // Window of 64..4144 bytes, look-ahead of 25 (a whole header) up to it.
        uint64_t capacity = 64 + 16u * data[0];
        uint64_t lookAhead = 25 + data[1] % (capacity - 24);
        uint64_t cutAt = 0;
        std::vector<Found> small = SmallWindowWalk(file.get(), size, capacity, lookAhead, cutAt);
        if (StrictTail() || cutAt == size) {
            Compare("small window walk", small, reference);
        } else {
            // Up to the first cut-short header the walks must agree; the few
            // bytes after it (under two headers' worth) are not compared.
            if (size - cutAt >= 2 * kLongestHeader) Fail("cut far from the end", cutAt, size);
            Compare("small window walk", Before(small, cutAt), Before(reference, cutAt));
        }
    }
    return 0;
}
