#include "MxfAdvanceRepair/codecs/RawVideoInput.h"

#include <cmath>
#include <cstdio>

#include "MxfAdvanceRepair/codecs/CodecTable.h"

namespace vexmend {

namespace {

// Bytes a raw demuxer reads at a time; its default of 1 KiB makes a packet
// for the encoder's parser of every KiB.
constexpr const char* kRawPacketSize = "1048576";

}  // namespace

std::vector<std::string> RawVideoArguments(const std::string& codec, double rate)
{
    std::vector<std::string> args;
    const CodecFacts* row = FindCodec(codec);
    if (row == nullptr || row->rawDemuxer == nullptr) return args;
    if (row->demuxerTakesFrameRate) args.insert(args.end(), {"-framerate", FrameRateText(rate)});
    if (row->demuxerTakesPacketSize) {
        args.insert(args.end(), {"-raw_packet_size", kRawPacketSize});
    }
    args.insert(args.end(), {"-f", row->rawDemuxer});
    return args;
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
