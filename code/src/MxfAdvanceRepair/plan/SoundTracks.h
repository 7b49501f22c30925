// The result's sound tracks: the damaged file's sound elements sorted into
// the sample's tracks by their track numbers and checked against the
// sample's description of each track.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "MxfAdvanceRepair/sample/SampleProfile.h"
#include "MxfAdvanceRepair/scan/EssenceElement.h"

namespace vexmend {

// A sound track of the result: the sample's stream it carries and the
// damaged file's elements that fit it, in file order.
struct SoundTrack {
    size_t index;  // among the sample's tracks
    AudioStreamDescription stream;
    bool aes3;
    std::vector<const EssenceSample*> elements;
};

struct SoundSelection {
    // Pointing into the sound elements the selection was made from.
    std::vector<SoundTrack> tracks;
    // What was left out and why, as a record's message and value each.
    std::vector<std::pair<std::string, std::string>> warnings;
};

// The sample's tracks with those of `sounds` (the scan's sound elements)
// that fit them at `frameRate`. A track mostly made of elements that do
// not fit is left out: it would be noise.
SoundSelection SelectSoundTracks(const SampleProfile& sample, double frameRate,
                                 const std::vector<EssenceSample>& sounds);

// Edit units at `frameRate` of the sample's first sound track among `sounds`.
uint64_t SoundEditUnits(const SampleProfile& sample, double frameRate,
                        const std::vector<EssenceSample>& sounds);

}  // namespace vexmend
