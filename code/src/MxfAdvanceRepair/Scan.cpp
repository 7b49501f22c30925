// The damaged-file scan: every byte position is tested for an essence
// element; recognised elements are recorded and their values jumped over.
#include <Poco/Exception.h>
#include <Poco/File.h>

#include <algorithm>
#include <filesystem>
#include <cstring>

#include "MxfAdvanceRepair/MxfAdvanceRepair.h"
#include "StreamBuffer.h"
#include "TextConvert.h"

namespace vexmend {

namespace {

// More bytes than this stepped over one at a time end the scan.
constexpr uint64_t kUnrecognisedLimit = 0x80000000ull;

// The scan needs at least this many video frames to succeed.
constexpr size_t kMinimumVideoFrames = 5;

// Counts the positions from the reader's current byte on that the byte walk
// would reject one by one, given that the current byte is already known to be
// rejected. Only positions that the walk would test against the present
// window (without a refill, so with the same offered byte counts) are
// examined, and at most `limit` positions are counted, so stepping by the
// result leaves the walk in exactly the state that single steps would.
uint64_t CountRejectedPositions(const StreamBuffer& reader, uint64_t limit)
{
    const uint8_t* data = reader.Data();
    uint64_t available = static_cast<uint64_t>(static_cast<int64_t>(reader.Available()));
    uint64_t lookAhead = std::min(reader.Remaining(), kLookAhead);
    if (available < lookAhead) return 1;
    // Position i is tested against this window while available - i >= lookAhead.
    uint64_t last = std::min(available - lookAhead, limit - 1);
    // Only a position with a whole key and a length byte after it can match.
    if (available < kMinimumElementHeader) return last + 1;
    uint64_t lastCandidate = std::min(last, available - kMinimumElementHeader);
    // The 17 header bytes of position lastCandidate are in the window, so
    // the prefix search may read its three bytes past each position.
    for (uint64_t i = 1; i <= lastCandidate; ++i) {
        i += FindKeyPrefixStart(data + i, lastCandidate - i + 1);
        if (i > lastCandidate) break;
        if (MatchEssenceKey(data + i, available - i).found) return i;
    }
    return last + 1;
}

}  // namespace

int32_t MxfAdvanceRepair::ReadVideoAt(uint64_t offset, uint8_t* destination, uint64_t count)
{
    if (videoStream->eof()) videoStream->clear();
    videoStream->seekg(static_cast<std::streamoff>(offset), std::ios::beg);
    uint64_t fileSize = static_cast<uint64_t>(videoFileSize);
    uint64_t wanted = std::min(count, offset < fileSize ? fileSize - offset : 0);
    videoStream->read(reinterpret_cast<char*>(destination), static_cast<std::streamsize>(wanted));
    return static_cast<int32_t>(videoStream->gcount());
}

// Runs `step`, logging the dependency's exception the way the open reports it.
template <typename Step>
bool MxfAdvanceRepair::GuardedOpenStep(const std::string& path, Step step)
{
    try {
        step();
        return true;
    } catch (const Poco::FileNotFoundException&) {
        Log(LogLevel::Info, __LINE__,
            "[Sprt] The file does not exist or is not accessible for other reasons,file is:", path);
    } catch (...) {
        Log(LogLevel::Info, __LINE__, "[Sprt] [Sprt] create file stream open exception.",
            int32_t{-1});
    }
    return false;
}

std::shared_ptr<StreamBuffer> MxfAdvanceRepair::OpenVideoFile()
{
    const std::string path = WideToUtf8(videoPath);
    const char* const openFailed = "[Sprt] Open file stream failed,file is:";
    bool opened = GuardedOpenStep(path, [&] {
        videoStream.reset();
        videoFileSize = static_cast<int64_t>(Poco::File(path).getSize());
        videoStream = std::make_shared<std::ifstream>(std::filesystem::u8path(path),
                                                      std::ios::in | std::ios::binary);
    });
    if (!opened || !videoStream || !videoStream->good()) {
        Log(LogLevel::Info, __LINE__, openFailed, path);
        return nullptr;
    }
    videoStream->seekg(static_cast<std::streamoff>(readerStartOffset), std::ios::beg);

    // Measured again: the reader ends where the file ends now.
    uint64_t totalSize = 0;
    if (!GuardedOpenStep(path, [&] { totalSize = Poco::File(path).getSize(); })) {
        Log(LogLevel::Info, __LINE__, openFailed, path);
        return nullptr;
    }
    return std::make_shared<StreamBuffer>(
        readerBufferSize, readerStartOffset,
        [this](uint64_t offset, uint8_t* destination, uint64_t count) {
            return ReadVideoAt(offset, destination, count);
        },
        totalSize);
}

int32_t MxfAdvanceRepair::Repair()
{
    int probe = AnalyzeSampleVideo();
    if (probe < 0) return probe;
    if (videoPath.empty()) return -1;

    std::shared_ptr<StreamBuffer> reader = OpenVideoFile();
    if (!reader) {
        Log(LogLevel::Info, __LINE__, "[Sprt] create file stream failed.",
            "MxfAdvanceRepair::Repair");
        return -1;
    }
    Log(LogLevel::Debug, __LINE__, "Start ", "MxfAdvanceRepair::Repair");

    videoSamples.clear();
    audioSamples.clear();
    uint64_t unrecognised = 0;
    const uint64_t fileSize = static_cast<uint64_t>(videoFileSize);
    while (reader->Position() < fileSize) {
        if (!reader->Require(std::min(reader->Remaining(), kLookAhead))) break;
        EssenceSample sample = ReadEssenceElement(*reader);
        uint64_t step = 0;
        if (sample.found) {
            (sample.kind == EssenceKind::Video ? videoSamples : audioSamples).push_back(sample);
            step = sample.size;
        } else {
            // A run of rejected positions is stepped over at once, as far as
            // the walk would go before its loop test or byte limit stops it.
            uint64_t limit = std::min(fileSize - reader->Position(),
                                      kUnrecognisedLimit + 1 - unrecognised);
            step = CountRejectedPositions(*reader, limit);
            unrecognised += step;
        }
        reader->Skip(step);
        if (unrecognised > kUnrecognisedLimit) {
            Log(LogLevel::Info, __LINE__, "[MXF] Unused size exceed, offset:.",
                uint64_t{reader->Position()});
            break;
        }
    }

    int32_t result = -1;
    if (videoSamples.size() >= kMinimumVideoFrames) {
        ReportScanResult();
        result = 0;
    } else {
        Log(LogLevel::Info, __LINE__, "[MXF] video frame is less than 5.", int32_t{-1});
    }
    return result;
}

}  // namespace vexmend
