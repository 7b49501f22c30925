// The first picture element of an MXF file, found the way the damaged file is
// scanned: the stream header that a healthy sample's first picture carries,
// and whether a result holds video at all.
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

}  // namespace vexmend
