// A healthy file's essence elements, found the way the damaged file is
// scanned: the stream header that a sample's first picture carries, the sound
// tracks its elements belong to, and whether a result holds video at all.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "MxfAdvanceRepair/EssenceElement.h"

namespace vexmend {

// The first picture element (its value's absolute offset and size) that
// starts in the first 256 MiB of the file at `path` (UTF-8).
std::optional<EssenceSample> FindFirstPictureElement(const std::string& path);

// What a healthy sample's first content packages show, from one walk: the
// stream header of its first picture (empty when the codec has none or there
// is no picture), the last four key bytes of that picture element (0 when
// there is none), and the track numbers of its sound elements in the order
// they first appear, its sound tracks.
struct SampleEssence {
    std::vector<uint8_t> streamHeader;
    uint32_t pictureKey = 0;
    std::vector<uint32_t> soundTracks;
};
SampleEssence ReadSampleEssence(const std::string& path, const std::string& codec);

}  // namespace vexmend
