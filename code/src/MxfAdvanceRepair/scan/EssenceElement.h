// Recognition of generic-container essence elements: a 16-byte key with the
// essence element prefix, a picture or sound item type, and a BER length.
#pragma once

#include <cstdint>

#include "MxfAdvanceRepair/mxf/Keys.h"

namespace vexmend {

class StreamBuffer;

enum class EssenceKind : uint32_t { Video = 0, Audio = 1 };

// One recognised essence element; all zero when nothing was recognised.
struct EssenceSample {
    uint8_t found = 0;
    // Length of the value as its length field states it; never 0 when found.
    uint64_t size = 0;
    // Absolute offset of the value's first byte (from ReadEssenceElement and
    // in the tables), or the key and length field's size (from MatchEssenceKey).
    uint64_t offset = 0;
    EssenceKind kind = EssenceKind::Video;
    // The key's last four bytes (item type, element count, element type,
    // element number): the MXF track number, which tells the tracks apart.
    uint32_t trackNumber = 0;
};

// Orders elements as they lie in the file.
inline bool EarlierInFile(const EssenceSample& a, const EssenceSample& b)
{
    return a.offset < b.offset;
}

struct BerLength {
    uint64_t value = 0;     // 0: no usable length
    uint8_t fieldSize = 1;  // bytes taken by the length field
};

// Size of a key plus the shortest length field.
constexpr uint64_t kMinimumElementHeader = 17;

// Decodes a BER length field (SMPTE ST 336) from at most `count` (and at
// most 9) bytes.
// Short form, long form of 1 to 8 bytes up to 7FFFFFFFFFFFFFFFh; the
// indefinite form and anything cut off or larger give value 0.
BerLength DecodeBerLength(const uint8_t* bytes, uint64_t count);

// Tells whether an essence element's key and length start at `bytes`,
// reading at most `count` bytes.
EssenceSample MatchEssenceKey(const uint8_t* bytes, uint64_t count);

// Offset of the first of `count` positions from `bytes` on where the first
// four bytes of a SMPTE key (mxf::kUlDesignator) start, or `count` when none does. Only such a
// position can start an element, so a walk may step over all before it.
// Reads bytes [bytes, bytes + count + 3): three bytes past the last position.
uint64_t FindKeyPrefixStart(const uint8_t* bytes, uint64_t count);

// Look-ahead that the scan asks of the reader at each position.
constexpr uint64_t kLookAhead = 0x400000;

// The scan's read window: the bytes a StreamBuffer over the damaged file holds.
constexpr uint32_t kScanWindowSize = 0x2000000;

// MatchEssenceKey at the reader's current byte, with up to `lookAhead` bytes
// of look-ahead. A recognised element leaves the reader at its value's first
// byte and gets that byte's absolute offset; otherwise the reader stays put.
EssenceSample ReadEssenceElement(StreamBuffer& reader, uint64_t lookAhead = kLookAhead);

}  // namespace vexmend
