// The merge's encoder arguments, a function of its inputs and of what the
// repair planned: whether the result has pictures, how many, at what rate,
// its timecode and its operational pattern.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "MxfAdvanceRepair/feed/EssenceFeed.h"
#include "MxfAdvanceRepair/codecs/Timecode.h"

namespace vexmend {

struct MergeLayout {
    // The result holds pictures; false for a result of sound alone.
    bool video = true;
    // The planned pictures and their rate: the result's length.
    uint64_t frames = 0;
    double frameRate = 30.0;
    // The timecode of the result's first frame, when one was found.
    std::optional<Timecode> timecode;
    // One track a file, as the sample was written.
    bool opAtom = false;
};

// The encoder's arguments for a merge of `inputs` into `outputPath`,
// without the program.
std::vector<std::string> MergeArguments(const MergeLayout& layout,
                                        const std::vector<MergeInput>& inputs,
                                        const std::string& outputPath);

}  // namespace vexmend
