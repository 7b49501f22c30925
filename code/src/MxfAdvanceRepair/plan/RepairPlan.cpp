#include "MxfAdvanceRepair/plan/RepairPlan.h"

#include <algorithm>

#include "MxfAdvanceRepair/codecs/EssenceParser.h"

namespace vexmend {

namespace {

// Pictures from the first key frame on that must all be key frames for the
// pictures to count as intra-only.
constexpr size_t kIntraOnlyRun = 16;

}  // namespace

RepairPlan PlanPictures(const ReadAtFunction& read, const std::vector<EssenceSample>& pictures,
                        const EssenceParser& parser, bool sampleHasStreamHeader,
                        const std::vector<std::vector<const EssenceSample*>>& tracks)
{
    std::vector<uint8_t> head(kFrameHead);
    auto readHead = [&](size_t picture) {
        const EssenceSample& element = pictures[picture];
        return static_cast<size_t>(
            read(element.offset, head.data(), std::min<uint64_t>(element.size, kFrameHead)));
    };
    auto isKey = [&](size_t picture) { return parser.IsKeyFrame(head.data(), readHead(picture)); };
    size_t firstKey = 0;
    while (firstKey < pictures.size() && !isKey(firstKey)) ++firstKey;
    bool intraOnly = firstKey < pictures.size();
    for (size_t i = firstKey; intraOnly && i < std::min(pictures.size(), firstKey + kIntraOnlyRun);
         ++i) {
        intraOnly = isKey(i);
    }
    RepairPlan plan;
    plan.packages = PlanPackages(pictures, firstKey, intraOnly, tracks);
    const std::vector<OutputFrame>& frames = plan.packages.frames;
    plan.prependStreamHeader = !frames.empty() && sampleHasStreamHeader &&
                               !parser.StartsWithStreamHeader(head.data(),
                                                              readHead(frames[0].picture));
    return plan;
}

}  // namespace vexmend
