// Sound elements whose key was destroyed while their length and value
// survive, found again where a content package lacks one of a track whose
// elements all have one size (sound of constant bytes per frame).
#pragma once

#include <cstdint>
#include <vector>

#include "FileReader.h"
#include "MxfAdvanceRepair/scan/EssenceElement.h"

namespace vexmend {

// The sound elements found right after a recognised value (`pictures` and
// `sounds`, each in file order), and after each other: a key's room, a
// length field, and a value that ends where a key or the file's end
// begins, of the size that most elements of one of `tracks` have, where the
// picture's content package before it holds no element of that track.
// In file order.
std::vector<EssenceSample> FindKeylessSoundElements(const ReadAtFunction& read, uint64_t fileSize,
                                                    const std::vector<EssenceSample>& pictures,
                                                    const std::vector<EssenceSample>& sounds,
                                                    const std::vector<uint32_t>& tracks);

}  // namespace vexmend
