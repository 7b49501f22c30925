// The result's frames as content packages: which picture each frame shows
// and which sound element of each track plays with it, so that every track
// keeps in step with the video whatever was lost.
#pragma once

#include <cstddef>
#include <vector>

#include "MxfAdvanceRepair/scan/EssenceElement.h"

namespace vexmend {

struct OutputFrame {
    size_t picture;                            // index among the pictures
    std::vector<const EssenceSample*> sounds;  // one a track; null: silence
};

struct PackagePlan {
    std::vector<OutputFrame> frames;
    size_t frozen = 0;        // packages before the first key frame, shown with its picture
    size_t repeated = 0;      // pictures repeated for sound whose picture was lost
    size_t soundLeftOut = 0;  // sound elements left out: their picture was lost
    size_t undecodable = 0;   // packages left out: their picture cannot be decoded
};

// Plans the result from the pictures (in file order), the index of the
// first of them where decoding can begin, whether decoding can begin at
// every picture, and each track's sound elements (in file order). A sound
// element belongs to the content package of the last picture before it.
// The result starts with the first package: the packages before the first
// key frame show its picture, so that the result starts where decoding can
// and their sound stays. A package whose track has no element plays silence.
// A track's further elements in one package belong to packages whose picture
// was lost: with intra-only pictures the package's picture is repeated for
// them, otherwise they are left out, as is sound before the first picture.
// Only the first `shown` pictures make packages; the sound of those after
// them is left out with them, as is the package of a picture marked
// `undecodable` (none when it is shorter).
PackagePlan PlanPackages(const std::vector<EssenceSample>& pictures, size_t firstKey,
                         bool intraOnly, size_t shown,
                         const std::vector<std::vector<const EssenceSample*>>& tracks,
                         const std::vector<bool>& undecodable = {});

}  // namespace vexmend
