// SMPTE 12M timecode: hours, minutes, seconds and frames, counted with or
// without dropped frame numbers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vexmend {

struct Timecode {
    int hours = 0, minutes = 0, seconds = 0, frames = 0;
    bool dropFrame = false;

    // "HH:MM:SS:FF", with ";" before the frames for drop-frame timecode.
    std::string Text() const;
    // The timecode `count` frames later (earlier when negative) at `rate`
    // frames a second, within the 24 hours of a day.
    Timecode Plus(int64_t count, double rate) const;
};

// The timecode of the four bytes of SMPTE 12M's binary-coded decimal form
// (frames with the drop-frame flag in bit 6, seconds, minutes, hours), as
// system items and DV subcode carry it, at `rate` frames a second; nothing
// when a digit is no decimal. Above 30 frames a second the frames digits
// count frame pairs, and bit 7 of the hours (at 50) or of the seconds (at
// other rates) marks a pair's second frame.
std::optional<Timecode> DecodeSmpte12m(const uint8_t* bytes, double rate);

}  // namespace vexmend
