// Sound element values as the encoder needs them: whether an element fits
// the sample's description of its track, and the unpacking of AES3 elements
// into plain interleaved PCM.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "MxfAdvanceRepair/sample/SampleReport.h"

namespace vexmend {

// True for the 8-channel AES3 elements of SDTI-CP sound items (item type
// 06h, element type 10h), as D10 files carry their sound.
bool IsAes3Track(uint32_t trackNumber);

// The element of an AES3 track: a 4-byte header (flags, sample count,
// channel-valid bits), then for each sample eight 32-bit little-endian
// subframes, one per channel, with the audio in bits 4 to 27.
constexpr size_t kAes3HeaderSize = 4;
constexpr size_t kAes3SubframesPerSample = 8;

// Whole samples in an AES3 element's value of `size` bytes.
constexpr uint64_t Aes3SampleCount(uint64_t size)
{
    return size < kAes3HeaderSize ? 0 : (size - kAes3HeaderSize) / (4 * kAes3SubframesPerSample);
}

// Why a sound element of `size` bytes does not fit `stream` at `frameRate`
// (its value is not a whole number of the stream's sample frames, one video
// frame long, or with `clip` any number of frames); empty when it fits.
std::string SoundElementMisfit(uint64_t size, const AudioStreamDescription& stream, bool aes3,
                               double frameRate, bool clip = false);

// The first `channels` channels of an AES3 element's value as interleaved
// little-endian PCM of `bytesPerSample` (2 to 4) bytes per sample.
std::vector<uint8_t> UnpackAes3(const uint8_t* value, size_t size, int channels,
                                int bytesPerSample);

}  // namespace vexmend
