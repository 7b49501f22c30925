#include "MxfAdvanceRepair/scan/KeylessPictures.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "MxfAdvanceRepair/codecs/EssenceParser.h"

namespace vexmend {

namespace {

// Bytes read at a time; a frame header is told within its first bytes.
constexpr uint64_t kSearchBlock = 8 << 20, kFrameHeader = 64;
// A key and the longest length field: what may lie before a picture's value.
constexpr uint64_t kKeyAndLength = 16 + 9;

// Whether a value ending at `end` (short of `limit`) is followed by a key, as
// every value but the file's last is, or by the file's end.
bool EndsAtKey(const ReadAtFunction& read, uint64_t fileSize, uint64_t end, uint64_t limit)
{
    return end == fileSize || (end <= limit && KeyOrEndAt(read, fileSize, end));
}

// The length of a picture whose value begins at `head`, at `start` in the
// file, with `before` bytes of the stretch ahead of it and `after` from it
// on: its element's length field (ST 336 BER, after a key's room) when that
// makes it end where a key begins; else a constant-size codec's
// `frameSize`, on the same terms; else, its length field lost too, up to
// the next item of a content package; 0 when none holds.
uint64_t PictureLength(const ReadAtFunction& read, uint64_t fileSize, const uint8_t* head,
                       uint64_t before, uint64_t after, uint64_t start, uint64_t limit,
                       uint64_t frameSize)
{
    for (uint64_t field = 1; field <= 9 && field + 16 <= before; ++field) {
        const BerLength length = DecodeBerLength(head - field, field);
        if (length.fieldSize == field && length.value > 0 &&
            EndsAtKey(read, fileSize, start + length.value, limit)) {
            return length.value;
        }
    }
    if (frameSize > 0) return EndsAtKey(read, fileSize, start + frameSize, limit) ? frameSize : 0;
    // Only an item of a content package may follow: an essence element, a
    // fill item or a system item, not the partitions and index tables of
    // the file's end, whose bytes may begin like a frame.
    const uint8_t* const end = head + std::min(after, limit - start);
    for (const uint8_t* at = head + kFrameHeader; at + 16 <= end; ++at) {
        at = std::find(at, end, mxf::kUlDesignator[0]);
        if (at + 16 <= end &&
            (mxf::Matches(mxf::kEssenceElement, at) || mxf::Matches(mxf::kFillItem, at) ||
             mxf::Matches(mxf::kSystemMetadataPack, at))) {
            return static_cast<uint64_t>(at - head);
        }
    }
    return 0;
}

// Whether a key's first four bytes are at `bytes`.
bool IntactKey(const uint8_t* bytes)
{
    return std::equal(mxf::kUlDesignator, mxf::kUlDesignator + sizeof mxf::kUlDesignator, bytes);
}

}  // namespace

bool KeyOrEndAt(const ReadAtFunction& read, uint64_t fileSize, uint64_t at)
{
    uint8_t prefix[sizeof mxf::kUlDesignator] = {};
    return at == fileSize ||
           (read(at, prefix, sizeof prefix) == sizeof prefix && IntactKey(prefix));
}

std::vector<EssenceSample> FindKeylessPictures(const ReadAtFunction& read, uint64_t fileSize,
                                               const std::vector<EssenceSample>& pictures,
                                               const std::vector<EssenceSample>& sounds,
                                               const EssenceParser& parser, uint64_t frameSize)
{
    std::vector<EssenceSample> found;
    if (pictures.empty() || !parser.KnowsFrameHeaders()) return found;
    std::vector<std::pair<uint64_t, uint64_t>> values;
    for (const auto* table : {&pictures, &sounds}) {
        for (const EssenceSample& e : *table) values.emplace_back(e.offset, e.offset + e.size);
    }
    std::sort(values.begin(), values.end());
    values.emplace_back(fileSize + kMinimumElementHeader, 0);
    // Only a stretch of half the smallest picture found or more, and of a
    // frame header at least, is searched: the fill and system items between
    // a healthy file's elements are passed over unread.
    uint64_t smallest = UINT64_MAX;
    for (const EssenceSample& e : pictures) smallest = std::min(smallest, e.size / 2);
    smallest = std::max(smallest, kFrameHeader);
    std::vector<uint8_t> block;
    // The stretches from a value's end to the next element's key.
    uint64_t from = values.front().second;
    for (size_t v = 1; v < values.size(); ++v) {
        const uint64_t to = values[v].first - kMinimumElementHeader;
        for (uint64_t at = from; at < to && to - at >= kMinimumElementHeader + smallest;) {
            const uint64_t base = std::max(from, at > kKeyAndLength ? at - kKeyAndLength : 0);
            block.resize(static_cast<size_t>(
                std::max<uint64_t>(block.size(), std::min(kSearchBlock, to - base))));
            const uint64_t size = read(base, block.data(), std::min(kSearchBlock, to - base));
            if (size <= at - base) break;
            const uint64_t last = size > kFrameHeader ? size - kFrameHeader : 0;
            uint64_t i = at - base;
            while (i <= last) {
                const uint8_t* head = block.data() + i;
                // An intact item (a partition, an index table, a system or
                // fill item) is passed over whole: its bytes may begin like
                // a frame by chance.
                const BerLength item = size - i >= kKeyAndLength && IntactKey(head)
                                           ? DecodeBerLength(head + 16, 9)
                                           : BerLength();
                if (item.value > 0 && base + i + 16 + item.fieldSize + item.value <= to) {
                    i += 16 + item.fieldSize + item.value;
                    continue;
                }
                const uint64_t length = parser.BeginsFrame(head, static_cast<size_t>(size - i))
                                            ? PictureLength(read, fileSize, head, i, size - i,
                                                            base + i, to, frameSize)
                                            : 0;
                if (length == 0) {
                    ++i;
                    continue;
                }
                found.push_back(
                    {1, length, base + i, EssenceKind::Video, pictures.front().trackNumber});
                i += length;
            }
            at = std::max(at + 1, base + i);
        }
        from = std::max(from, values[v].second);
    }
    return found;
}

}  // namespace vexmend
