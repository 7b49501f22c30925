// The merge's inputs over what the output assembly planned: one framed
// stream of the pictures and every sound track, or, for codecs and sound
// that it does not carry, raw streams. Each input's writer holds the
// planned source, which the feed threads only read.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "MxfAdvanceRepair/feed/EssenceFeed.h"
#include "MxfAdvanceRepair/plan/RepairPlan.h"
#include "MxfAdvanceRepair/plan/SoundTracks.h"
#include "MxfAdvanceRepair/sample/SampleProfile.h"

namespace vexmend {

struct FeedSource {
    std::string damagedPath;  // UTF-8
    uint64_t fileSize = 0;    // at the scan: elements are held to it
    double frameRate = 30.0;
    SampleProfile sample;
    // The scan's tables: the plan's frames count among `pictures`, the
    // tracks and the plan point into `sounds`.
    std::vector<EssenceSample> pictures, sounds;
    std::vector<SoundTrack> tracks;
    RepairPlan plan;
};

// The inputs for `source`, their data files named after `pathStem`.
std::vector<MergeInput> FeedInputs(const std::shared_ptr<const FeedSource>& source,
                                   const std::string& pathStem);

// The raw data file of audio track `track` (counted from 0): "_Audio.dat"
// for the first, then "_Audio2.dat", "_Audio3.dat" and so on.
std::string AudioDataPath(const std::string& pathStem, size_t track);

}  // namespace vexmend
