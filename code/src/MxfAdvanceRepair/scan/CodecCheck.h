// Whether the damaged file's pictures are of the sample's codec: a repair
// guided by a sample of another device would give noise.
#pragma once

#include <string>
#include <vector>

#include "FileReader.h"
#include "MxfAdvanceRepair/sample/SampleProfile.h"
#include "MxfAdvanceRepair/scan/EssenceElement.h"

namespace vexmend {

// Empty when most of the pictures checked (a few spread over the file) have
// the sample's essence mapping and begin as the sample's codec's frames
// begin, else a text that names both codecs.
std::string PictureCodecMismatch(const ReadAtFunction& read,
                                 const std::vector<EssenceSample>& pictures,
                                 const SampleProfile& sample);

}  // namespace vexmend
