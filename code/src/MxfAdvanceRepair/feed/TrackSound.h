// One sound track's sound for each frame of the result: the frame's element,
// AES3 ones unpacked to PCM, or silence as long as the element before it (at
// the start: the first element).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "MxfAdvanceRepair/scan/EssenceElement.h"
#include "MxfAdvanceRepair/feed/EssenceFeed.h"

namespace vexmend {

struct SoundTrack;  // plan/SoundTracks.h

class TrackSound {
public:
    // `fileSize` bounds the elements to the bytes that the damaged file holds.
    TrackSound(const SoundTrack& track, uint64_t fileSize);

    // Bytes of a frame's sound, `entry` being its element or null.
    uint64_t Size(const EssenceSample* entry) const;
    // Writes them: a plain element straight from the file in blocks.
    void Write(const EssenceSample* entry, FileReader& reader, EssenceWriter& target);

private:
    const SoundTrack& track;
    uint64_t fileSize;
    uint64_t silence;
    std::vector<uint8_t> value;
};

// The part of an element's value that the file holds.
EssenceSample HeldPart(const EssenceSample& entry, uint64_t fileSize);

}  // namespace vexmend
