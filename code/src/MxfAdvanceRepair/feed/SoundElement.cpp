#include "MxfAdvanceRepair/feed/SoundElement.h"

#include <algorithm>
#include <cmath>

namespace vexmend {

bool IsAes3Track(uint32_t trackNumber) { return (trackNumber & 0xFF00FF00u) == 0x06001000u; }

std::string SoundElementMisfit(uint64_t size, const AudioStreamDescription& stream, bool aes3,
                               double frameRate, bool clip)
{
    if (!stream.Usable() || frameRate <= 0) return "the sample's stream is not plain PCM";
    const double expected = stream.sampleRate / frameRate;
    uint64_t frameSize = stream.SampleFrameBytes();
    uint64_t payload = size;
    if (aes3) {
        const std::string& format = stream.sampleFormat;
        if (stream.channels > static_cast<int>(kAes3SubframesPerSample) ||
            stream.BytesPerSample() < 2 || format.compare(format.size() - 2, 2, "le") != 0) {
            return "AES3 sound cannot give " + format + " with " + std::to_string(stream.channels) +
                   " channels";
        }
        frameSize = kAes3SubframesPerSample * 4;
        payload = size - std::min<uint64_t>(size, kAes3HeaderSize);
    }
    if (payload > 0 && payload % frameSize == 0 &&
        (clip || std::fabs(static_cast<double>(payload / frameSize) - expected) < 1.0)) {
        return std::string();
    }
    return "element of " + std::to_string(size) + " bytes, " +
           std::to_string(std::lround(expected)) + " samples of " + std::to_string(frameSize) +
           " bytes expected";
}

std::vector<uint8_t> UnpackAes3(const uint8_t* value, size_t size, int channels, int bytesPerSample)
{
    const size_t sampleSize = kAes3SubframesPerSample * 4;
    const size_t samples = static_cast<size_t>(Aes3SampleCount(size));
    std::vector<uint8_t> pcm;
    pcm.reserve(samples * static_cast<size_t>(channels * bytesPerSample));
    for (size_t s = 0; s < samples; ++s) {
        const uint8_t* subframe = value + kAes3HeaderSize + s * sampleSize;
        for (int c = 0; c < channels; ++c, subframe += 4) {
            uint32_t bits = static_cast<uint32_t>(subframe[0]) | subframe[1] << 8 |
                            subframe[2] << 16 | static_cast<uint32_t>(subframe[3]) << 24;
            // The 24 audio bits, left-justified in 32; the sample is their top bytes.
            uint32_t audio = (bits >> 4 & 0xFFFFFFu) << 8;
            for (int b = 4 - bytesPerSample; b < 4; ++b) {
                pcm.push_back(static_cast<uint8_t>(audio >> (8 * b)));
            }
        }
    }
    return pcm;
}

}  // namespace vexmend
