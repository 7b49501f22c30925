#include "MxfAdvanceRepair/scan/ScanSummary.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "FileReader.h"
#include "MxfAdvanceRepair/scan/EssenceElement.h"
#include "MxfAdvanceRepair/scan/SystemItem.h"
#include "MxfAdvanceRepair/codecs/EssenceParser.h"
#include "StreamBuffer.h"

namespace vexmend {

namespace {

// Runs longer than this are not taken apart: all of such a run is damaged.
constexpr uint64_t kLargestClassifiedRun = 64ull << 20;
// Bytes before the first picture searched for a system item's timecode, and
// bytes of the first picture searched for the codec's own.
constexpr uint64_t kTimecodeSearch = 1 << 20;

// Up to `count` bytes at `offset`.
std::vector<uint8_t> Read(FileReader& file, uint64_t offset, uint64_t count)
{
    std::vector<uint8_t> bytes(static_cast<size_t>(std::min(count, file.Size())));
    bytes.resize(static_cast<size_t>(file.ReadAt(offset, bytes.data(), bytes.size())));
    return bytes;
}

void AddDamaged(std::vector<ByteRun>& damaged, uint64_t offset, uint64_t length)
{
    if (!damaged.empty() && damaged.back().offset + damaged.back().length == offset) {
        damaged.back().length += length;
    } else {
        damaged.push_back({offset, length});
    }
}

// A length field that states zero bytes, in its short or long form: writers
// put such fill items where alignment leaves room for a key and length alone.
bool StatesZero(const uint8_t* field, uint64_t count)
{
    if (count == 0 || field[0] == 0) return count > 0;
    const uint64_t following = field[0] & 0x7Fu;
    if (field[0] < 0x80 || following == 0 || following > 8 || count < following + 1) return false;
    return std::all_of(field + 1, field + 1 + following, [](uint8_t b) { return b == 0; });
}

// The bytes of an unrecognised run that are no whole KLV item (partition,
// header metadata, index, fill, system item) inside the run.
void AddDamagedBytes(FileReader& file, const ByteRun& run, std::vector<ByteRun>& damaged)
{
    if (run.length > kLargestClassifiedRun) return AddDamaged(damaged, run.offset, run.length);
    const std::vector<uint8_t> bytes = Read(file, run.offset, run.length);
    const uint64_t n = bytes.size();
    uint64_t i = 0;
    while (i < n) {
        if (n - i >= kMinimumElementHeader && std::memcmp(&bytes[i], mxf::kUlDesignator, 4) == 0) {
            BerLength length = DecodeBerLength(&bytes[i + 16], n - i - 16);
            uint64_t item = 16 + length.fieldSize + length.value;
            const bool whole = length.value > 0 || StatesZero(&bytes[i + 16], n - i - 16);
            if (whole && item <= n - i) {
                i += item;
                continue;
            }
        }
        // Damaged up to the next place where a key may begin.
        uint64_t next = n - i > 4 ? i + 1 + FindKeyPrefixStart(&bytes[i + 1], n - i - 4) : n;
        AddDamaged(damaged, run.offset + i, next - i);
        i = next;
    }
}

std::string FindTimecode(FileReader& file, const EssenceSample& picture,
                         const EssenceParser& parser)
{
    const uint64_t before = std::min(picture.offset, kTimecodeSearch);
    std::vector<uint8_t> head = Read(file, picture.offset - before, before);
    // The scan knows no frame rate: above 30 frames a second, the frames of
    // an SMPTE 12M timecode show the frame pairs it counts.
    if (auto timecode = FindSystemItemTimecode(head.data(), head.size(), 0)) {
        return timecode->Text();
    }
    std::vector<uint8_t> frame = Read(file, picture.offset,
                                      std::min(picture.size, kTimecodeSearch));
    if (auto timecode = parser.FrameTimecode(frame.data(), frame.size(), 0)) {
        return timecode->Text();
    }
    return std::string();
}

}  // namespace

ScanSummary ScanFile(const std::string& path)
{
    FileReader file(path);
    StreamBuffer reader(
        kScanWindowSize, 0,
        [&file](uint64_t offset, uint8_t* destination, uint64_t count) {
            return file.ReadForWindow(offset, destination, count);
        },
        file.Size());
    std::vector<EssenceSample> video, audio;
    ScanWalkSettings settings;
    settings.listRuns = true;
    ScanWalkResult walk = WalkEssenceElements(reader, file.Size(), video, audio, settings);

    ScanSummary scan;
    scan.fileSize = file.Size();
    scan.pictures = video.size();
    scan.unrecognised = walk.unrecognised;
    for (const EssenceSample& sound : audio) ++scan.soundTracks[sound.trackNumber];
    for (const ByteRun& run : walk.runs) AddDamagedBytes(file, run, scan.damaged);
    if (!video.empty()) {
        std::vector<uint8_t> head = Read(file, video[0].offset,
                                         std::min<uint64_t>(video[0].size, 64));
        scan.codec = CodecOfFrame(head.data(), head.size());
        scan.timecode = FindTimecode(file, video[0], FindEssenceParser(scan.codec));
    }
    return scan;
}

uint64_t ScanSummary::SoundElements() const
{
    uint64_t count = 0;
    for (const auto& [track, elements] : soundTracks) count += elements;
    return count;
}

}  // namespace vexmend
