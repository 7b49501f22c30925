// The audio side of the output assembly: the damaged file's sound elements
// are sorted into the sample's tracks by their track numbers, checked against
// the sample's description of each track, and fed as one raw input per
// track, an element or silence for each frame of the result.
#include <algorithm>
#include <cstdio>
#include <map>

#include "MxfAdvanceRepair/MxfAdvanceRepair.h"
#include "MxfAdvanceRepair/feed/EssenceFeed.h"
#include "MxfAdvanceRepair/feed/MatroskaStream.h"
#include "MxfAdvanceRepair/feed/SoundElement.h"
#include "MxfAdvanceRepair/feed/TrackSound.h"
#include "TextConvert.h"

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
    return std::min(sample.essence.soundTracks.size(), sample.audioStreams.size());
}

std::vector<SoundTrack> MxfAdvanceRepair::SelectSoundTracks()
{
    const size_t tracks = SoundTrackCount();
    if (sample.essence.soundTracks.size() != sample.audioStreams.size()) {
        Log(LogLevel::Warning, __LINE__, "[MXF] sample's sound tracks and audio streams differ:",
            std::to_string(sample.essence.soundTracks.size()) + " tracks, " +
                std::to_string(sample.audioStreams.size()) + " streams");
    }
    const auto sampleTracksEnd = sample.essence.soundTracks.begin() + static_cast<long>(tracks);
    std::map<uint32_t, uint64_t> strangers;
    for (const EssenceSample& entry : audioSamples) {
        if (std::find(sample.essence.soundTracks.begin(), sampleTracksEnd, entry.trackNumber) ==
            sampleTracksEnd) {
            ++strangers[entry.trackNumber];
        }
    }
    for (const auto& [trackNumber, count] : strangers) {
        Log(LogLevel::Warning, __LINE__,
            "[MXF] sound elements of a track the sample does not describe, left out:",
            TrackNumberText(trackNumber) + ", " + std::to_string(count) + " elements");
    }

    std::vector<SoundTrack> selected;
    for (size_t k = 0; k < tracks; ++k) {
        SoundTrack track{k, sample.audioStreams[k], IsAes3Track(sample.essence.soundTracks[k]), {}};
        uint64_t misfits = 0;
        std::string misfit;
        for (const EssenceSample& entry : audioSamples) {
            if (entry.trackNumber != sample.essence.soundTracks[k]) continue;
            std::string why = SoundElementMisfit(entry.size, track.stream, track.aes3, frameRate,
                                                 SoundOnly());
            if (why.empty()) {
                track.elements.push_back(&entry);
            } else if (misfits++ == 0) {
                misfit = why;
            }
        }
        if (track.elements.empty() && misfits == 0) continue;
        const std::string name = "track " + std::to_string(k + 1) + " (" +
                                 TrackNumberText(sample.essence.soundTracks[k]) + ")";
        // A track mostly made of elements that do not fit would be noise.
        if (track.elements.size() <= misfits) {
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
        selected.push_back(std::move(track));
    }
    return selected;
}

std::vector<MergeInput> MxfAdvanceRepair::AudioInputs(const std::string& pathStem,
                                                      const std::vector<SoundTrack>& tracks) const
{
    std::vector<MergeInput> inputs;
    for (size_t t = 0; t < tracks.size(); ++t) {
        inputs.push_back(
            {tracks[t].stream.Arguments(), AudioDataPath(pathStem, tracks[t].index),
             [this, t, &tracks](EssenceWriter& target) { WriteSoundTrack(t, tracks[t], target); }});
    }
    return inputs;
}

// The track's sound of each frame of the plan; sound alone is written as
// found.
void MxfAdvanceRepair::WriteSoundTrack(size_t t, const SoundTrack& track,
                                       EssenceWriter& target) const
{
    FileReader reader(WideToUtf8(videoPath));
    if (SoundOnly()) {
        for (const EssenceSample* entry : track.elements) CopyValue(*entry, reader, target);
        return;
    }
    TrackSound sound(track, static_cast<uint64_t>(videoFileSize));
    for (const OutputFrame& frame : plan.packages.frames)
        sound.Write(frame.sounds[t], reader, target);
}

}  // namespace vexmend
