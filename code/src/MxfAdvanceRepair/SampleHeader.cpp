#include "MxfAdvanceRepair/SampleHeader.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "MxfAdvanceRepair/VideoCodec.h"

namespace vexmend {

namespace {

constexpr uint64_t kBlock = 8 << 20;
constexpr uint64_t kSearchLimit = 256ull << 20;
// A key and the longest length field: a block ending inside one is read again.
constexpr uint64_t kOverlap = 25;

std::ifstream OpenFile(const std::string& path)
{
    return std::ifstream(std::filesystem::u8path(path), std::ios::in | std::ios::binary);
}

uint64_t ReadAt(std::ifstream& file, uint64_t offset, std::vector<uint8_t>& block, uint64_t count)
{
    file.clear();
    file.seekg(static_cast<std::streamoff>(offset), std::ios::beg);
    file.read(reinterpret_cast<char*>(block.data()), static_cast<std::streamsize>(count));
    return static_cast<uint64_t>(file.gcount());
}

std::optional<EssenceSample> FindFirstPictureElement(std::ifstream& file,
                                                     std::vector<uint8_t>& block)
{
    uint64_t position = 0;
    while (file.is_open() && position < kSearchLimit) {
        uint64_t got = ReadAt(file, position, block, kBlock);
        if (got < kMinimumElementHeader) break;
        uint64_t next = got < kBlock ? kSearchLimit : position + got - kOverlap;
        uint64_t last = got - kMinimumElementHeader;  // last position with a whole header
        for (uint64_t i = 0; i <= last; ++i) {
            i += FindKeyPrefixStart(block.data() + i, last - i + 1);
            if (i > last) break;
            EssenceSample element = MatchEssenceKey(block.data() + i, got - i);
            if (!element.found) continue;
            element.offset += position + i;
            if (element.kind == EssenceKind::Video) return element;
            next = element.offset + element.size;  // sound: jump over its value
            break;
        }
        position = next;
    }
    return std::nullopt;
}

}  // namespace

std::optional<EssenceSample> FindFirstPictureElement(const std::string& path)
{
    std::ifstream file = OpenFile(path);
    std::vector<uint8_t> block(kBlock);
    return FindFirstPictureElement(file, block);
}

std::vector<uint8_t> ReadSampleStreamHeader(const std::string& path, const std::string& codec)
{
    std::ifstream file = OpenFile(path);
    std::vector<uint8_t> block(kBlock);
    std::optional<EssenceSample> picture = FindFirstPictureElement(file, block);
    if (!picture) return {};
    uint64_t size = ReadAt(file, picture->offset, block, std::min(picture->size, kBlock));
    size_t header = StreamHeaderLength(codec, block.data(), size);
    return std::vector<uint8_t>(block.begin(), block.begin() + static_cast<long>(header));
}

}  // namespace vexmend
