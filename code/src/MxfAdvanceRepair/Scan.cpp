// The damaged-file scan: opens the damaged file, walks it for essence
// elements (ScanWalk.h) and decides on what the walk found.
#include <Poco/Exception.h>
#include <Poco/File.h>

#include <algorithm>
#include <filesystem>

#include "FileReader.h"
#include "MxfAdvanceRepair/MxfAdvanceRepair.h"
#include "MxfAdvanceRepair/plan/SoundTracks.h"
#include "MxfAdvanceRepair/scan/ClipWrapping.h"
#include "MxfAdvanceRepair/scan/CodecCheck.h"
#include "MxfAdvanceRepair/scan/KeylessSound.h"
#include "MxfAdvanceRepair/scan/ScanWalk.h"
#include "MxfAdvanceRepair/codecs/EssenceParser.h"
#include "StreamBuffer.h"
#include "TextConvert.h"

namespace vexmend {

namespace {

// The scan needs at least this many video frames to succeed.
constexpr size_t kMinimumVideoFrames = 5;

// Runs `step`, logging the dependency's exception the way the open reports it.
template <typename Step>
bool GuardedOpenStep(LogSink* logger, const std::string& path, Step step)
{
    try {
        step();
        return true;
    } catch (const Poco::FileNotFoundException&) {
        if (logger != nullptr) {
            logger->Write(
                LogLevel::Info, __LINE__,
                "[Sprt] The file does not exist or is not accessible for other reasons,file is:",
                path);
        }
    } catch (...) {
        if (logger != nullptr) {
            logger->Write(LogLevel::Info, __LINE__,
                          "[Sprt] [Sprt] create file stream open exception.", int32_t{-1});
        }
    }
    return false;
}
}  // namespace

ReadAtFunction MxfAdvanceRepair::StageReader()
{
    return [this](uint64_t offset, uint8_t* destination, uint64_t count) {
        return static_cast<uint64_t>(ReadVideoAt(offset, destination, count));
    };
}

int32_t MxfAdvanceRepair::ReadVideoAt(uint64_t offset, uint8_t* destination, uint64_t count)
{
    // Held to the size at opening by the reader; a failed read gives nothing.
    return std::max(videoStream->ReadForWindow(offset, destination, count), 0);
}

std::shared_ptr<StreamBuffer> MxfAdvanceRepair::OpenVideoFile()
{
    const std::string path = WideToUtf8(videoPath);
    const char* const openFailed = "[Sprt] Open file stream failed,file is:";
    bool opened = GuardedOpenStep(logger, path, [&] {
        videoStream.reset();
        videoFileSize = static_cast<int64_t>(Poco::File(path).getSize());
        try {
            videoStream = std::make_shared<FileReader>(path);
        } catch (const std::runtime_error&) {
            // Reported as a stream that did not open, below.
        }
    });
    if (!opened || !videoStream) {
        Log(LogLevel::Info, __LINE__, openFailed, path);
        return nullptr;
    }

    // Measured again: the reader ends where the file ends now.
    uint64_t totalSize = 0;
    if (!GuardedOpenStep(logger, path, [&] { totalSize = Poco::File(path).getSize(); })) {
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
    ScanWalkResult walk = WalkEssenceElements(*reader, static_cast<uint64_t>(videoFileSize),
                                              videoSamples, audioSamples);
    if (walk.limitReached) {
        Log(LogLevel::Warning, __LINE__, "[MXF] Unused size exceed, offset:.",
            uint64_t{reader->Position()});
    }
    Log(LogLevel::Info, __LINE__, "[mxf] Unrecognised bytes: ", walk.unrecognised);

    // Frames are counted one by one, also those of clip-wrapped pictures;
    // a result of sound alone counts its edit units.
    const ReadAtFunction read = StageReader();
    const uint64_t fileSize = static_cast<uint64_t>(videoFileSize);
    FramePictures frames = PicturesAsFrames(read, fileSize, std::move(videoSamples), audioSamples,
                                            sample.essence, FindEssenceParser(sample.videoCodec));
    videoSamples = std::move(frames.pictures);
    if (frames.keyless > 0) {
        Log(LogLevel::Info, __LINE__,
            "[MXF] frames found by their headers without a key:", uint64_t{frames.keyless});
    }
    const bool soundOnly = sample.SoundOnly();
    if (!soundOnly && !sample.essence.clipWrapped) {
        const std::vector<EssenceSample> sounds = FindKeylessSoundElements(
            read, fileSize, videoSamples, audioSamples, sample.essence.soundTracks);
        if (!sounds.empty()) {
            audioSamples.insert(audioSamples.end(), sounds.begin(), sounds.end());
            std::sort(audioSamples.begin(), audioSamples.end(), EarlierInFile);
            Log(LogLevel::Info, __LINE__,
                "[MXF] sound elements found without a key:", uint64_t{sounds.size()});
        }
    }
    if (std::optional<EssenceSample> sound =
            soundOnly ? FindKeylessSound(read, fileSize, audioSamples,
                                         sample.audioStreams[0].SampleFrameBytes(),
                                         sample.essence.soundTracks[0])
                      : std::nullopt) {
        audioSamples.push_back(*sound);
        Log(LogLevel::Info, __LINE__,
            "[MXF] sound found without a key, bytes:", uint64_t{sound->size});
    }
    if ((soundOnly ? SoundEditUnits(sample, frameRate, audioSamples) : videoSamples.size()) <
        kMinimumVideoFrames) {
        Log(LogLevel::Info, __LINE__, "[MXF] video frame is less than 5.", int32_t{-1});
        return -1;
    }
    ReportScanResult();
    if (std::string mismatch = soundOnly ? "" : PictureCodecMismatch(read, videoSamples, sample);
        !mismatch.empty()) {
        Log(LogLevel::Error, __LINE__, "[MXF] pictures are not of the sample's codec:", mismatch);
        return -1;
    }
    return 0;
}

}  // namespace vexmend
