#include "support/ReferenceWalk.h"

#include <algorithm>
#include <cstring>
#include <sstream>

#include "MxfAdvanceRepair/scan/ScanWalk.h"
#include "StreamBuffer.h"

namespace vexmend::test {

ReferenceElement MatchReferenceHeader(const uint8_t* bytes, uint64_t count)
{
    static const uint8_t prefix[12] = {0x06, 0x0E, 0x2B, 0x34, 0x01, 0x02,
                                       0x01, 0x01, 0x0D, 0x01, 0x03, 0x01};
    if (count < 17 || std::memcmp(bytes, prefix, 12) != 0) return {};
    const uint8_t type = bytes[12], first = bytes[16];
    const bool audio = type == 0x06 || type == 0x16;
    if (!audio && type != 0x05 && type != 0x15 && type != 0x18) return {};
    const uint64_t following = first < 0x80 ? 0 : first & 0x7F;
    if (first >= 0x80 && (following == 0 || following > 8 || count < 17 + following)) return {};
    uint64_t size = first < 0x80 ? first : 0;
    for (uint64_t i = 0; i < following; ++i) size = size << 8 | bytes[17 + i];
    if (size == 0 || size > 0x7FFFFFFFFFFFFFFFull) return {};
    return {17 + following, size, audio ? 1 : 0, 0};
}

WalkResult WalkFile(const uint8_t* file, uint64_t size, const WalkSettings& settings)
{
    // The reader: `available` valid bytes from `position` on, behind `cursor`
    // consumed bytes at the window's front.
    const uint64_t capacity = settings.capacity;
    uint64_t position = 0, available = 0, cursor = capacity;
    bool atEnd = false;
    // A refill reads what follows the valid bytes into the consumed room.
    auto require = [&](uint64_t n) {
        if (available < n && cursor > 0) {
            const uint64_t from = position + available, wanted = std::min(size - from, cursor);
            if (wanted == 0) atEnd = true;
            if (wanted != 0 && !atEnd) {
                const uint64_t got = from < settings.readable
                                         ? std::min(wanted, settings.readable - from)
                                         : 0;
                atEnd = got != wanted;
                available += got;
            }
            cursor = 0;
        }
        return available >= n;
    };
    auto skip = [&](uint64_t n) {
        position += n;
        const bool past = n > capacity || cursor + n > capacity;
        cursor = past ? capacity : cursor + n;
        available = past || n > available ? 0 : available - n;
    };
    WalkResult result;
    uint64_t run = 0;  // unrecognised bytes since the last element
    // At each position the walk and then the element test ask for the
    // look-ahead; the element test sees the window's valid bytes.
    while (position < size && require(std::min(size - position - available, settings.lookAhead))) {
        const ReferenceElement header = MatchReferenceHeader(file + position, available);
        if (header.size != 0) {
            result.elements.push_back(
                {position + header.offset, header.size, header.kind, position});
            skip(header.offset);
            skip(header.size);
            run = 0;
        } else if (skip(1), ++result.unrecognised; ++run > settings.limit) {
            result.limitReached = true;
            break;
        }
    }
    result.end = position;
    return result;
}

WalkResult EngineWalk(const uint8_t* file, uint64_t size, const WalkSettings& settings)
{
    const uint64_t end = std::min(size, settings.readable);
    auto source = [&](uint64_t offset, uint8_t* to, uint64_t count) {
        const uint64_t n = offset < end ? std::min(count, end - offset) : 0;
        if (n != 0) std::memcpy(to, file + offset, n);
        return static_cast<int32_t>(n);
    };
    StreamBuffer reader(settings.capacity, 0, source, size);
    std::vector<EssenceSample> tables[2];
    const ScanWalkResult walk = WalkEssenceElements(reader, size, tables[0], tables[1],
                                                    {settings.lookAhead, settings.limit});
    WalkResult result{{}, walk.unrecognised, walk.limitReached, reader.Position()};
    for (int k : {0, 1}) {
        for (const EssenceSample& s : tables[k])
            result.elements.push_back(
                {s.offset, s.size, k + 2 * (s.found != 1 || int(s.kind) != k), 0});
    }
    return result;
}

std::string Describe(const WalkResult& walk)
{
    std::vector<ReferenceElement> elements = walk.elements;
    std::sort(elements.begin(), elements.end(),
              [](const auto& a, const auto& b) { return a.offset < b.offset; });
    std::ostringstream text;
    for (const ReferenceElement& e : elements)
        text << e.offset << '+' << e.size << (e.kind == 0 ? "v " : e.kind == 1 ? "a " : "? ");
    text << "| " << walk.unrecognised << ", " << walk.limitReached << ", " << walk.end;
    return text.str();
}

std::vector<ReferenceElement> ReferenceWalk(const std::vector<uint8_t>& file)
{
    return WalkFile(file.data(), file.size()).elements;
}

}  // namespace vexmend::test
