// The audio side of the output assembly: the damaged file's sound elements
// are sorted into the sample's tracks by their track numbers, checked against
// the sample's description of each track, and copied into one raw data file
// per track.
#include <Poco/FileStream.h>

#include <algorithm>
#include <cstdio>
#include <map>

#include "MxfAdvanceRepair/MxfAdvanceRepair.h"
#include "MxfAdvanceRepair/SoundElement.h"

namespace vexmend {

namespace {

std::string TrackNumberText(uint32_t trackNumber)
{
    char text[16];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(trackNumber));
    return text;
}

}  // namespace

std::string AudioDataPath(const std::string& pathStem, size_t track)
{
    return pathStem + (track == 0 ? "_Audio.dat" : "_Audio" + std::to_string(track + 1) + ".dat");
}

size_t MxfAdvanceRepair::SoundTrackCount() const
{
    return std::min(sampleSoundTracks.size(), audioStreams.size());
}

std::vector<AudioInput> MxfAdvanceRepair::WriteAudioData(const std::string& pathStem,
                                                         std::vector<char>& buffer)
{
    const size_t tracks = SoundTrackCount();
    if (sampleSoundTracks.size() != audioStreams.size()) {
        Log(LogLevel::Warning, __LINE__, "[MXF] sample's sound tracks and audio streams differ:",
            std::to_string(sampleSoundTracks.size()) + " tracks, " +
                std::to_string(audioStreams.size()) + " streams");
    }
    const auto sampleTracksEnd = sampleSoundTracks.begin() + static_cast<long>(tracks);
    std::map<uint32_t, uint64_t> strangers;
    for (const EssenceSample& entry : audioSamples) {
        if (std::find(sampleSoundTracks.begin(), sampleTracksEnd, entry.trackNumber) ==
            sampleTracksEnd) {
            ++strangers[entry.trackNumber];
        }
    }
    for (const auto& [trackNumber, count] : strangers) {
        Log(LogLevel::Warning, __LINE__,
            "[MXF] sound elements of a track the sample does not describe, left out:",
            TrackNumberText(trackNumber) + ", " + std::to_string(count) + " elements");
    }

    std::vector<AudioInput> inputs;
    for (size_t k = 0; k < tracks; ++k) {
        const uint32_t trackNumber = sampleSoundTracks[k];
        const AudioStreamDescription& stream = audioStreams[k];
        const bool aes3 = IsAes3Track(trackNumber);
        std::vector<const EssenceSample*> fitting;
        uint64_t misfits = 0;
        std::string misfit;
        for (const EssenceSample& entry : audioSamples) {
            if (entry.trackNumber != trackNumber) continue;
            std::string why = SoundElementMisfit(entry.size, stream, aes3, frameRate);
            if (why.empty()) {
                fitting.push_back(&entry);
            } else if (misfits++ == 0) {
                misfit = why;
            }
        }
        if (fitting.empty() && misfits == 0) continue;
        const std::string name = "track " + std::to_string(k + 1) + " (" +
                                 TrackNumberText(trackNumber) + ")";
        // A track mostly made of elements that do not fit would be noise.
        if (fitting.size() <= misfits) {
            Log(LogLevel::Warning, __LINE__,
                "[MXF] audio track left out, its sound elements do not fit the sample:",
                name + ": " + misfit);
            continue;
        }
        if (misfits > 0) {
            Log(LogLevel::Warning, __LINE__,
                "[MXF] sound elements that do not fit their track, left out:",
                name + ": " + std::to_string(misfits) + " elements, " + misfit);
        }
        AudioInput input{stream.Arguments(), AudioDataPath(pathStem, k)};
        Poco::FileOutputStream data(input.path, std::ios::out | std::ios::binary | std::ios::trunc);
        WriteSoundTrack(fitting, aes3, stream, data, buffer);
        data.close();
        inputs.push_back(std::move(input));
    }
    return inputs;
}

size_t MxfAdvanceRepair::PicturesBetween(uint64_t from, uint64_t to) const
{
    auto offsetLess = [](const EssenceSample& entry, uint64_t offset) {
        return entry.offset < offset;
    };
    auto first = std::lower_bound(videoSamples.begin(), videoSamples.end(), from + 1, offsetLess);
    auto last = std::lower_bound(first, videoSamples.end(), to, offsetLess);
    return static_cast<size_t>(last - first);
}

// A track's fitting elements, in table order; AES3 ones unpacked to PCM.
// Every picture between two of them stands for one content package: where
// there are more than one, the track's elements of the packages between were
// lost, and silence of the last element's length keeps the rest in step with
// the video.
void MxfAdvanceRepair::WriteSoundTrack(const std::vector<const EssenceSample*>& elements, bool aes3,
                                       const AudioStreamDescription& stream, std::ostream& target,
                                       std::vector<char>& buffer)
{
    std::vector<uint8_t> value;
    std::vector<char> silence;
    const EssenceSample* previous = nullptr;
    for (const EssenceSample* entry : elements) {
        if (previous != nullptr) {
            for (size_t n = PicturesBetween(previous->offset, entry->offset); n > 1; --n) {
                target.write(silence.data(), static_cast<std::streamsize>(silence.size()));
            }
        }
        previous = entry;
        if (!aes3) {
            CopyEntry(*entry, target, buffer, false);
            silence.assign(entry->size, 0);
            continue;
        }
        value.resize(entry->size);
        int32_t got = ReadVideoAt(entry->offset, value.data(), entry->size);
        std::vector<uint8_t> pcm = UnpackAes3(value.data(), static_cast<size_t>(std::max(got, 0)),
                                              stream.channels, stream.BytesPerSample());
        target.write(reinterpret_cast<const char*>(pcm.data()),
                     static_cast<std::streamsize>(pcm.size()));
        silence.assign(pcm.size(), 0);
    }
}

}  // namespace vexmend
