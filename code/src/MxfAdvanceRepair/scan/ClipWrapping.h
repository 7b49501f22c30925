// Clip wrapping: an element whose value is a run of frames (OP-Atom files of
// cameras and editing systems) is taken apart into its frames, frames whose
// element key was lost are found again by their frame headers, and the sound
// of a clip whose key was lost is found after the zeros at the file's start.
// Each stage takes the scan's tables and returns new ones.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "FileReader.h"
#include "MxfAdvanceRepair/sample/SampleEssence.h"
#include "MxfAdvanceRepair/scan/EssenceElement.h"

namespace vexmend {

class EssenceParser;

// The pictures with each element that holds a run of frames of
// `frameSize` bytes (a constant-size codec) taken apart: every complete
// frame that the file (of `fileSize` bytes) still holds and that begins as
// the codec's frames begin.
std::vector<EssenceSample> SplitClipWrappedPictures(const ReadAtFunction& read, uint64_t fileSize,
                                                    const std::vector<EssenceSample>& pictures,
                                                    const EssenceParser& parser,
                                                    uint64_t frameSize);

// Frames of `frameSize` bytes whose element key was lost, found where a
// frame header begins in the stretches between the recognised elements'
// values, with the picture key `pictureKey`; in file order.
std::vector<EssenceSample> FindKeylessFrames(const ReadAtFunction& read, uint64_t fileSize,
                                             const std::vector<EssenceSample>& pictures,
                                             const std::vector<EssenceSample>& sounds,
                                             const EssenceParser& parser, uint64_t frameSize,
                                             uint32_t pictureKey);

// The pictures with each element taken apart where the stream's frames
// begin (long-GOP codecs); a clip cut short loses its last, incomplete frame.
std::vector<EssenceSample> SplitAtFrameStarts(const ReadAtFunction& read, uint64_t fileSize,
                                              const std::vector<EssenceSample>& pictures,
                                              const EssenceParser& parser);

// The sound of a clip whose key was lost, when `sounds` (the scan's sound
// elements) hold none of track `track`: after the zeros at the file's start
// and up to the next partition pack or fill item, in whole sample frames of
// `blockAlign` bytes counted back from its end.
std::optional<EssenceSample> FindKeylessSound(const ReadAtFunction& read, uint64_t fileSize,
                                              const std::vector<EssenceSample>& sounds,
                                              uint64_t blockAlign, uint32_t track);

struct FramePictures {
    std::vector<EssenceSample> pictures;  // in file order
    size_t keyless = 0;                   // found by their headers, without a key
};

// The scan's pictures as one picture a frame, as the sample's essence is
// wrapped: with a frame size (a constant-size codec) each run of frames
// taken apart, without one a clip-wrapped sample's elements split where
// frames begin; and the frames whose key was lost found again (for
// clip-wrapped essence of a constant-size codec, and for frame-wrapped
// essence: scan/KeylessPictures.h).
FramePictures PicturesAsFrames(const ReadAtFunction& read, uint64_t fileSize,
                               std::vector<EssenceSample> pictures,
                               const std::vector<EssenceSample>& sounds,
                               const SampleEssence& sample, const EssenceParser& parser);

}  // namespace vexmend
