#include "MxfAdvanceRepair/plan/ContentPackages.h"

#include <algorithm>

namespace vexmend {

PackagePlan PlanPackages(const std::vector<EssenceSample>& pictures, size_t firstKey,
                         bool intraOnly, size_t shown,
                         const std::vector<std::vector<const EssenceSample*>>& tracks,
                         const std::vector<bool>& undecodable)
{
    PackagePlan plan;
    // Each track's elements by package.
    std::vector<std::vector<std::vector<const EssenceSample*>>> packages(
        tracks.size(), std::vector<std::vector<const EssenceSample*>>(pictures.size()));
    for (size_t t = 0; t < tracks.size(); ++t) {
        for (const EssenceSample* element : tracks[t]) {
            auto after = std::lower_bound(pictures.begin(), pictures.end(), element->offset,
                                          [](const EssenceSample& picture, uint64_t offset) {
                                              return picture.offset < offset;
                                          });
            if (after == pictures.begin()) {
                ++plan.soundLeftOut;
            } else {
                packages[t][static_cast<size_t>(after - pictures.begin()) - 1].push_back(element);
            }
        }
    }
    shown = std::min(shown, pictures.size());
    auto leaveOut = [&](size_t p) {
        for (size_t t = 0; t < tracks.size(); ++t) plan.soundLeftOut += packages[t][p].size();
    };
    for (size_t p = shown; p < pictures.size(); ++p) leaveOut(p);
    firstKey = firstKey < shown ? firstKey : 0;
    plan.frozen = firstKey;
    for (size_t p = 0; p < shown; ++p) {
        if (p < undecodable.size() && undecodable[p] && p > firstKey) {
            leaveOut(p);
            ++plan.undecodable;
            continue;
        }
        // One frame for the package, and with intra-only pictures one more
        // for each further element of a track; otherwise those are left out.
        size_t count = 1;
        for (size_t t = 0; t < tracks.size(); ++t) {
            count = std::max(count, packages[t][p].size());
            if (!intraOnly) plan.soundLeftOut += std::max<size_t>(packages[t][p].size(), 1) - 1;
        }
        if (!intraOnly) count = 1;
        plan.repeated += count - 1;
        for (size_t n = 0; n < count; ++n) {
            OutputFrame frame{std::max(p, firstKey), {}};
            for (size_t t = 0; t < tracks.size(); ++t) {
                frame.sounds.push_back(n < packages[t][p].size() ? packages[t][p][n] : nullptr);
            }
            plan.frames.push_back(std::move(frame));
        }
    }
    return plan;
}

}  // namespace vexmend
