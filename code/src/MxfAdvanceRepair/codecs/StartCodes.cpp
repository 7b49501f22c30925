#include "MxfAdvanceRepair/codecs/StartCodes.h"

namespace vexmend {

size_t NextStartCode(const uint8_t* data, size_t size, size_t from)
{
    for (size_t i = from; i + 3 <= size; ++i) {
        if (data[i + 2] > 1) {
            i += 2;  // none of the three can end a prefix here
        } else if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
            return i;
        }
    }
    return size;
}

int FirstNalHeader(const uint8_t* frame, size_t size)
{
    const size_t at = size >= 4 && frame[0] == 0 && frame[1] == 0 && frame[2] == 0 ? 1 : 0;
    if (size < at + 4 || frame[at] != 0 || frame[at + 1] != 0 || frame[at + 2] != 1) return -1;
    return (frame[at + 3] & 0x80) != 0 ? -1 : frame[at + 3];
}

}  // namespace vexmend
