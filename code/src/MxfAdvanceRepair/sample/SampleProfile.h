// What a healthy sample from the device tells the repair beyond the audio
// arguments and the frame rate: its audio streams, its pictures' codec and
// size from the encoder's report, and what its own essence elements show.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "MxfAdvanceRepair/sample/SampleEssence.h"
#include "MxfAdvanceRepair/sample/SampleReport.h"

namespace vexmend {

struct SampleProfile {
    // The sample's audio streams as its report describes them: the n-th of
    // the essence's sound tracks carries the n-th stream.
    std::vector<AudioStreamDescription> audioStreams;
    // The video codec by the report's name and four-character code, and the
    // picture size.
    std::string videoCodec, videoTag;
    int pictureWidth = 0, pictureHeight = 0;
    // The sample's own elements: its first picture's stream header (for
    // damaged files whose first frames lost theirs), its picture key, frame
    // size, wrapping, operational pattern, and its sound tracks (none when
    // the report describes no audio).
    SampleEssence essence;

    // Sound tracks that the sample both describes and shows elements of.
    size_t SoundTrackCount() const
    {
        return std::min(essence.soundTracks.size(), audioStreams.size());
    }
    // A sample with sound and no picture gives a result of sound alone.
    bool SoundOnly() const
    {
        return videoCodec.empty() && essence.pictureKey == 0 && SoundTrackCount() > 0;
    }
};

}  // namespace vexmend
