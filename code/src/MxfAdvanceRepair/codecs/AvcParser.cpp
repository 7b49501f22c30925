// H.264/AVC (ISO/IEC 14496-10) in Annex B form: NAL units behind start
// codes, sequence parameter sets (7) before the first slice, IDR slices (5)
// where decoding can begin.
#include "MxfAdvanceRepair/codecs/StartCodes.h"

namespace vexmend {

namespace {

int NalType(uint8_t header) { return header & 0x1F; }

class Parser final : public StartCodeParser {
public:
    Parser() : StartCodeParser(true) {}

    // A slice, SEI, parameter set or access unit delimiter first; SEI and
    // delimiter are never reference data.
    bool BeginsFrame(const uint8_t* frame, size_t size) const override
    {
        const int nal = FirstNalHeader(frame, size), type = nal & 0x1F;
        if (nal < 0 || type == 0 || type > 9 || (type >= 2 && type <= 4)) return false;
        return (type != 6 && type != 9) || (nal & 0x60) == 0;
    }

    // An access unit begins with a delimiter, parameter set or SEI after a
    // slice, or with a slice whose first macroblock is 0 (its header's first
    // bit set) after a slice.
    size_t NextFrameStart(const uint8_t* data, size_t size, size_t from, size_t limit,
                          bool& inPicture) const override
    {
        for (size_t at = NextStartCode(data, size, from); at < limit && at + 5 <= size;
             at = NextStartCode(data, size, at + 3)) {
            const int type = NalType(data[at + 3]);
            const bool slice = type >= 1 && type <= 5;
            if (inPicture && ((slice && (data[at + 4] & 0x80) != 0) || (type >= 6 && type <= 9))) {
                inPicture = false;
                return at > from && data[at - 1] == 0 ? at - 1 : at;
            }
            inPicture = inPicture || slice;
        }
        return limit;
    }

private:
    bool IsPicture(uint8_t header) const override
    {
        return NalType(header) >= 1 && NalType(header) <= 5;
    }
    bool IsSequenceHeader(uint8_t header) const override { return NalType(header) == 7; }
    bool IsKeyPicture(const uint8_t* picture, size_t size) const override
    {
        return size > 3 && NalType(picture[3]) == 5;
    }
};

}  // namespace

const EssenceParser& AvcParser()
{
    static const Parser parser;
    return parser;
}

}  // namespace vexmend
