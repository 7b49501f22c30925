#include "MxfAdvanceRepair/codecs/RawVideoInput.h"

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
    {"mpeg1video", "mpegvideo", false},
    {"mpeg2video", "mpegvideo", false},
    {"h264", "h264", true},
    {"hevc", "hevc", true},
    {"dnxhd", "dnxhd", true},
    {"dvvideo", "dv", false},
    {"mjpeg", "mjpeg", true},
    {"mpeg4", "m4v", true},
    {"vc1", "vc1", true},
    {"cavs", "cavsvideo", true},
    {"avs2", "avs2", true},
    {"dirac", "dirac", true},
    {"h261", "h261", true},
    {"h263", "h263", true},
    {"av1", "obu", true},
};

const RawDemuxer* FindRawDemuxer(const std::string& codec)
{
    for (const RawDemuxer& entry : kRawDemuxers) {
        if (codec == entry.codec) return &entry;
    }
    return nullptr;
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
    std::snprintf(text, sizeof text, "%llu.%06llu",
                  static_cast<unsigned long long>(micro / 1000000),
                  static_cast<unsigned long long>(micro % 1000000));
    return text;
}

}  // namespace vexmend
