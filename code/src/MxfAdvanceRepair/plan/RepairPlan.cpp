#include "MxfAdvanceRepair/plan/RepairPlan.h"

#include <algorithm>
#include <functional>

#include "MxfAdvanceRepair/codecs/EssenceParser.h"

namespace vexmend {

namespace {

// Pictures from the first key frame on that must all be key frames for the
// pictures to count as intra-only.
constexpr size_t kIntraOnlyRun = 16;

// The end of the pictures [0, shown) whose last group begins at `key`: after
// the last of the group's pictures before which none of the group is missing
// in display order (by `place`); `shown` for codecs without display places.
// A place seen before begins a group whose key frame was lost, which cannot
// be decoded.
size_t GapFreeEnd(const std::function<std::optional<int>(size_t)>& place, size_t key, size_t shown)
{
    std::vector<bool> seen;
    size_t end = key;
    int last = -1;
    for (size_t p = key; p < shown; ++p) {
        const std::optional<int> at = place(p);
        if (!at) return shown;
        if (static_cast<size_t>(*at) < seen.size() && seen[static_cast<size_t>(*at)]) break;
        seen.resize(std::max(seen.size(), static_cast<size_t>(*at) + 1));
        seen[static_cast<size_t>(*at)] = true;
        last = std::max(last, *at);
        if (p - key + 1 == static_cast<size_t>(last) + 1) end = p + 1;
    }
    return end;
}

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
    // A picture that the file's end cut short cannot be shown whole, and the
    // encoder refuses one of a constant-size codec: it is left out.
    auto whole = [&](const EssenceSample& picture) {
        uint8_t last = 0;
        return picture.size == 0 || read(picture.offset + picture.size - 1, &last, 1) == 1;
    };
    size_t shown = pictures.size();
    while (shown > 0 && !whole(pictures[shown - 1])) --shown;
    // With long GOP, the result's index would point past its end for a
    // picture shown after one that is missing.
    std::vector<bool> undecodable;
    if (!intraOnly && firstKey < shown) {
        auto place = [&](size_t p) { return parser.DisplayPlace(head.data(), readHead(p)); };
        size_t key = shown - 1;
        while (key > firstKey && !isKey(key)) --key;
        // Inside, the pictures of a group from a gap in its display order to
        // the next key frame cannot be decoded either: they are left out, so
        // that no picture refers to one that is missing.
        undecodable.resize(shown);
        for (size_t group = firstKey, next; group < key; group = next) {
            for (next = group + 1; next < key && !isKey(next);) ++next;
            for (size_t p = GapFreeEnd(place, group, next); p < next; ++p) undecodable[p] = true;
        }
        shown = GapFreeEnd(place, key, shown);
    }
    RepairPlan plan;
    plan.endLeftOut = pictures.size() - shown;
    plan.packages = PlanPackages(pictures, firstKey, intraOnly, shown, tracks, undecodable);
    const std::vector<OutputFrame>& frames = plan.packages.frames;
    plan.prependStreamHeader = !frames.empty() && sampleHasStreamHeader &&
                               !parser.StartsWithStreamHeader(head.data(),
                                                              readHead(frames[0].picture));
    return plan;
}

}  // namespace vexmend
