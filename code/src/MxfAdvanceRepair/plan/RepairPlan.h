// The plan of a result: its frames as content packages, whether its video
// stream needs the sample's stream header in front, and the timecode of its
// first frame.
#pragma once

#include <optional>
#include <vector>

#include "MxfAdvanceRepair/codecs/Timecode.h"
#include "MxfAdvanceRepair/plan/ContentPackages.h"
#include "MxfAdvanceRepair/plan/StartTimecode.h"

namespace vexmend {

class EssenceParser;

struct RepairPlan {
    PackagePlan packages;
    bool prependStreamHeader = false;
    // Pictures at the end left out: cut short by the file's end, or not to
    // be shown in their place.
    size_t endLeftOut = 0;
    std::optional<Timecode> timecode;
};

// The packages of a result with pictures (PlanPackages): decoding begins at
// the first of `pictures` that `parser` takes for a key frame, and the
// pictures count as intra-only when the first ones from there on are all
// key frames. A stream that does not begin with its codec's stream header
// gets the sample's in front, when the sample has one, so that the encoder
// can read it and every frame after it can be decoded.
RepairPlan PlanPictures(const ReadAtFunction& read, const std::vector<EssenceSample>& pictures,
                        const EssenceParser& parser, bool sampleHasStreamHeader,
                        const std::vector<std::vector<const EssenceSample*>>& tracks);

}  // namespace vexmend
