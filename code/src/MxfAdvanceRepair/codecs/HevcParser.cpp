// HEVC (ISO/IEC 23008-2) in Annex B form: NAL units behind start codes,
// sequence parameter sets (33) before the first slice, random access points
// (16 to 23) where decoding can begin.
#include "MxfAdvanceRepair/codecs/EssenceParser.h"
#include "MxfAdvanceRepair/codecs/StartCodes.h"

namespace vexmend {

namespace {

int NalType(uint8_t header) { return header >> 1 & 0x3F; }
bool IsSlice(uint8_t header) { return NalType(header) <= 31; }
bool IsSequenceParameterSet(uint8_t header) { return NalType(header) == 33; }

class Parser final : public EssenceParser {
public:
    bool BeginsFrame(const uint8_t* frame, size_t size) const override
    {
        const int nal = FirstNalHeader(frame, size), type = NalType(static_cast<uint8_t>(nal));
        return nal >= 0 && (type <= 21 || (type >= 32 && type <= 40));
    }

    bool IsKeyFrame(const uint8_t* frame, size_t size) const override
    {
        bool sawHeader = false;
        size_t at = FirstPicture(frame, size, false, IsSlice, IsSequenceParameterSet, sawHeader);
        return at + 3 < size && NalType(frame[at + 3]) >= 16 && NalType(frame[at + 3]) <= 23;
    }

    size_t StreamHeaderLength(const uint8_t* frame, size_t size) const override
    {
        bool sawHeader = false;
        size_t slice = FirstPicture(frame, size, true, IsSlice, IsSequenceParameterSet, sawHeader);
        return slice < size ? slice : 0;
    }

    bool StartsWithStreamHeader(const uint8_t* frame, size_t size) const override
    {
        bool sawHeader = false;
        FirstPicture(frame, size, true, IsSlice, IsSequenceParameterSet, sawHeader);
        return sawHeader;
    }
};

}  // namespace

const EssenceParser& HevcParser()
{
    static const Parser parser;
    return parser;
}

}  // namespace vexmend
