// Clip wrapping: an element whose value is a run of frames (OP-Atom files of
// cameras and editing systems) is taken apart into its frames, frames whose
// element key was lost are found again by their frame headers, and a sample
// of sound alone gives a result of sound alone, also from a clip whose key
// was lost.
#include <algorithm>

#include "MxfAdvanceRepair/MxfAdvanceRepair.h"
#include "MxfAdvanceRepair/codecs/EssenceParser.h"

namespace vexmend {

namespace {

// Bytes read at a time while looking for frame headers; a header is long
// enough to be told within its first bytes.
constexpr uint64_t kSearchBlock = 8 << 20, kFrameHeader = 64;
// Bytes after a start code that tell what it starts.
constexpr size_t kStartCodeReach = 8;

}  // namespace

void MxfAdvanceRepair::SplitClipWrappedPictures()
{
    const EssenceParser& parser = FindEssenceParser(sample.videoCodec);
    const uint64_t frameSize = sample.essence.frameSize,
                   fileSize = static_cast<uint64_t>(videoFileSize);
    std::vector<EssenceSample> frames;
    uint8_t header[kFrameHeader];
    for (const EssenceSample& picture : videoSamples) {
        if (picture.size < frameSize + frameSize / 2) {
            frames.push_back(picture);
            continue;
        }
        // Every complete frame that the file still holds and that begins as
        // the codec's frames begin.
        const uint64_t end = std::min(picture.offset + picture.size, fileSize);
        for (uint64_t at = picture.offset; at + frameSize <= end; at += frameSize) {
            int32_t got = ReadVideoAt(at, header, kFrameHeader);
            if (!parser.BeginsFrame(header, static_cast<size_t>(std::max(got, 0)))) continue;
            EssenceSample frame = picture;
            frame.offset = at;
            frame.size = frameSize;
            frames.push_back(frame);
        }
    }
    videoSamples = std::move(frames);
}

void MxfAdvanceRepair::FindKeylessFrames()
{
    const EssenceParser& parser = FindEssenceParser(sample.videoCodec);
    const uint64_t frameSize = sample.essence.frameSize;
    // The stretches between the recognised elements' values (a value's key
    // and length field, at least 17 bytes, lie before it).
    std::vector<std::pair<uint64_t, uint64_t>> values;
    for (const auto* table : {&videoSamples, &audioSamples}) {
        for (const EssenceSample& e : *table) values.emplace_back(e.offset, e.offset + e.size);
    }
    values.emplace_back(static_cast<uint64_t>(videoFileSize) + kMinimumElementHeader, 0);
    std::sort(values.begin(), values.end());
    std::vector<uint8_t> block(kSearchBlock);
    std::vector<EssenceSample> found;
    uint64_t from = 0;
    for (const auto& [start, end] : values) {
        const uint64_t to = start - kMinimumElementHeader;
        // A frame is taken where a header begins and the frame fits; the
        // search goes on after it.
        for (uint64_t at = from; at + frameSize <= to;) {
            const int32_t got = ReadVideoAt(at, block.data(), std::min(kSearchBlock, to - at));
            if (got <= 0) break;
            const uint64_t size = static_cast<uint64_t>(got);
            const uint64_t last = size > kFrameHeader ? size - kFrameHeader : 0;
            uint64_t i = 0;
            while (i <= last) {
                if (at + i + frameSize <= to &&
                    parser.BeginsFrame(block.data() + i, static_cast<size_t>(size - i))) {
                    found.push_back(
                        {1, frameSize, at + i, EssenceKind::Video, sample.essence.pictureKey});
                    i += frameSize;
                } else {
                    ++i;
                }
            }
            at += i;
        }
        from = std::max(from, end);
    }
    if (found.empty()) return;
    Log(LogLevel::Info, __LINE__,
        "[MXF] frames found by their headers without a key:", uint64_t{found.size()});
    videoSamples.insert(videoSamples.end(), found.begin(), found.end());
    std::sort(videoSamples.begin(), videoSamples.end(),
              [](const EssenceSample& a, const EssenceSample& b) { return a.offset < b.offset; });
}

void MxfAdvanceRepair::SplitAtFrameStarts()
{
    const EssenceParser& parser = FindEssenceParser(sample.videoCodec);
    const uint64_t fileSize = static_cast<uint64_t>(videoFileSize);
    std::vector<uint8_t> block(kSearchBlock);
    std::vector<EssenceSample> frames;
    for (const EssenceSample& picture : videoSamples) {
        const uint64_t end = std::min(picture.offset + picture.size, fileSize);
        std::vector<uint64_t> starts{picture.offset};
        bool inPicture = false;
        for (uint64_t at = picture.offset; at < end;) {
            const int32_t got = ReadVideoAt(at, block.data(), std::min(kSearchBlock, end - at));
            if (got <= 0) break;
            // A start code near the end of a block is looked at with the next.
            const size_t size = static_cast<size_t>(got);
            const size_t limit = at + size >= end ? size : size - kStartCodeReach;
            for (size_t start = 0;;) {
                start = parser.NextFrameStart(block.data(), size, start, limit, inPicture);
                if (start >= limit) break;
                starts.push_back(at + start);
            }
            at += limit;
        }
        starts.push_back(end);
        // The last frame of a clip that the file cuts short is incomplete.
        const size_t whole = starts.size() - (picture.offset + picture.size > fileSize ? 2 : 1);
        for (size_t i = 0; i < whole; ++i) {
            EssenceSample frame = picture;
            frame.offset = starts[i];
            frame.size = starts[i + 1] - starts[i];
            frames.push_back(frame);
        }
    }
    videoSamples = std::move(frames);
}

bool MxfAdvanceRepair::SoundOnly() const
{
    return sample.videoCodec.empty() && sample.essence.pictureKey == 0 && SoundTrackCount() > 0;
}

uint64_t MxfAdvanceRepair::SoundEditUnits() const
{
    const AudioStreamDescription& stream = sample.audioStreams[0];
    const uint64_t blockAlign = stream.SampleFrameBytes();
    const uint64_t unit = static_cast<uint64_t>(stream.sampleRate / frameRate) * blockAlign;
    uint64_t bytes = 0;
    for (const EssenceSample& e : audioSamples) {
        if (e.trackNumber == sample.essence.soundTracks[0]) bytes += e.size;
    }
    return unit == 0 ? 0 : bytes / unit;
}

void MxfAdvanceRepair::FindKeylessSound()
{
    for (const EssenceSample& e : audioSamples) {
        if (e.trackNumber == sample.essence.soundTracks[0]) return;
    }
    const uint64_t fileSize = static_cast<uint64_t>(videoFileSize);
    std::vector<uint8_t> block(kSearchBlock);
    uint64_t start = fileSize, end = fileSize;
    for (uint64_t at = 0; at < fileSize && end == fileSize;) {
        const int32_t got = ReadVideoAt(at, block.data(), kSearchBlock);
        if (got <= 0) break;
        const uint64_t size = static_cast<uint64_t>(got), last = size > 16 ? size - 16 : 0;
        uint64_t i = 0;
        for (; start == fileSize && i < size && block[i] == 0; ++i) {
        }
        if (start == fileSize && i < size) start = at + i;
        for (i = start > at ? start - at : 0; start < fileSize && i <= last; ++i) {
            if (mxf::Matches(mxf::kPartitionPack, &block[i]) ||
                mxf::Matches(mxf::kFillItem, &block[i])) {
                end = at + i;
                break;
            }
        }
        at += size > 16 ? size - 16 : size;
    }
    const AudioStreamDescription& stream = sample.audioStreams[0];
    const uint64_t blockAlign = stream.SampleFrameBytes();
    // The clip's value ended where the next item begins: whole sample frames
    // are counted from there.
    if (start >= end || blockAlign == 0) return;
    start += (end - start) % blockAlign;
    if (start >= end) return;
    audioSamples.push_back(
        {1, end - start, start, EssenceKind::Audio, sample.essence.soundTracks[0]});
    Log(LogLevel::Info, __LINE__, "[MXF] sound found without a key, bytes:", uint64_t{end - start});
}

}  // namespace vexmend
