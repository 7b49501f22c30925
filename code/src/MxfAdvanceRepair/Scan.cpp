// The damaged-file scan: opens the damaged file, walks it for essence
// elements (ScanWalk.h) and decides on what the walk found.
#include <Poco/Exception.h>
#include <Poco/File.h>

#include <algorithm>
#include <filesystem>

#include "FileReader.h"
#include "MxfAdvanceRepair/MxfAdvanceRepair.h"
#include "MxfAdvanceRepair/scan/ClipWrapping.h"
#include "MxfAdvanceRepair/scan/ScanWalk.h"
#include "MxfAdvanceRepair/codecs/EssenceParser.h"
#include "StreamBuffer.h"
#include "TextConvert.h"

namespace vexmend {

namespace {

// The scan needs at least this many video frames to succeed.
constexpr size_t kMinimumVideoFrames = 5;
// Picture elements, spread over the file, whose key and first bytes are held
// against the sample's.
constexpr size_t kCodecChecks = 32;

}  // namespace

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

ReadAtFunction MxfAdvanceRepair::StageReader()
{
    return [this](uint64_t offset, uint8_t* destination, uint64_t count) {
        return static_cast<uint64_t>(ReadVideoAt(offset, destination, count));
    };
}

void MxfAdvanceRepair::SplitClipWrappedElements()
{
    const EssenceParser& parser = FindEssenceParser(sample.videoCodec);
    const uint64_t frameSize = sample.essence.frameSize,
                   fileSize = static_cast<uint64_t>(videoFileSize);
    const ReadAtFunction read = StageReader();
    if (frameSize > 0) {
        videoSamples = SplitClipWrappedPictures(read, fileSize, videoSamples, parser, frameSize);
    }
    if (frameSize > 0 && sample.essence.clipWrapped) {
        const std::vector<EssenceSample> found = FindKeylessFrames(read, fileSize, videoSamples,
                                                                   audioSamples, parser, frameSize,
                                                                   sample.essence.pictureKey);
        if (!found.empty()) {
            Log(LogLevel::Info, __LINE__,
                "[MXF] frames found by their headers without a key:", uint64_t{found.size()});
            videoSamples.insert(videoSamples.end(), found.begin(), found.end());
            std::sort(
                videoSamples.begin(), videoSamples.end(),
                [](const EssenceSample& a, const EssenceSample& b) { return a.offset < b.offset; });
        }
    }
    if (frameSize == 0 && sample.essence.clipWrapped) {
        videoSamples = SplitAtFrameStarts(read, fileSize, videoSamples, parser);
    }
}

void MxfAdvanceRepair::FindKeylessSound()
{
    const uint32_t track = sample.essence.soundTracks[0];
    for (const EssenceSample& e : audioSamples) {
        if (e.trackNumber == track) return;
    }
    const std::optional<EssenceSample> sound = vexmend::FindKeylessSound(
        StageReader(), static_cast<uint64_t>(videoFileSize),
        sample.audioStreams[0].SampleFrameBytes(), track);
    if (!sound) return;
    audioSamples.push_back(*sound);
    Log(LogLevel::Info, __LINE__, "[MXF] sound found without a key, bytes:", uint64_t{sound->size});
}

int32_t MxfAdvanceRepair::ReadVideoAt(uint64_t offset, uint8_t* destination, uint64_t count)
{
    // Held to the size at opening by the reader; a failed read gives nothing.
    return std::max(videoStream->ReadForWindow(offset, destination, count), 0);
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

std::string MxfAdvanceRepair::PictureCodecMismatch()
{
    // The element type (key byte 15) tells the essence mapping, the first
    // bytes the codec; a few damaged pictures must not decide.
    const uint32_t mapping = 0xFF00FF00;
    const size_t step = std::max<size_t>(1, videoSamples.size() / kCodecChecks);
    size_t checked = 0, alike = 0;
    std::string found;
    for (size_t i = 0; i < videoSamples.size(); i += step, ++checked) {
        const EssenceSample& picture = videoSamples[i];
        uint8_t head[16] = {};
        int32_t got = ReadVideoAt(picture.offset, head, std::min<uint64_t>(picture.size, 16));
        const size_t size = static_cast<size_t>(std::max(got, 0));
        const bool sameKey = sample.essence.pictureKey == 0 ||
                             (picture.trackNumber & mapping) ==
                                 (sample.essence.pictureKey & mapping);
        if (sameKey && FindEssenceParser(sample.videoCodec).BeginsFrame(head, size)) {
            ++alike;
        } else if (found.empty()) {
            found = CodecOfFrame(head, size);
        }
    }
    if (2 * alike > checked) return std::string();
    return "damaged file " + found + ", sample " +
           (sample.videoCodec.empty() ? "unknown" : sample.videoCodec);
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
    SplitClipWrappedElements();
    if (SoundOnly()) FindKeylessSound();
    if ((SoundOnly() ? SoundEditUnits() : videoSamples.size()) < kMinimumVideoFrames) {
        Log(LogLevel::Info, __LINE__, "[MXF] video frame is less than 5.", int32_t{-1});
        return -1;
    }
    ReportScanResult();
    if (std::string mismatch = SoundOnly() ? "" : PictureCodecMismatch(); !mismatch.empty()) {
        Log(LogLevel::Error, __LINE__, "[MXF] pictures are not of the sample's codec:", mismatch);
        return -1;
    }
    return 0;
}

}  // namespace vexmend
