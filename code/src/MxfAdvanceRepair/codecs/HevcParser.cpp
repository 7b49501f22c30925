// HEVC (ISO/IEC 23008-2) in Annex B form: NAL units behind start codes,
// sequence parameter sets (33) before the first slice, random access points
// (16 to 23) where decoding can begin.
#include "MxfAdvanceRepair/codecs/StartCodes.h"

namespace vexmend {

namespace {

int NalType(uint8_t header) { return header >> 1 & 0x3F; }

class Parser final : public StartCodeParser {
public:
    Parser() : StartCodeParser(true) {}

    bool BeginsFrame(const uint8_t* frame, size_t size) const override
    {
        const int nal = FirstNalHeader(frame, size), type = NalType(static_cast<uint8_t>(nal));
        return nal >= 0 && (type <= 21 || (type >= 32 && type <= 40));
    }

private:
    bool IsPicture(uint8_t header) const override { return NalType(header) <= 31; }
    bool IsSequenceHeader(uint8_t header) const override { return NalType(header) == 33; }
    bool IsKeyPicture(const uint8_t* picture, size_t size) const override
    {
        return size > 3 && NalType(picture[3]) >= 16 && NalType(picture[3]) <= 23;
    }
};

}  // namespace

const EssenceParser& HevcParser()
{
    static const Parser parser;
    return parser;
}

}  // namespace vexmend
