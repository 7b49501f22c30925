// A healthy file's essence elements, found the way the damaged file is
// scanned: the stream header that a sample's first picture carries, the sound
// tracks its elements belong to, and whether a result holds video at all.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "MxfAdvanceRepair/scan/EssenceElement.h"

namespace vexmend {

// The first element of `kind` (its value's absolute offset and size) that
// starts in the first 256 MiB of the file at `path` (UTF-8).
std::optional<EssenceSample> FindFirstElement(const std::string& path, EssenceKind kind);

// What a healthy sample's first content packages show, from one walk: the
// stream header of its first picture (empty when the codec has none or there
// is no picture), the last four key bytes of that picture element (0 when
// there is none), and the track numbers of its sound elements in the order
// they first appear, its sound tracks.
struct SampleEssence {
    std::vector<uint8_t> streamHeader;
    uint32_t pictureKey = 0;
    std::vector<uint32_t> soundTracks;
    // For codecs whose frames all have one size: that size, the first
    // picture element's, or where its second frame begins when the element
    // holds a run of frames (clip wrapping); 0 for other codecs.
    uint64_t frameSize = 0;
    // A second frame begins in the first picture element.
    bool clipWrapped = false;
    // The header partition names the operational pattern OP-Atom.
    bool opAtom = false;
};
SampleEssence ReadSampleEssence(const std::string& path, const std::string& codec);

}  // namespace vexmend
