// The start codes (00 00 01) of MPEG-1/2, H.264 and HEVC streams, and the
// stream-header and key-frame rules that these codecs share.
#pragma once

#include <cstddef>
#include <cstdint>

#include "MxfAdvanceRepair/codecs/EssenceParser.h"

namespace vexmend {

// Position of the next 00 00 01 start code prefix at or after `from`, or `size`.
size_t NextStartCode(const uint8_t* data, size_t size, size_t from);

// The first NAL unit header byte of a frame that begins with a three- or
// four-byte start code; -1 when it does not or the forbidden bit is set.
int FirstNalHeader(const uint8_t* frame, size_t size);

// A codec whose pictures and stream headers begin with start codes: the
// stream header is what comes before the first picture, and a frame is a
// key frame when its first picture is one.
class StartCodeParser : public EssenceParser {
public:
    bool IsKeyFrame(const uint8_t* frame, size_t size) const override;
    size_t StreamHeaderLength(const uint8_t* frame, size_t size) const override;
    bool StartsWithStreamHeader(const uint8_t* frame, size_t size) const override;

protected:
    // `fourByte`: a zero byte before a picture's start code belongs to it.
    explicit StartCodeParser(bool fourByte) : fourByte(fourByte) {}
    // The code after a start code prefix (NAL unit header, start code value).
    virtual bool IsPicture(uint8_t code) const = 0;
    virtual bool IsSequenceHeader(uint8_t code) const = 0;
    // Whether the picture whose start code prefix is at `picture` is a key
    // frame, with `size` bytes from there on.
    virtual bool IsKeyPicture(const uint8_t* picture, size_t size) const = 0;

private:
    // Start of the first picture's start code, with the zero byte of a
    // four-byte start code when `withZero`; `size` when there is none. Sets
    // `sawHeader` when a sequence header comes before it.
    size_t FirstPictureOf(const uint8_t* frame, size_t size, bool withZero, bool& sawHeader) const;
    bool fourByte;
};

}  // namespace vexmend
