#include "MxfAdvanceRepair/scan/ClipWrapping.h"

#include <algorithm>

#include "MxfAdvanceRepair/codecs/EssenceParser.h"
#include "MxfAdvanceRepair/scan/KeylessPictures.h"
#include "MxfAdvanceRepair/mxf/Keys.h"

namespace vexmend {

namespace {

// Bytes read at a time while looking for frame headers; a header is long
// enough to be told within its first bytes.
constexpr uint64_t kSearchBlock = 8 << 20, kFrameHeader = 64;
// Bytes after a frame start that tell what it starts.
constexpr size_t kStartCodeReach = 16;

}  // namespace

std::vector<EssenceSample> SplitClipWrappedPictures(const ReadAtFunction& read, uint64_t fileSize,
                                                    const std::vector<EssenceSample>& pictures,
                                                    const EssenceParser& parser, uint64_t frameSize)
{
    std::vector<EssenceSample> frames;
    uint8_t header[kFrameHeader];
    for (const EssenceSample& picture : pictures) {
        if (picture.size < frameSize + frameSize / 2) {
            frames.push_back(picture);
            continue;
        }
        const uint64_t end = std::min(picture.offset + picture.size, fileSize);
        for (uint64_t at = picture.offset; at + frameSize <= end; at += frameSize) {
            const uint64_t got = read(at, header, kFrameHeader);
            if (!parser.BeginsFrame(header, static_cast<size_t>(got))) continue;
            EssenceSample frame = picture;
            frame.offset = at;
            frame.size = frameSize;
            frames.push_back(frame);
        }
    }
    return frames;
}

std::vector<EssenceSample> FindKeylessFrames(const ReadAtFunction& read, uint64_t fileSize,
                                             const std::vector<EssenceSample>& pictures,
                                             const std::vector<EssenceSample>& sounds,
                                             const EssenceParser& parser, uint64_t frameSize,
                                             uint32_t pictureKey)
{
    // The stretches between the recognised elements' values (a value's key
    // and length field, at least 17 bytes, lie before it).
    std::vector<std::pair<uint64_t, uint64_t>> values;
    for (const auto* table : {&pictures, &sounds}) {
        for (const EssenceSample& e : *table) values.emplace_back(e.offset, e.offset + e.size);
    }
    values.emplace_back(fileSize + kMinimumElementHeader, 0);
    std::sort(values.begin(), values.end());
    std::vector<uint8_t> block(kSearchBlock);
    std::vector<EssenceSample> found;
    uint64_t from = 0;
    for (const auto& [start, end] : values) {
        const uint64_t to = start - kMinimumElementHeader;
        // A frame is taken where a header begins and the frame fits; the
        // search goes on after it.
        for (uint64_t at = from; at + frameSize <= to;) {
            const uint64_t size = read(at, block.data(), std::min(kSearchBlock, to - at));
            if (size == 0) break;
            const uint64_t last = size > kFrameHeader ? size - kFrameHeader : 0;
            uint64_t i = 0;
            while (i <= last) {
                if (at + i + frameSize <= to &&
                    parser.BeginsFrame(block.data() + i, static_cast<size_t>(size - i))) {
                    found.push_back({1, frameSize, at + i, EssenceKind::Video, pictureKey});
                    i += frameSize;
                } else {
                    ++i;
                }
            }
            at += i;
        }
        from = std::max(from, end);
    }
    return found;
}

std::vector<EssenceSample> SplitAtFrameStarts(const ReadAtFunction& read, uint64_t fileSize,
                                              const std::vector<EssenceSample>& pictures,
                                              const EssenceParser& parser)
{
    std::vector<uint8_t> block(kSearchBlock);
    std::vector<EssenceSample> frames;
    for (const EssenceSample& picture : pictures) {
        const uint64_t end = std::min(picture.offset + picture.size, fileSize);
        std::vector<uint64_t> starts{picture.offset};
        bool inPicture = false;
        for (uint64_t at = picture.offset; at < end;) {
            const uint64_t got = read(at, block.data(), std::min(kSearchBlock, end - at));
            if (got == 0) break;
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
    return frames;
}

std::optional<EssenceSample> FindKeylessSound(const ReadAtFunction& read, uint64_t fileSize,
                                              const std::vector<EssenceSample>& sounds,
                                              uint64_t blockAlign, uint32_t track)
{
    for (const EssenceSample& e : sounds) {
        if (e.trackNumber == track) return std::nullopt;
    }
    std::vector<uint8_t> block(kSearchBlock);
    uint64_t start = fileSize, end = fileSize;
    for (uint64_t at = 0; at < fileSize && end == fileSize;) {
        const uint64_t size = read(at, block.data(), kSearchBlock);
        if (size == 0) break;
        const uint64_t last = size > 16 ? size - 16 : 0;
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
    // The clip's value ended where the next item begins: whole sample frames
    // are counted from there.
    if (start >= end || blockAlign == 0) return std::nullopt;
    start += (end - start) % blockAlign;
    if (start >= end) return std::nullopt;
    return EssenceSample{1, end - start, start, EssenceKind::Audio, track};
}

FramePictures PicturesAsFrames(const ReadAtFunction& read, uint64_t fileSize,
                               std::vector<EssenceSample> pictures,
                               const std::vector<EssenceSample>& sounds,
                               const SampleEssence& sample, const EssenceParser& parser)
{
    FramePictures result;
    const uint64_t frameSize = sample.frameSize;
    if (frameSize > 0) {
        result.pictures = SplitClipWrappedPictures(read, fileSize, pictures, parser, frameSize);
    } else if (sample.clipWrapped) {
        result.pictures = SplitAtFrameStarts(read, fileSize, pictures, parser);
    } else {
        result.pictures = std::move(pictures);
    }
    std::vector<EssenceSample> found;
    if (!sample.clipWrapped) {
        found = FindKeylessPictures(read, fileSize, result.pictures, sounds, parser, frameSize);
    } else if (frameSize > 0) {
        found = FindKeylessFrames(read, fileSize, result.pictures, sounds, parser, frameSize,
                                  sample.pictureKey);
    }
    result.keyless = found.size();
    if (found.empty()) return result;
    result.pictures.insert(result.pictures.end(), found.begin(), found.end());
    std::sort(result.pictures.begin(), result.pictures.end(), EarlierInFile);
    return result;
}

}  // namespace vexmend
