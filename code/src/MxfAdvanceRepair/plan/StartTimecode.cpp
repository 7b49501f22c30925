#include "MxfAdvanceRepair/plan/StartTimecode.h"

#include <algorithm>

#include "MxfAdvanceRepair/scan/SystemItem.h"
#include "MxfAdvanceRepair/codecs/EssenceParser.h"

namespace vexmend {

namespace {

// Bytes before a picture's value searched for its package's system item.
constexpr uint64_t kSystemItemReach = 1024;
// Pictures whose system items or timecodes are looked at.
constexpr size_t kTimecodeSearch = 50;

}  // namespace

std::optional<Timecode> FindStartTimecode(const ReadAtFunction& read,
                                          const std::vector<EssenceSample>& pictures,
                                          const EssenceParser& parser, double frameRate)
{
    std::vector<uint8_t> bytes(kFrameHead);
    const size_t searched = std::min(pictures.size(), kTimecodeSearch);
    for (size_t i = 0; i < searched; ++i) {
        const uint64_t end = pictures[i].offset;
        uint64_t start = end > kSystemItemReach ? end - kSystemItemReach : 0;
        if (i > 0) start = std::clamp(pictures[i - 1].offset + pictures[i - 1].size, start, end);
        const uint64_t got = read(start, bytes.data(), end - start);
        if (auto found = FindSystemItemTimecode(bytes.data(), static_cast<size_t>(got),
                                                frameRate)) {
            return found->Plus(-static_cast<int64_t>(i), frameRate);
        }
    }
    for (size_t i = 0; i < searched; ++i) {
        const uint64_t got = read(pictures[i].offset, bytes.data(),
                                  std::min<uint64_t>(pictures[i].size, kFrameHead));
        if (auto found = parser.FrameTimecode(bytes.data(), static_cast<size_t>(got), frameRate)) {
            return found->Plus(-static_cast<int64_t>(i), frameRate);
        }
    }
    return std::nullopt;
}

}  // namespace vexmend
