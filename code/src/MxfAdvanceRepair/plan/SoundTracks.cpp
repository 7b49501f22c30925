#include "MxfAdvanceRepair/plan/SoundTracks.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "MxfAdvanceRepair/feed/SoundElement.h"

namespace vexmend {

namespace {

std::string TrackNumberText(uint32_t trackNumber)
{
    char text[16];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(trackNumber));
    return text;
}

}  // namespace

SoundSelection SelectSoundTracks(const SampleProfile& sample, double frameRate,
                                 const std::vector<EssenceSample>& sounds)
{
    SoundSelection selection;
    auto warn = [&selection](const char* message, const std::string& value) {
        selection.warnings.emplace_back(message, value);
    };
    const std::vector<uint32_t>& numbers = sample.essence.soundTracks;
    const size_t tracks = sample.SoundTrackCount();
    if (numbers.size() != sample.audioStreams.size()) {
        warn("[MXF] sample's sound tracks and audio streams differ:",
             std::to_string(numbers.size()) + " tracks, " +
                 std::to_string(sample.audioStreams.size()) + " streams");
    }
    const auto described = numbers.begin() + static_cast<long>(tracks);
    std::map<uint32_t, uint64_t> strangers;
    for (const EssenceSample& entry : sounds) {
        if (std::find(numbers.begin(), described, entry.trackNumber) == described)
            ++strangers[entry.trackNumber];
    }
    for (const auto& [trackNumber, count] : strangers) {
        warn("[MXF] sound elements of a track the sample does not describe, left out:",
             TrackNumberText(trackNumber) + ", " + std::to_string(count) + " elements");
    }

    for (size_t k = 0; k < tracks; ++k) {
        SoundTrack track{k, sample.audioStreams[k], IsAes3Track(numbers[k]), {}};
        uint64_t misfits = 0;
        std::string misfit;
        for (const EssenceSample& entry : sounds) {
            if (entry.trackNumber != numbers[k]) continue;
            std::string why = SoundElementMisfit(entry.size, track.stream, track.aes3, frameRate,
                                                 sample.SoundOnly());
            if (why.empty()) {
                track.elements.push_back(&entry);
            } else if (misfits++ == 0) {
                misfit = why;
            }
        }
        if (track.elements.empty() && misfits == 0) continue;
        const std::string name = "track " + std::to_string(k + 1) + " (" +
                                 TrackNumberText(numbers[k]) + ")";
        if (track.elements.size() <= misfits) {
            warn("[MXF] audio track left out, its sound elements do not fit the sample:",
                 name + ": " + misfit);
            continue;
        }
        if (misfits > 0) {
            warn("[MXF] sound elements that do not fit their track, left out:",
                 name + ": " + std::to_string(misfits) + " elements, " + misfit);
        }
        selection.tracks.push_back(std::move(track));
    }
    return selection;
}

uint64_t SoundEditUnits(const SampleProfile& sample, double frameRate,
                        const std::vector<EssenceSample>& sounds)
{
    const AudioStreamDescription& stream = sample.audioStreams[0];
    const uint64_t unit = static_cast<uint64_t>(stream.sampleRate / frameRate) *
                          stream.SampleFrameBytes();
    uint64_t bytes = 0;
    for (const EssenceSample& e : sounds) {
        if (e.trackNumber == sample.essence.soundTracks[0]) bytes += e.size;
    }
    return unit == 0 ? 0 : bytes / unit;
}

}  // namespace vexmend
