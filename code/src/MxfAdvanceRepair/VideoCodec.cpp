#include "MxfAdvanceRepair/VideoCodec.h"

#include <cmath>
#include <cstdio>

namespace vexmend {

namespace {

struct RawDemuxer {
    const char* codec;
    const char* demuxer;
    bool takesFrameRate;
};

// Codec names as the encoder's stream report gives them.
constexpr RawDemuxer kRawDemuxers[] = {
    {"mpeg1video", "mpegvideo", false}, {"mpeg2video", "mpegvideo", false},
    {"h264", "h264", true},             {"hevc", "hevc", true},
    {"dnxhd", "dnxhd", true},           {"dvvideo", "dv", false},
    {"mjpeg", "mjpeg", true},           {"mpeg4", "m4v", true},
    {"vc1", "vc1", true},               {"cavs", "cavsvideo", true},
    {"avs2", "avs2", true},             {"dirac", "dirac", true},
    {"h261", "h261", true},             {"h263", "h263", true},
    {"av1", "obu", true},
};

const RawDemuxer* FindRawDemuxer(const std::string& codec)
{
    for (const RawDemuxer& entry : kRawDemuxers) {
        if (codec == entry.codec) return &entry;
    }
    return nullptr;
}

enum class Family { Mpeg, H264, Hevc, Other };

Family FamilyOf(const std::string& codec)
{
    if (codec == "mpeg1video" || codec == "mpeg2video") return Family::Mpeg;
    if (codec == "h264") return Family::H264;
    if (codec == "hevc") return Family::Hevc;
    return Family::Other;
}

// Position of the next 00 00 01 start code prefix at or after `from`, or `size`.
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

bool IsPicture(Family family, uint8_t code)
{
    switch (family) {
    case Family::Mpeg: return code == 0x00;
    case Family::H264: return (code & 0x1F) >= 1 && (code & 0x1F) <= 5;
    case Family::Hevc: return ((code >> 1) & 0x3F) <= 31;
    case Family::Other: break;
    }
    return false;
}

bool IsSequenceHeader(Family family, uint8_t code)
{
    switch (family) {
    case Family::Mpeg: return code == 0xB3;
    case Family::H264: return (code & 0x1F) == 7;
    case Family::Hevc: return ((code >> 1) & 0x3F) == 33;
    case Family::Other: break;
    }
    return false;
}

// Start of the first picture's start code, with the zero byte of a four-byte
// H.264/HEVC start code; `size` when there is none. Sets `sawHeader` when a
// sequence header comes before it.
size_t FirstPicture(Family family, const uint8_t* frame, size_t size, bool& sawHeader)
{
    sawHeader = false;
    for (size_t at = NextStartCode(frame, size, 0); at + 3 < size;
         at = NextStartCode(frame, size, at + 3)) {
        uint8_t code = frame[at + 3];
        if (IsPicture(family, code)) {
            return family != Family::Mpeg && at > 0 && frame[at - 1] == 0 ? at - 1 : at;
        }
        sawHeader = sawHeader || IsSequenceHeader(family, code);
    }
    return size;
}

}  // namespace

std::string RawDemuxerFor(const std::string& codec)
{
    const RawDemuxer* entry = FindRawDemuxer(codec);
    return entry != nullptr ? entry->demuxer : "";
}

bool RawDemuxerTakesFrameRate(const std::string& codec)
{
    const RawDemuxer* entry = FindRawDemuxer(codec);
    return entry != nullptr && entry->takesFrameRate;
}

namespace {

// A frame rate as numerator and denominator: the 1000/1001 family exactly,
// others to the thousandth of a frame a second.
struct Rational {
    int64_t numerator, denominator;
};

Rational ExactFrameRate(double rate)
{
    for (int base : {24, 30, 48, 60, 120}) {
        if (std::fabs(rate - base * 1000.0 / 1001.0) < 0.005) return {base * 1000, 1001};
    }
    return {std::llround(rate * 1000), 1000};
}

}  // namespace

std::string FrameRateText(double rate)
{
    if (ExactFrameRate(rate).denominator == 1001) {
        return std::to_string(ExactFrameRate(rate).numerator) + "/1001";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%g", rate);
    return text;
}

std::string DurationText(uint64_t frames, double rate)
{
    Rational exact = ExactFrameRate(rate);
    if (exact.numerator <= 0) exact = {30, 1};
    const uint64_t numerator = static_cast<uint64_t>(exact.numerator);
    const uint64_t micro =
        (frames * static_cast<uint64_t>(exact.denominator) * 1000000 + numerator - 1) / numerator;
    char text[48];
    std::snprintf(text, sizeof text, "%llu.%06llu", static_cast<unsigned long long>(micro / 1000000),
                  static_cast<unsigned long long>(micro % 1000000));
    return text;
}

namespace {

bool BeginsAsMpegFrame(const uint8_t* f, size_t size)
{
    // Sequence header, group of pictures or picture.
    return size >= 4 && f[0] == 0 && f[1] == 0 && f[2] == 1 &&
           (f[3] == 0xB3 || f[3] == 0xB8 || f[3] == 0x00);
}

// The first NAL unit header after a three- or four-byte start code.
int FirstNalHeader(const uint8_t* f, size_t size)
{
    size_t at = size >= 4 && f[0] == 0 && f[1] == 0 && f[2] == 0 ? 1 : 0;
    if (size < at + 4 || f[at] != 0 || f[at + 1] != 0 || f[at + 2] != 1) return -1;
    return (f[at + 3] & 0x80) != 0 ? -1 : f[at + 3];
}

bool BeginsAsH264Frame(const uint8_t* f, size_t size)
{
    // Slices, SEI, parameter sets, access unit delimiter; SEI and delimiter
    // are never reference data.
    const int nal = FirstNalHeader(f, size), type = nal & 0x1F;
    if (nal < 0 || type == 0 || type > 9 || (type >= 2 && type <= 4)) return false;
    return (type != 6 && type != 9) || (nal & 0x60) == 0;
}

bool BeginsAsHevcFrame(const uint8_t* f, size_t size)
{
    const int nal = FirstNalHeader(f, size), type = (nal >> 1) & 0x3F;
    return nal >= 0 && (type <= 21 || (type >= 32 && type <= 40));
}

// The VC-3 frame header prefix: 00 00 02 80 then 01 or 02, or for DNxHR 03
// with the header's size in bytes 3 and 4.
bool BeginsAsDnxhdFrame(const uint8_t* f, size_t size)
{
    if (size < 5 || f[0] != 0 || f[1] != 0) return false;
    if (f[2] == 0x02 && f[3] == 0x80 && (f[4] == 1 || f[4] == 2)) return true;
    const unsigned headerSize = static_cast<unsigned>(f[2] << 8 | f[3]);
    return f[4] == 3 && headerSize >= 0x280 && headerSize <= 0x2170 && headerSize % 4 == 0;
}

// The header DIF block of a DIF sequence.
bool BeginsAsDvFrame(const uint8_t* f, size_t size)
{
    return size >= 4 && f[0] == 0x1F && f[1] == 0x07 && f[2] == 0x00 && (f[3] & 0x7F) == 0x3F;
}

struct FrameRule {
    const char* codec;
    bool (*begins)(const uint8_t*, size_t);
};

constexpr FrameRule kFrameRules[] = {
    {"mpeg2video", BeginsAsMpegFrame}, {"mpeg1video", BeginsAsMpegFrame},
    {"h264", BeginsAsH264Frame},       {"hevc", BeginsAsHevcFrame},
    {"dnxhd", BeginsAsDnxhdFrame},     {"dvvideo", BeginsAsDvFrame},
};

}  // namespace

bool FrameLooksLike(const std::string& codec, const uint8_t* frame, size_t size)
{
    for (const FrameRule& rule : kFrameRules) {
        if (codec == rule.codec) return rule.begins(frame, size);
    }
    return true;
}

std::string CodecOfFrame(const uint8_t* frame, size_t size)
{
    for (const FrameRule& rule : kFrameRules) {
        if (rule.begins(frame, size)) return rule.codec;
    }
    return "unknown";
}

size_t StreamHeaderLength(const std::string& codec, const uint8_t* frame, size_t size)
{
    Family family = FamilyOf(codec);
    if (family == Family::Other) return 0;
    bool sawHeader = false;
    size_t picture = FirstPicture(family, frame, size, sawHeader);
    return picture < size ? picture : 0;
}

bool StartsWithStreamHeader(const std::string& codec, const uint8_t* frame, size_t size)
{
    Family family = FamilyOf(codec);
    if (family == Family::Other) return true;
    bool sawHeader = false;
    FirstPicture(family, frame, size, sawHeader);
    return sawHeader;
}

size_t BreakFalsePictureStarts(const std::string& codec, uint8_t* frame, size_t size)
{
    if (FamilyOf(codec) != Family::Mpeg) return 0;
    size_t broken = 0;
    for (size_t at = NextStartCode(frame, size, 0); at + 5 < size;
         at = NextStartCode(frame, size, at + 3)) {
        // Picture header: start code, 10 bits temporal reference, 3 bits type.
        if (frame[at + 3] == 0x00 && ((frame[at + 5] >> 3) & 0x07) == 0) {
            frame[at + 2] = 0x00;
            ++broken;
        }
    }
    return broken;
}

}  // namespace vexmend
