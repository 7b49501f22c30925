// The timecode of the result's first frame: from the system items of the
// first content packages, else from what the pictures themselves carry
// (MPEG-2 GOP header, DV subcode), counted back to the first picture.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "FileReader.h"
#include "MxfAdvanceRepair/scan/EssenceElement.h"
#include "MxfAdvanceRepair/codecs/Timecode.h"

namespace vexmend {

class EssenceParser;

// The timecode of the first of `pictures` (in file order), at `frameRate`
// frames a second: the first of the first pictures' packages whose system
// item (in the bytes after the picture before it, just before its own
// value) states one, else the first of them whose picture carries one
// (`parser`), each counted back by the pictures before it.
std::optional<Timecode> FindStartTimecode(const ReadAtFunction& read,
                                          const std::vector<EssenceSample>& pictures,
                                          const EssenceParser& parser, double frameRate);

}  // namespace vexmend
