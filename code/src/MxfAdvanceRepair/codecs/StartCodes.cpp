#include "MxfAdvanceRepair/codecs/StartCodes.h"

#include <cstring>

namespace vexmend {

size_t NextStartCode(const uint8_t* data, size_t size, size_t from)
{
    // The prefix's 01 byte is rare in coded data; the library's memchr finds
    // it many bytes at a time, and only then are the two zeros before it
    // checked.
    for (size_t one = from + 2; one < size;) {
        const void* found = std::memchr(data + one, 1, size - one);
        if (found == nullptr) break;
        one = static_cast<size_t>(static_cast<const uint8_t*>(found) - data);
        if (data[one - 1] == 0 && data[one - 2] == 0) return one - 2;
        ++one;
    }
    return size;
}

int FirstNalHeader(const uint8_t* frame, size_t size)
{
    const size_t at = size >= 4 && frame[0] == 0 && frame[1] == 0 && frame[2] == 0 ? 1 : 0;
    if (size < at + 4 || frame[at] != 0 || frame[at + 1] != 0 || frame[at + 2] != 1) return -1;
    return (frame[at + 3] & 0x80) != 0 ? -1 : frame[at + 3];
}

size_t StartCodeParser::FirstPictureOf(const uint8_t* frame, size_t size, bool withZero,
                                       bool& sawHeader) const
{
    sawHeader = false;
    for (size_t at = NextStartCode(frame, size, 0); at + 3 < size;
         at = NextStartCode(frame, size, at + 3)) {
        const uint8_t code = frame[at + 3];
        if (IsPicture(code))
            return withZero && fourByte && at > 0 && frame[at - 1] == 0 ? at - 1 : at;
        sawHeader = sawHeader || IsSequenceHeader(code);
    }
    return size;
}

bool StartCodeParser::IsKeyFrame(const uint8_t* frame, size_t size) const
{
    bool sawHeader = false;
    const size_t at = FirstPictureOf(frame, size, false, sawHeader);
    return at < size && IsKeyPicture(frame + at, size - at);
}

size_t StartCodeParser::StreamHeaderLength(const uint8_t* frame, size_t size) const
{
    bool sawHeader = false;
    const size_t picture = FirstPictureOf(frame, size, true, sawHeader);
    return picture < size ? picture : 0;
}

bool StartCodeParser::StartsWithStreamHeader(const uint8_t* frame, size_t size) const
{
    bool sawHeader = false;
    FirstPictureOf(frame, size, true, sawHeader);
    return sawHeader;
}

}  // namespace vexmend
