// The start codes (00 00 01) of MPEG-1/2, H.264 and HEVC streams.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vexmend {

// Position of the next 00 00 01 start code prefix at or after `from`, or `size`.
size_t NextStartCode(const uint8_t* data, size_t size, size_t from);

// The first NAL unit header byte of a frame that begins with a three- or
// four-byte start code; -1 when it does not or the forbidden bit is set.
int FirstNalHeader(const uint8_t* frame, size_t size);

// Start of the first picture's start code, with the zero byte of a four-byte
// start code when `fourByte`; `size` when there is none. Sets `sawHeader`
// when a start code that `isHeader` accepts comes before it.
template <typename IsPicture, typename IsHeader>
size_t FirstPicture(const uint8_t* frame, size_t size, bool fourByte, IsPicture isPicture,
                    IsHeader isHeader, bool& sawHeader)
{
    sawHeader = false;
    for (size_t at = NextStartCode(frame, size, 0); at + 3 < size;
         at = NextStartCode(frame, size, at + 3)) {
        const uint8_t code = frame[at + 3];
        if (isPicture(code)) return fourByte && at > 0 && frame[at - 1] == 0 ? at - 1 : at;
        sawHeader = sawHeader || isHeader(code);
    }
    return size;
}

}  // namespace vexmend
