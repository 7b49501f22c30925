// The essence as one Matroska stream: the pictures and every track's sound
// of each frame as blocks of their own, so that the encoder reads the frames
// as the scan found them and never parses the raw streams again. The stream
// is written as it goes (segment and clusters of unknown size), with no
// index: the encoder reads it once, from a pipe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "MxfAdvanceRepair/sample/SampleReport.h"

namespace vexmend {

class EssenceWriter;

struct MatroskaTrack {
    bool video = true;
    std::string codecId;                // "V_MPEG2", "A_PCM/INT/LIT", ...
    std::vector<uint8_t> codecPrivate;  // a BITMAPINFOHEADER for "V_MS/VFW/FOURCC"
    uint64_t frameNanoseconds = 0;      // a video frame's duration
    int width = 0, height = 0;
    int sampleRate = 0, channels = 0, bitDepth = 0;
};

// The track of a video codec (a codec name of the encoder's stream report,
// with the four-character code it names, if any) at `rate` frames a second;
// nothing for codecs that the stream does not carry, which go to the
// encoder raw.
std::optional<MatroskaTrack> MatroskaVideoTrack(const std::string& codec, const std::string& tag,
                                                double rate, int width, int height);

// The track of a sound stream; nothing for formats other than integer PCM.
std::optional<MatroskaTrack> MatroskaSoundTrack(const AudioStreamDescription& stream);

class MatroskaWriter {
public:
    // Writes the stream's header and its tracks, numbered from 1 in order.
    MatroskaWriter(EssenceWriter& target, const std::vector<MatroskaTrack>& tracks);

    // Begins a block of exactly `size` bytes on track `track` (from 0) at
    // `frame` (the frame's index); the value follows through the writer.
    void BeginBlock(size_t track, uint64_t frame, uint64_t size, bool key);
    // Ends the block, making up with zeros for bytes that the damaged file
    // no longer held.
    void EndBlock();

private:
    EssenceWriter& target;
    uint64_t frameNanoseconds;
    int64_t clusterTime = -1;
    uint64_t blockEnd = 0;
};

}  // namespace vexmend
