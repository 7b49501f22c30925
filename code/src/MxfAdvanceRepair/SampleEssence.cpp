#include "MxfAdvanceRepair/SampleEssence.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "MxfAdvanceRepair/codecs/EssenceParser.h"

namespace vexmend {

namespace {

constexpr uint64_t kBlock = 8 << 20;
constexpr uint64_t kSearchLimit = 256ull << 20;
// A key and the longest length field: a block ending inside one is read again.
constexpr uint64_t kOverlap = 25;
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

class ElementWalk {
public:
    explicit ElementWalk(const std::string& path)
        : file(std::filesystem::u8path(path), std::ios::in | std::ios::binary), block(kBlock)
    {
    }

    // Calls `visit` with each element (value offset absolute) in file order,
    // jumping over its value, until it returns false or the first 256 MiB
    // are walked.
    template <typename Visit>
    void Run(Visit visit)
    {
        uint64_t position = 0;
        uint64_t got = Read(position, kBlock);
        uint64_t i = 0;
        while (file.is_open() && position < kSearchLimit && got >= kMinimumElementHeader) {
            const uint64_t last = got - kMinimumElementHeader;  // last position with a header
            if (i <= last) i += FindKeyPrefixStart(block.data() + i, last - i + 1);
            if (i > last) {
                if (got < kBlock) return;
                position += got - kOverlap;
                got = Read(position, kBlock);
                i = 0;
                continue;
            }
            EssenceSample element = MatchEssenceKey(block.data() + i, got - i);
            if (!element.found) {
                ++i;
                continue;
            }
            element.offset += position + i;
            if (!visit(element)) return;
            uint64_t next = element.offset + element.size;
            if (next < position + got && next - position + kOverlap <= got) {
                i = next - position;
            } else {
                position = next;
                got = Read(position, kBlock);
                i = 0;
            }
        }
    }

    uint64_t Read(uint64_t offset, uint64_t count)
    {
        file.clear();
        file.seekg(static_cast<std::streamoff>(offset), std::ios::beg);
        file.read(reinterpret_cast<char*>(block.data()), static_cast<std::streamsize>(count));
        return static_cast<uint64_t>(file.gcount());
    }

    const std::vector<uint8_t>& Block() const { return block; }

private:
    std::ifstream file;
    std::vector<uint8_t> block;
};

}  // namespace

std::optional<EssenceSample> FindFirstElement(const std::string& path, EssenceKind kind)
{
    std::optional<EssenceSample> first;
    ElementWalk(path).Run([&](const EssenceSample& element) {
        if (element.kind == kind) first = element;
        return !first;
    });
    return first;
}

SampleEssence ReadSampleEssence(const std::string& path, const std::string& codec)
{
    SampleEssence essence;
    std::optional<EssenceSample> picture;
    int pictures = 0;
    ElementWalk walk(path);
    walk.Run([&](const EssenceSample& element) {
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
    const uint64_t head = walk.Read(0, kHeaderSearch);
    essence.opAtom = NamesOpAtom(walk.Block().data(), head);
    if (!picture) return essence;
    essence.pictureKey = picture->trackNumber;
    const uint64_t size = walk.Read(picture->offset, std::min(picture->size, kBlock));
    const uint8_t* frame = walk.Block().data();
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
