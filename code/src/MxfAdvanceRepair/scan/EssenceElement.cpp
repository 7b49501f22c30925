#include "MxfAdvanceRepair/scan/EssenceElement.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define VEXMEND_HAVE_SSE2 1
#endif

#include "StreamBuffer.h"

namespace vexmend {

namespace {

// Item type, the key's thirteenth byte: picture items (SDTI-CP picture, GC
// picture and compound) are video, sound items (SDTI-CP and GC sound) audio.
bool KindOfItemType(uint8_t itemType, EssenceKind& kind)
{
    switch (itemType) {
    case mxf::kCpPictureItem:
    case mxf::kGcPictureItem:
    case mxf::kGcCompoundItem: kind = EssenceKind::Video; return true;
    case mxf::kCpSoundItem:
    case mxf::kGcSoundItem: kind = EssenceKind::Audio; return true;
    default: return false;
    }
}

}  // namespace

BerLength DecodeBerLength(const uint8_t* bytes, uint64_t count)
{
    BerLength length;
    if (count == 0) return length;
    uint8_t first = bytes[0];
    if (first < 0x80) {
        length.value = first;
        return length;
    }
    uint8_t following = first & 0x7F;
    length.fieldSize = static_cast<uint8_t>(following + 1);
    if (count < static_cast<uint64_t>(following) + 1 || following > 8) return length;
    if (following == 0) {  // indefinite form
        length.fieldSize = 1;
        return length;
    }
    uint64_t value = 0;
    for (uint8_t i = 1; i <= following; ++i) value = (value << 8) | bytes[i];
    if (value > 0x7FFFFFFFFFFFFFFFull) return length;
    length.value = value;
    return length;
}

EssenceSample MatchEssenceKey(const uint8_t* bytes, uint64_t count)
{
    EssenceSample sample;
    if (count < kMinimumElementHeader) return sample;
    if (!mxf::Matches(mxf::kEssenceElement, bytes)) return sample;
    EssenceKind kind;
    if (!KindOfItemType(bytes[12], kind)) return sample;
    BerLength length = DecodeBerLength(bytes + 16, count - 16);
    if (length.value == 0) return sample;
    sample.found = 1;
    sample.size = length.value;
    sample.offset = 16 + static_cast<uint64_t>(length.fieldSize);
    sample.kind = kind;
    sample.trackNumber = static_cast<uint32_t>(bytes[12]) << 24 |
                         static_cast<uint32_t>(bytes[13]) << 16 |
                         static_cast<uint32_t>(bytes[14]) << 8 | bytes[15];
    return sample;
}

uint64_t FindKeyPrefixStart(const uint8_t* bytes, uint64_t count)
{
    uint64_t i = 0;
#ifdef VEXMEND_HAVE_SSE2
    // Sixty-four positions at a time. The first two prefix bytes filter
    // (random bytes pass once in 64 KiB); the other two are checked for each
    // position that passes.
    const __m128i b0 = _mm_set1_epi8(static_cast<char>(mxf::kUlDesignator[0]));
    const __m128i b1 = _mm_set1_epi8(static_cast<char>(mxf::kUlDesignator[1]));
    for (; i + 64 <= count; i += 64) {
        const uint8_t* p = bytes + i;
        auto pairs = [p, b0, b1](int at) {
            const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
            const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at + 1));
            return _mm_and_si128(_mm_cmpeq_epi8(first, b0), _mm_cmpeq_epi8(second, b1));
        };
        const __m128i h0 = pairs(0);
        const __m128i h1 = pairs(16);
        const __m128i h2 = pairs(32);
        const __m128i h3 = pairs(48);
        if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(h0, h1), _mm_or_si128(h2, h3))) == 0) {
            continue;
        }
        uint64_t mask = static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(h0))) |
                        static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(h1))) << 16 |
                        static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(h2))) << 32 |
                        static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(h3))) << 48;
        for (uint64_t k = 0; mask != 0; ++k, mask >>= 1) {
            if ((mask & 1) != 0 && p[k + 2] == mxf::kUlDesignator[2] &&
                p[k + 3] == mxf::kUlDesignator[3]) {
                return i + k;
            }
        }
    }
#endif
    for (; i < count; ++i) {
        if (std::memcmp(bytes + i, mxf::kUlDesignator, 4) == 0) return i;
    }
    return count;
}

EssenceSample ReadEssenceElement(StreamBuffer& reader, uint64_t lookAhead)
{
    if (!reader.Require(std::min(reader.Remaining(), lookAhead))) return EssenceSample();
    EssenceSample sample = MatchEssenceKey(
        reader.Data(), static_cast<uint64_t>(static_cast<int64_t>(reader.Available())));
    if (sample.size == 0) return EssenceSample();
    reader.Skip(sample.offset);
    sample.offset = reader.Position();
    return sample;
}

}  // namespace vexmend
