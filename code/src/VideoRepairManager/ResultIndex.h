// Whether an MXF result's index points past its last picture, where an
// editor following it would find no picture: the encoder's MXF reader names
// each such entry when it opens the file ("index entry N + TemporalOffset K
// = M, which is out of bounds").
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vexmend {

// The number of the first index entry of the result at `path` (UTF-8) that
// points past its last picture, nothing when none does. Throws
// std::runtime_error when the encoder (`encoder`) cannot be run or does not
// end its report within `limitSeconds` of its start or its last line.
std::optional<uint64_t> FirstEntryPastTheEnd(const std::string& encoder, const std::string& path,
                                             int64_t limitSeconds);

}  // namespace vexmend
