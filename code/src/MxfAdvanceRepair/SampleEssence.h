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

// The stream header of that element's picture; empty when the codec has none
// or there is no such element.
std::vector<uint8_t> ReadSampleStreamHeader(const std::string& path, const std::string& codec);

// The track numbers of the sound elements in the file's first content
// packages, in the order they first appear: the sample's sound tracks.
std::vector<uint32_t> ReadSoundTrackNumbers(const std::string& path);

}  // namespace vexmend
