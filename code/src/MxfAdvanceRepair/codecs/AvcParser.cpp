// H.264/AVC (ISO/IEC 14496-10) in Annex B form: NAL units behind start
// codes, sequence parameter sets (7) before the first slice, IDR slices (5)
// where decoding can begin.
#include "MxfAdvanceRepair/codecs/EssenceParser.h"
#include "MxfAdvanceRepair/codecs/StartCodes.h"

namespace vexmend {

namespace {

int NalType(uint8_t header) { return header & 0x1F; }
bool IsSlice(uint8_t header) { return NalType(header) >= 1 && NalType(header) <= 5; }
bool IsSequenceParameterSet(uint8_t header) { return NalType(header) == 7; }

class Parser final : public EssenceParser {
public:
    // A slice, SEI, parameter set or access unit delimiter first; SEI and
    // delimiter are never reference data.
    bool BeginsFrame(const uint8_t* frame, size_t size) const override
    {
        const int nal = FirstNalHeader(frame, size), type = nal & 0x1F;
        if (nal < 0 || type == 0 || type > 9 || (type >= 2 && type <= 4)) return false;
        return (type != 6 && type != 9) || (nal & 0x60) == 0;
    }

    bool IsKeyFrame(const uint8_t* frame, size_t size) const override
    {
        bool sawHeader = false;
        size_t at = FirstPicture(frame, size, false, IsSlice, IsSequenceParameterSet, sawHeader);
        return at + 3 < size && NalType(frame[at + 3]) == 5;
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

const EssenceParser& AvcParser()
{
    static const Parser parser;
    return parser;
}

}  // namespace vexmend
