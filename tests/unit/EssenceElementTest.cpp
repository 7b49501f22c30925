#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "MxfAdvanceRepair/EssenceElement.h"
#include "StreamBuffer.h"

namespace vexmend {
namespace {

using Bytes = std::vector<uint8_t>;

// A key with the essence element prefix and the given item type, followed by
// the given length field bytes.
Bytes Key(uint8_t itemType, const Bytes& length, uint8_t version = 0x01)
{
    Bytes bytes;
    for (uint8_t b : kEssenceKeyPrefix) bytes.push_back(b);
    bytes[7] = version;
    for (uint8_t b : {itemType, uint8_t{0x01}, uint8_t{0x01}, uint8_t{0x01}}) bytes.push_back(b);
    for (uint8_t b : length) bytes.push_back(b);
    return bytes;
}

EssenceSample Match(const Bytes& bytes) { return MatchEssenceKey(bytes.data(), bytes.size()); }

TEST(EssenceElement, PrefixBytes)
{
    const uint8_t expected[12] = {0x06, 0x0E, 0x2B, 0x34, 0x01, 0x02,
                                  0x01, 0x01, 0x0D, 0x01, 0x03, 0x01};
    EXPECT_EQ(0, std::memcmp(kEssenceKeyPrefix, expected, 12));
}

// The search must give the first position that a plain walk finds, at every
// offset within and across its blocks, and ignore near misses and a prefix
// that starts just past the last position.
TEST(EssenceElement, FindKeyPrefixStartMatchesAPlainWalk)
{
    auto plain = [](const Bytes& bytes, uint64_t count) {
        for (uint64_t i = 0; i < count; ++i)
            if (std::memcmp(bytes.data() + i, kEssenceKeyPrefix, 4) == 0) return i;
        return count;
    };
    const Bytes nearMiss = {0x06, 0x0E, 0x2B, 0x35, 0x06, 0x0E, 0x06, 0x06, 0x0E, 0x2B};
    for (uint64_t count = 0; count <= 140; ++count) {
        for (uint64_t at = 0; at <= count; ++at) {
            // Exactly count + 3 bytes, so that a sanitizer sees any read past them.
            Bytes bytes(count + 3, 0x06);
            for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = nearMiss[i % nearMiss.size()];
            if (at + 4 <= bytes.size()) std::memcpy(bytes.data() + at, kEssenceKeyPrefix, 4);
            uint64_t expected = plain(bytes, count);
            ASSERT_EQ(FindKeyPrefixStart(bytes.data(), count), expected)
                << "count " << count << ", prefix at " << at;
        }
    }
    Bytes none(4096 + 3, 0x06);
    EXPECT_EQ(FindKeyPrefixStart(none.data(), 4096), 4096u);
}

TEST(EssenceElement, ItemTypeGivesTheKind)
{
    for (uint8_t type : {0x05, 0x15, 0x18}) {
        EssenceSample sample = Match(Key(type, {0x10}));
        EXPECT_EQ(sample.found, 1) << int(type);
        EXPECT_EQ(sample.kind, EssenceKind::Video) << int(type);
    }
    for (uint8_t type : {0x06, 0x16}) {
        EssenceSample sample = Match(Key(type, {0x10}));
        EXPECT_EQ(sample.found, 1) << int(type);
        EXPECT_EQ(sample.kind, EssenceKind::Audio) << int(type);
    }
    for (uint8_t type : {0x14, 0x17, 0x04, 0x00, 0x01, 0x25, 0xFF}) {
        EssenceSample sample = Match(Key(type, {0x10}));
        EXPECT_EQ(sample.found, 0) << int(type);
        EXPECT_EQ(sample.size, 0u) << int(type);
        EXPECT_EQ(sample.offset, 0u) << int(type);
    }
}

TEST(EssenceElement, KeyAndLengthSizes)
{
    EssenceSample video = Match(Key(0x15, {0x83, 0x00, 0x10, 0x00}));
    EXPECT_EQ(video.found, 1);
    EXPECT_EQ(video.size, 4096u);
    EXPECT_EQ(video.offset, 20u);
    EXPECT_EQ(video.kind, EssenceKind::Video);

    EssenceSample audio = Match(Key(0x16, {0x0A}));
    EXPECT_EQ(audio.found, 1);
    EXPECT_EQ(audio.size, 10u);
    EXPECT_EQ(audio.offset, 17u);
    EXPECT_EQ(audio.kind, EssenceKind::Audio);

    EssenceSample largest = Match(
        Key(0x15, {0x88, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(largest.found, 1);
    EXPECT_EQ(largest.size, 0x7FFFFFFFFFFFFFFFull);
    EXPECT_EQ(largest.offset, 25u);

    EssenceSample shortLong = Match(Key(0x05, {0x81, 0x80}));
    EXPECT_EQ(shortLong.found, 1);
    EXPECT_EQ(shortLong.size, 0x80u);
    EXPECT_EQ(shortLong.offset, 18u);
}

TEST(EssenceElement, RejectedKeysAndLengths)
{
    // Only the key: no length byte to read.
    Bytes keyOnly = Key(0x15, {});
    EXPECT_EQ(Match(keyOnly).found, 0);
    // Any other byte in the prefix, the version byte among them.
    EXPECT_EQ(Match(Key(0x15, {0x10}, 0x02)).found, 0);
    for (size_t i = 0; i < 12; ++i) {
        Bytes bytes = Key(0x15, {0x10});
        bytes[i] ^= 0x40;
        EXPECT_EQ(Match(bytes).found, 0) << "prefix byte " << i;
    }
    // A zero length, the indefinite form and a field of more than 8 bytes.
    EXPECT_EQ(Match(Key(0x15, {0x00})).found, 0);
    EXPECT_EQ(Match(Key(0x15, {0x80, 0x10})).found, 0);
    EXPECT_EQ(Match(Key(0x15, {0x89, 0, 0, 0, 0, 0, 0, 0, 0, 0x10})).found, 0);
    EXPECT_EQ(Match(Key(0x15, {0x83, 0x00, 0x00, 0x00})).found, 0);
    // Larger than the signed range.
    EXPECT_EQ(Match(Key(0x15, {0x88, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})).found, 0);
    EXPECT_EQ(Match(Key(0x15, {0x88, 0x80, 0, 0, 0, 0, 0, 0, 0})).found, 0);
    // A long form cut off by the end of the bytes offered.
    Bytes cut = Key(0x15, {0x84, 0x00, 0x10});
    EXPECT_EQ(Match(cut).found, 0);
    Bytes whole = Key(0x15, {0x84, 0x00, 0x10, 0x00, 0x00});
    EXPECT_EQ(MatchEssenceKey(whole.data(), whole.size() - 1).found, 0);
    EXPECT_EQ(MatchEssenceKey(whole.data(), whole.size()).size, 0x100000u);
}

TEST(EssenceElement, DecodeBerLength)
{
    const uint8_t shortForm[] = {0x7F};
    BerLength length = DecodeBerLength(shortForm, 1);
    EXPECT_EQ(length.value, 0x7Fu);
    EXPECT_EQ(length.fieldSize, 1);

    const uint8_t eight[] = {0x88, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
    length = DecodeBerLength(eight, 9);
    EXPECT_EQ(length.value, 0x0102030405060708ull);
    EXPECT_EQ(length.fieldSize, 9);
    // Only the bytes offered are read.
    EXPECT_EQ(DecodeBerLength(eight, 8).value, 0u);
    EXPECT_EQ(DecodeBerLength(eight, 0).value, 0u);

    const uint8_t indefinite[] = {0x80, 0x05};
    EXPECT_EQ(DecodeBerLength(indefinite, 2).value, 0u);
    const uint8_t nine[] = {0x89, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    EXPECT_EQ(DecodeBerLength(nine, 10).value, 0u);
    const uint8_t two[] = {0x82, 0x01, 0x00, 0xEE};
    length = DecodeBerLength(two, 4);
    EXPECT_EQ(length.value, 0x100u);
    EXPECT_EQ(length.fieldSize, 3);
}

// An in-memory file for the reader.
StreamBuffer::ReadFunction MemorySource(const Bytes& file, int* reads = nullptr)
{
    return [&file, reads](uint64_t offset, uint8_t* destination, uint64_t count) -> int32_t {
        if (reads != nullptr) ++*reads;
        if (offset >= file.size()) return 0;
        uint64_t n = std::min<uint64_t>(count, file.size() - offset);
        std::memcpy(destination, file.data() + offset, n);
        return static_cast<int32_t>(n);
    };
}

Bytes FileWithElementAt(size_t keyOffset, size_t total, const Bytes& element)
{
    Bytes file(total, 0xA5);
    std::copy(element.begin(), element.end(), file.begin() + static_cast<long>(keyOffset));
    return file;
}

TEST(EssenceElement, ReadEssenceElementPlacesTheReaderAfterTheHeader)
{
    const Bytes file = FileWithElementAt(30, 200, Key(0x15, {0x83, 0x00, 0x00, 0x40}));
    StreamBuffer reader(1024, 0, MemorySource(file), file.size());

    // Not at a key: nothing found, the reader stays put.
    EssenceSample none = ReadEssenceElement(reader);
    EXPECT_EQ(none.found, 0);
    EXPECT_EQ(none.size, 0u);
    EXPECT_EQ(reader.Position(), 0u);

    reader.Skip(30);
    EssenceSample sample = ReadEssenceElement(reader);
    EXPECT_EQ(sample.found, 1);
    EXPECT_EQ(sample.size, 0x40u);
    EXPECT_EQ(sample.offset, 50u);
    EXPECT_EQ(sample.kind, EssenceKind::Video);
    EXPECT_EQ(reader.Position(), 50u);
    EXPECT_EQ(reader.Data()[0], 0xA5);
}

TEST(EssenceElement, ReadEssenceElementOffsetIsAbsolute)
{
    const Bytes file = FileWithElementAt(1000, 1100, Key(0x16, {0x20}));
    StreamBuffer reader(512, 1000, MemorySource(file), file.size());
    EssenceSample sample = ReadEssenceElement(reader);
    EXPECT_EQ(sample.found, 1);
    EXPECT_EQ(sample.kind, EssenceKind::Audio);
    EXPECT_EQ(sample.offset, 1017u);
    EXPECT_EQ(reader.Position(), 1017u);
}

TEST(EssenceElement, KeyStraddlingARefillIsFound)
{
    // The first window holds 9 bytes of the key; the rest comes with the refill.
    const Bytes file = FileWithElementAt(55, 100, Key(0x15, {0x10}));
    int reads = 0;
    StreamBuffer reader(64, 0, MemorySource(file, &reads), file.size());
    ASSERT_TRUE(reader.Require(1));
    reader.Skip(55);
    ASSERT_EQ(reader.Available(), 9);

    EssenceSample sample = ReadEssenceElement(reader);
    EXPECT_EQ(reads, 2);
    EXPECT_EQ(sample.found, 1);
    EXPECT_EQ(sample.size, 0x10u);
    EXPECT_EQ(sample.offset, 72u);
    EXPECT_EQ(reader.Position(), 72u);
}

TEST(EssenceElement, HeaderCutOffByTheEndOfFileIsNotFound)
{
    // A key whose long length field runs past the end of the file.
    Bytes file(40, 0x00);
    Bytes element = Key(0x15, {0x84, 0x00, 0x10});
    std::copy(element.begin(), element.end(), file.end() - static_cast<long>(element.size()));
    StreamBuffer reader(1024, 0, MemorySource(file), file.size());
    reader.Skip(file.size() - element.size());
    EssenceSample sample = ReadEssenceElement(reader);
    EXPECT_EQ(sample.found, 0);
    EXPECT_EQ(reader.Position(), file.size() - element.size());
}

}  // namespace
}  // namespace vexmend
