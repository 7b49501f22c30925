#include "MxfAdvanceRepair/sample/SampleEssence.h"

#include <algorithm>
#include <stdexcept>

#include "FileReader.h"
#include "MxfAdvanceRepair/scan/ScanWalk.h"
#include "MxfAdvanceRepair/codecs/EssenceParser.h"
#include "StreamBuffer.h"

namespace vexmend {

namespace {

constexpr uint64_t kBlock = 8 << 20;
constexpr uint64_t kSearchLimit = 256ull << 20;
// Picture elements after which every sound track has shown itself.
constexpr int kPackagesForTracks = 4;
// Bytes at the start of the file searched for the header partition pack.
constexpr uint64_t kHeaderSearch = 65536;

// True when a partition pack in `bytes` names OP-Atom as the operational
// pattern.
bool NamesOpAtom(const uint8_t* bytes, uint64_t size)
{
    for (uint64_t at = 0; at + mxf::kOpAtomPattern.size <= size; ++at) {
        if (mxf::Matches(mxf::kOpAtomPattern, bytes + at)) return true;
    }
    return false;
}

// Walks the first 256 MiB of the file at `path` for essence elements, as
// the scan walks the damaged file, calling `visit` with each until it
// returns false. A file that cannot be read shows no element.
void WalkElements(FileReader& file, const ElementVisit& visit)
{
    StreamBuffer reader(
        kBlock, 0,
        [&file](uint64_t offset, uint8_t* destination, uint64_t count) {
            return file.ReadForWindow(offset, destination, count);
        },
        file.Size());
    WalkEssenceElements(reader, std::min(file.Size(), kSearchLimit), visit);
}

// Up to `count` bytes at `offset`; none when the file cannot be read.
std::vector<uint8_t> ReadBytes(FileReader& file, uint64_t offset, uint64_t count)
{
    std::vector<uint8_t> bytes(static_cast<size_t>(std::min(count, file.Size())));
    try {
        bytes.resize(static_cast<size_t>(file.ReadAt(offset, bytes.data(), bytes.size())));
    } catch (const std::runtime_error&) {
        bytes.clear();
    }
    return bytes;
}

}  // namespace

std::optional<EssenceSample> FindFirstElement(const std::string& path, EssenceKind kind)
{
    std::optional<EssenceSample> first;
    try {
        FileReader file(path);
        WalkElements(file, [&](const EssenceSample& element) {
            if (element.kind == kind) first = element;
            return !first;
        });
    } catch (const std::runtime_error&) {
    }
    return first;
}

SampleEssence ReadSampleEssence(const std::string& path, const std::string& codec)
{
    SampleEssence essence;
    std::optional<FileReader> file;
    try {
        file.emplace(path);
    } catch (const std::runtime_error&) {
        return essence;
    }
    std::optional<EssenceSample> picture;
    int pictures = 0;
    WalkElements(*file, [&](const EssenceSample& element) {
        if (element.kind == EssenceKind::Video) {
            if (!picture) picture = element;
            return ++pictures <= kPackagesForTracks;
        }
        std::vector<uint32_t>& tracks = essence.soundTracks;
        if (std::find(tracks.begin(), tracks.end(), element.trackNumber) == tracks.end()) {
            tracks.push_back(element.trackNumber);
        }
        return true;
    });
    const std::vector<uint8_t> head = ReadBytes(*file, 0, kHeaderSearch);
    essence.opAtom = NamesOpAtom(head.data(), head.size());
    if (!picture) return essence;
    essence.pictureKey = picture->trackNumber;
    const std::vector<uint8_t> bytes = ReadBytes(*file, picture->offset,
                                                 std::min(picture->size, kBlock));
    const uint8_t* frame = bytes.data();
    const uint64_t size = bytes.size();
    const EssenceParser& parser = FindEssenceParser(codec);
    size_t header = parser.StreamHeaderLength(frame, size);
    essence.streamHeader.assign(frame, frame + header);
    if (parser.ConstantFrameSize()) {
        essence.frameSize = picture->size;
        for (uint64_t at = 1; at < size && !essence.clipWrapped; ++at) {
            essence.clipWrapped = parser.BeginsFrame(frame + at, size - at);
            if (essence.clipWrapped) essence.frameSize = at;
        }
    } else {
        bool inPicture = false;
        essence.clipWrapped = parser.NextFrameStart(frame, size, 0, size, inPicture) < size;
    }
    return essence;
}

}  // namespace vexmend
