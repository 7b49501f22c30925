// Pictures whose element key was destroyed while their bytes survive, found
// again in the stretches between the recognised elements by the frame
// header their codec begins every frame with.
#pragma once

#include <cstdint>
#include <vector>

#include "FileReader.h"
#include "MxfAdvanceRepair/scan/EssenceElement.h"

namespace vexmend {

class EssenceParser;

// The pictures found where a frame header (`parser`) begins after the first
// recognised element and before the file's end (`fileSize`), none inside a
// recognised element's value; in file order, on the first picture's track.
// A picture's length is its element's length field when that survived (it
// ends right before the header), else `frameSize` for a constant-size
// codec, and the picture must end where a key begins (the next element's,
// a system item's, a fill item's or a partition's) or where the file ends.
// Where neither holds, a picture of a codec of varying frame sizes ends
// where the next key begins; one of a constant-size codec is not found.
std::vector<EssenceSample> FindKeylessPictures(const ReadAtFunction& read, uint64_t fileSize,
                                               const std::vector<EssenceSample>& pictures,
                                               const std::vector<EssenceSample>& sounds,
                                               const EssenceParser& parser, uint64_t frameSize);

// Whether a key (its first four bytes) or the file's end is at `at`.
bool KeyOrEndAt(const ReadAtFunction& read, uint64_t fileSize, uint64_t at);

}  // namespace vexmend
