// DV (IEC 61834, SMPTE ST 314): every frame is coded on its own, as DIF
// sequences of 80-byte blocks; the first is a header block, the next two
// carry subcode, whose first pack is the timecode pack (13h).
#include "MxfAdvanceRepair/codecs/EssenceParser.h"

namespace vexmend {

namespace {

constexpr size_t kBlock = 80;
// The first subcode block's ID, then its first SSYB's ID and reserved byte.
constexpr size_t kTimecodePack = kBlock + 3 + 3;

class Parser final : public EssenceParser {
public:
    bool BeginsFrame(const uint8_t* f, size_t size) const override
    {
        return size >= 4 && f[0] == 0x1F && f[1] == 0x07 && f[2] == 0x00 && (f[3] & 0x7F) == 0x3F;
    }

    bool IsKeyFrame(const uint8_t*, size_t) const override { return true; }
    bool ConstantFrameSize() const override { return true; }

    // 625-line systems (the header block's DSF bit) count no dropped frames;
    // there the flag's bit means something else. DV writers set bit 7 of the
    // seconds and of the hours as binary group flags, so above 30 frames a
    // second a pair's second frame cannot be told: a pair reads as its first.
    std::optional<Timecode> FrameTimecode(const uint8_t* frame, size_t size,
                                          double frameRate) const override
    {
        if (size < kTimecodePack + 5 || frame[kTimecodePack] != 0x13) return std::nullopt;
        const uint8_t* pack = frame + kTimecodePack + 1;
        const uint8_t digits[4] = {pack[0], static_cast<uint8_t>(pack[1] & 0x7F), pack[2],
                                   static_cast<uint8_t>(pack[3] & 0x7F)};
        std::optional<Timecode> timecode = DecodeSmpte12m(digits, frameRate);
        if (timecode && (frame[3] & 0x80) != 0) timecode->dropFrame = false;
        return timecode;
    }
};

}  // namespace

const EssenceParser& DvParser()
{
    static const Parser parser;
    return parser;
}

}  // namespace vexmend
