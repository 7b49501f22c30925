#include "MxfAdvanceRepair/feed/TrackSound.h"

#include <algorithm>

#include "MxfAdvanceRepair/plan/SoundTracks.h"
#include "MxfAdvanceRepair/feed/SoundElement.h"

namespace vexmend {

EssenceSample HeldPart(const EssenceSample& entry, uint64_t fileSize)
{
    EssenceSample held = entry;
    held.size = std::min(entry.size, entry.offset < fileSize ? fileSize - entry.offset : 0);
    return held;
}

TrackSound::TrackSound(const SoundTrack& track, uint64_t fileSize)
    : track(track), fileSize(fileSize), silence(0)
{
    if (!track.elements.empty()) silence = Size(track.elements.front());
}

uint64_t TrackSound::Size(const EssenceSample* entry) const
{
    if (entry == nullptr) return silence;
    const uint64_t size = HeldPart(*entry, fileSize).size;
    if (!track.aes3) return size;
    return Aes3SampleCount(size) * track.stream.SampleFrameBytes();
}

void TrackSound::Write(const EssenceSample* entry, FileReader& reader, EssenceWriter& target)
{
    if (entry == nullptr) {
        target.WriteZeros(silence);
        return;
    }
    silence = Size(entry);
    const EssenceSample held = HeldPart(*entry, fileSize);
    if (!track.aes3) {
        CopyValue(held, reader, target);
        return;
    }
    value.resize(held.size);
    const uint64_t got = reader.ReadAt(held.offset, value.data(), held.size);
    std::vector<uint8_t> pcm = UnpackAes3(value.data(), static_cast<size_t>(got),
                                          track.stream.channels, track.stream.BytesPerSample());
    target.Write(pcm.data(), pcm.size());
}

}  // namespace vexmend
