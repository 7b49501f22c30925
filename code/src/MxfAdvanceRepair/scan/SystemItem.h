// The system item of a content package (SMPTE ST 385/394): its system
// metadata pack carries the package's SMPTE 12M timecode.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "MxfAdvanceRepair/codecs/Timecode.h"

namespace vexmend {

// The timecode of the last system metadata pack that lies whole in `size`
// bytes from `bytes` on: its user date/time stamp, else its creation stamp,
// when that is an SMPTE 12M timecode (type 81h), at `frameRate` frames a
// second.
std::optional<Timecode> FindSystemItemTimecode(const uint8_t* bytes, size_t size, double frameRate);

}  // namespace vexmend
