// How the merge describes the raw video to the encoder: the raw demuxer of
// its codec, its frame rate and the duration of its frames.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vexmend {

// The arguments that name the encoder's raw demuxer for a codec name of its
// stream report ("mpeg2video" -> "-f mpegvideo"), with the frame rate where
// the stream does not state it and large reads where the demuxer takes
// them; none when the codec has no raw demuxer. The video is named to the
// encoder, which cannot always tell it from its content (a stream that
// starts with damaged frames).
std::vector<std::string> RawVideoArguments(const std::string& codec, double rate);

// The frame rate as the encoder's rate text: the broadcast rates of the
// 1000/1001 family exactly ("30000/1001"), others in decimal.
std::string FrameRateText(double rate);

// The time that `frames` frames take at `rate` ("%f" text, seconds), from
// the exact rate as FrameRateText gives it and rounded up to the
// microsecond, so that no frame of a long 23.976 or 29.97 recording is cut.
std::string DurationText(uint64_t frames, double rate);

}  // namespace vexmend
