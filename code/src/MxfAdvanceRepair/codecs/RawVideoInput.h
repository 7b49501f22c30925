// How the merge describes the raw video to the encoder: the raw demuxer of
// its codec, its frame rate and the duration of its frames.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vexmend {

// The encoder's raw demuxer for a codec name of its stream report
// ("mpeg2video" -> "mpegvideo"); empty when it has none.
std::string RawDemuxerFor(const std::string& codec);

// True when the codec's raw demuxer takes its frame rate from "-framerate"
// (the stream itself does not state it).
bool RawDemuxerTakesFrameRate(const std::string& codec);

// The frame rate as the encoder's rate text: the broadcast rates of the
// 1000/1001 family exactly ("30000/1001"), others in decimal.
std::string FrameRateText(double rate);

// The time that `frames` frames take at `rate` ("%f" text, seconds), from
// the exact rate as FrameRateText gives it and rounded up to the
// microsecond, so that no frame of a long 23.976 or 29.97 recording is cut.
std::string DurationText(uint64_t frames, double rate);

}  // namespace vexmend
