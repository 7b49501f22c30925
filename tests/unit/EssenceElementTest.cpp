#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <tuple>
#include <utility>
#include <vector>

#include "MxfAdvanceRepair/EssenceElement.h"

namespace vexmend {
namespace {

using Bytes = std::vector<uint8_t>;

// MatchEssenceKey on an exact-size heap copy of a key with the essence
// element prefix, so that a sanitizer sees any read past the bytes offered.
EssenceSample Match(const Bytes& bytes)
{
    std::unique_ptr<uint8_t[]> copy(new uint8_t[bytes.size()]);
    std::copy(bytes.begin(), bytes.end(), copy.get());
    return MatchEssenceKey(copy.get(), bytes.size());
}

TEST(EssenceElement, MatchesKeyAndLength)
{
    const EssenceKind V = EssenceKind::Video, A = EssenceKind::Audio;
    const struct {
        uint8_t type;
        Bytes length;
        uint64_t size, header;  // size 0: not found
        EssenceKind kind;
    } cases[] = {
        // clang-format off
        {0x15, {}, 0, 0, V},  // a key without a length byte
        {0x15, {0x83, 0x00, 0x10, 0x00}, 4096, 20, V}, {0x16, {0x0A}, 10, 17, A},
        {0x05, {0x7F}, 127, 17, V}, {0x18, {0x01}, 1, 17, V}, {0x06, {0x81, 0x80}, 128, 18, A},
        {0x14, {0x10}, 0, 0, V}, {0x17, {0x10}, 0, 0, V}, {0x04, {0x10}, 0, 0, V}, {0x25, {0x10}, 0, 0, V},
        {0x15, {0x00}, 0, 0, V}, {0x15, {0x80, 0x10}, 0, 0, V}, {0x15, {0x83, 0, 0, 0}, 0, 0, V},
        {0x15, {0x89, 0, 0, 0, 0, 0, 0, 0, 0, 1}, 0, 0, V},
        {0x15, {0x88, 1, 2, 3, 4, 5, 6, 7, 8}, 0x0102030405060708, 25, V},
        {0x16, {0x88, 0x7F, 255, 255, 255, 255, 255, 255, 255}, 0x7FFFFFFFFFFFFFFF, 25, A},
        {0x15, {0x88, 0x80, 0, 0, 0, 0, 0, 0, 0}, 0, 0, V},
        {0x15, {0x88, 255, 255, 255, 255, 255, 255, 255, 255}, 0, 0, V},
        {0x15, {0x84, 0x00, 0x10}, 0, 0, V},  // cut off by the end of the bytes offered
        // clang-format on
    };
    for (const auto& c : cases) {
        Bytes bytes(kEssenceKeyPrefix, kEssenceKeyPrefix + 12);
        bytes.insert(bytes.end(), {c.type, 0x01, 0x01, 0x01});
        bytes.insert(bytes.end(), c.length.begin(), c.length.end());
        SCOPED_TRACE(testing::PrintToString(bytes));
        const EssenceSample sample = Match(bytes);
        EXPECT_EQ(std::make_tuple(sample.found, sample.size, sample.offset, sample.kind),
                  std::make_tuple(uint8_t(c.size != 0), c.size, c.header, c.kind));
        if (c.size == 0) continue;
        const BerLength length = DecodeBerLength(bytes.data() + 16, bytes.size() - 16);
        EXPECT_EQ(std::make_pair(length.value, uint64_t{16} + length.fieldSize),
                  std::make_pair(c.size, c.header));
        // Any other prefix byte, the version byte among them: no key.
        for (size_t i = 0; i < 12; ++i) {
            Bytes other = bytes;
            other[i] = i == 7 ? 0x02 : other[i] ^ 0x40;
            EXPECT_FALSE(Match(other).found) << i;
        }
    }
    EXPECT_EQ(DecodeBerLength(nullptr, 0).value, 0u);
}

}  // namespace
}  // namespace vexmend
