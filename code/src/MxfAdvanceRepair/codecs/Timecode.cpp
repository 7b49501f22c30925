#include "MxfAdvanceRepair/codecs/Timecode.h"

#include <cmath>
#include <cstdio>

namespace vexmend {

namespace {

// A two-digit binary-coded decimal of the bits in `mask`; -1 when a digit is
// above 9.
int Bcd(uint8_t byte, uint8_t mask)
{
    byte &= mask;
    return (byte & 0x0F) > 9 || (byte >> 4) > 9 ? -1 : (byte >> 4) * 10 + (byte & 0x0F);
}

}  // namespace

std::string Timecode::Text() const
{
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d%c%02d", hours, minutes, seconds,
                  dropFrame ? ';' : ':', frames);
    return text;
}

Timecode Timecode::Plus(int64_t count, double rate) const
{
    // Frame numbers count on at the nominal rate; drop-frame timecode skips
    // the first two (at 60 frames: four) numbers of each minute but every
    // tenth.
    const int64_t base = std::max<int64_t>(1, std::llround(rate));
    const int64_t drop = dropFrame ? base / 15 : 0;
    const int64_t perMinute = base * 60 - drop, perTenMinutes = base * 600 - drop * 9;
    const int64_t day = perTenMinutes * 144;
    const int64_t minutesTotal = hours * 60 + minutes;
    int64_t number = (minutesTotal * 60 + seconds) * base + frames -
                     drop * (minutesTotal - minutesTotal / 10);
    number = ((number + count) % day + day) % day;
    if (drop > 0) {
        const int64_t tens = number / perTenMinutes, rest = number % perTenMinutes;
        number += drop * 9 * tens + (rest > drop ? drop * ((rest - drop) / perMinute) : 0);
    }
    Timecode moved = *this;
    moved.frames = static_cast<int>(number % base);
    moved.seconds = static_cast<int>(number / base % 60);
    moved.minutes = static_cast<int>(number / (base * 60) % 60);
    moved.hours = static_cast<int>(number / (base * 3600) % 24);
    return moved;
}

std::optional<Timecode> DecodeSmpte12m(const uint8_t* bytes, double rate)
{
    Timecode timecode{Bcd(bytes[3], 0x3F), Bcd(bytes[2], 0x7F), Bcd(bytes[1], 0x7F),
                      Bcd(bytes[0], 0x3F), (bytes[0] & 0x40) != 0};
    if (timecode.hours < 0 || timecode.minutes < 0 || timecode.seconds < 0 || timecode.frames < 0) {
        return std::nullopt;
    }
    const long nominal = std::lround(rate);
    if (nominal > 30) {
        const uint8_t mark = nominal == 50 ? bytes[3] : bytes[1];
        timecode.frames = timecode.frames * 2 + (mark >> 7);
    }
    return timecode;
}

}  // namespace vexmend
