// MPEG-1 and MPEG-2 video (ISO/IEC 13818-2): start codes 00 00 01 xx, a
// sequence header (B3) and group of pictures (B8) before a GOP's first
// picture (00), the picture coding type in each picture header.
#include "MxfAdvanceRepair/codecs/StartCodes.h"

namespace vexmend {

namespace {

constexpr uint8_t kPicture = 0x00, kSequenceHeader = 0xB3, kGroupOfPictures = 0xB8;

class Parser final : public StartCodeParser {
public:
    Parser() : StartCodeParser(false) {}

    bool BeginsFrame(const uint8_t* f, size_t size) const override
    {
        return size >= 4 && f[0] == 0 && f[1] == 0 && f[2] == 1 &&
               (f[3] == kSequenceHeader || f[3] == kGroupOfPictures || f[3] == kPicture);
    }

    // A frame begins with the sequence header, group of pictures or picture
    // start code that follows a picture.
    size_t NextFrameStart(const uint8_t* data, size_t size, size_t from, size_t limit,
                          bool& inPicture) const override
    {
        for (size_t at = NextStartCode(data, size, from); at < limit && at + 4 <= size;
             at = NextStartCode(data, size, at + 3)) {
            const uint8_t code = data[at + 3];
            if (code != kSequenceHeader && code != kGroupOfPictures && code != kPicture) continue;
            if (inPicture) {
                inPicture = false;
                return at;
            }
            inPicture = code == kPicture;
        }
        return limit;
    }

    // The time code of a group-of-pictures header before the first picture:
    // drop flag, 5 bits hours, 6 bits minutes, a marker, 6 bits seconds, 6
    // bits pictures. The pictures count single frames at every rate (0 to 59
    // at 59.94, four numbers dropped a minute), so the rate does not matter.
    std::optional<Timecode> FrameTimecode(const uint8_t* frame, size_t size, double) const override
    {
        for (size_t at = NextStartCode(frame, size, 0); at + 8 <= size && frame[at + 3] != kPicture;
             at = NextStartCode(frame, size, at + 3)) {
            if (frame[at + 3] != kGroupOfPictures) continue;
            const uint32_t bits = static_cast<uint32_t>(frame[at + 4]) << 24 |
                                  static_cast<uint32_t>(frame[at + 5]) << 16 |
                                  static_cast<uint32_t>(frame[at + 6]) << 8 | frame[at + 7];
            return Timecode{static_cast<int>(bits >> 26 & 0x1F),
                            static_cast<int>(bits >> 20 & 0x3F),
                            static_cast<int>(bits >> 13 & 0x3F), static_cast<int>(bits >> 7 & 0x3F),
                            (bits >> 31) != 0};
        }
        return std::nullopt;
    }

    // The temporal reference of the frame's first picture: 10 bits after
    // the picture start code.
    std::optional<int> DisplayPlace(const uint8_t* frame, size_t size) const override
    {
        for (size_t at = NextStartCode(frame, size, 0); at + 6 <= size;
             at = NextStartCode(frame, size, at + 3)) {
            if (frame[at + 3] == kPicture) return frame[at + 4] << 2 | frame[at + 5] >> 6;
        }
        return std::nullopt;
    }

    // A picture start code whose picture coding type is 0 cannot start a
    // picture (a flipped bit in stuffing makes one); its prefix is broken.
    size_t BreakFalseStarts(uint8_t* frame, size_t size) const override
    {
        size_t broken = 0;
        for (size_t at = NextStartCode(frame, size, 0); at + 5 < size;
             at = NextStartCode(frame, size, at + 3)) {
            if (frame[at + 3] == kPicture && ((frame[at + 5] >> 3) & 0x07) == 0) {
                frame[at + 2] = 0x00;
                ++broken;
            }
        }
        return broken;
    }

private:
    bool IsPicture(uint8_t code) const override { return code == kPicture; }
    bool IsSequenceHeader(uint8_t code) const override { return code == kSequenceHeader; }
    // Picture header: start code, 10 bits temporal reference, 3 bits type (1: I).
    bool IsKeyPicture(const uint8_t* picture, size_t size) const override
    {
        return size > 5 && ((picture[5] >> 3) & 0x07) == 1;
    }
};

}  // namespace

const EssenceParser& MpegVideoParser()
{
    static const Parser parser;
    return parser;
}

}  // namespace vexmend
