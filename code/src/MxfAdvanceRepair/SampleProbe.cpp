// The sample probe: the encoder reads the sample file and prints its stream
// report, which tells how the device codes its audio, its frame rate and its
// video codec; the sample's own elements tell its stream header and which
// sound tracks carry the audio streams.
#include <chrono>

#include "FileIdentity.h"
#include "MxfAdvanceRepair/MxfAdvanceRepair.h"
#include "MxfAdvanceRepair/sample/SampleEssence.h"
#include "MxfAdvanceRepair/sample/SampleReport.h"
#include "TextConvert.h"
#include "platform/ChildProcess.h"

namespace vexmend {

namespace {

// Longest report line kept; the rest of a longer line is dropped.
constexpr size_t kMaximumLine = 1022;

}  // namespace

int MxfAdvanceRepair::AnalyzeSampleVideo()
{
    if (!sampleChanged) return 0;
    if (AnalyzeAudioCodecInfo() < 0) {
        Log(LogLevel::Error, __LINE__,
            "[AnalyzeSampleVideo]Analysize audio codec info by ffmpeg failed.", int32_t{-1});
        // Forgotten, so that the next repair with this sample probes it again.
        samplePath.clear();
        return -1;
    }
    sample.essence = ReadSampleEssence(WideToUtf8(samplePath), sample.videoCodec);
    // Sound tracks only count for streams that the report describes.
    if (sample.audioStreams.empty()) sample.essence.soundTracks.clear();
    return 0;
}

int32_t MxfAdvanceRepair::AnalyzeAudioCodecInfo()
{
    int32_t usable = CheckCommandExists(encoderPath);
    if (usable != 0) return usable;

    const std::vector<std::string> args{"-i", EncoderFileName(WideToUtf8(samplePath))};
    Log(LogLevel::Debug, __LINE__, "[AnalyzeSampleVideo] probe sample:", args[1]);
    platform::ChildProcess child(encoderPath, args, true);

    audioArgs.clear();
    sample.audioStreams.clear();
    audioStreamCount = 0;
    frameRate = 30.0;
    sample.videoCodec.clear();
    sample.pictureWidth = sample.pictureHeight = 0;

    SampleReportParser parser;
    bool rateWarned = false;
    auto feed = [&](const std::string& line) {
        if (parser.Feed(line) == SampleReportParser::LineResult::BadFrameRate && !rateWarned) {
            Log(LogLevel::Warning, __LINE__, "[MXF] frame rate is not a number, line:", line);
            rateWarned = true;
        }
    };
    // The report is read to its end. It must end within the time limit of
    // the encoder's start or of its last line; otherwise the encoder, and
    // whatever it started and may hold the pipe open, is stopped.
    std::string line;
    bool cut = false;
    char chunk[4096];
    const auto limit = std::chrono::seconds(mergeTimeLimitSeconds);
    auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        int64_t got = left.count() > 0
                          ? child.ReadError(chunk, sizeof chunk, static_cast<int>(left.count()))
                          : -1;
        if (got < 0) {
            child.Kill();
            Log(LogLevel::Error, __LINE__,
                "[AnalyzeSampleVideo] encoder stopped reporting, killed:", args[1]);
            return -1;
        }
        if (got == 0) break;
        for (int64_t i = 0; i < got; ++i) {
            if (chunk[i] == '\n') {
                deadline = std::chrono::steady_clock::now() + limit;
                feed(line);
                line.clear();
                cut = false;
            } else if (line.size() < kMaximumLine && !cut) {
                line += chunk[i];
            } else {
                cut = true;
            }
        }
    }
    if (!line.empty()) feed(line);
    int32_t exitCode = child.Wait();

    audioArgs = parser.AudioArgs();
    sample.audioStreams = parser.AudioStreams();
    audioStreamCount = parser.AudioStreamCount();
    frameRate = parser.FrameRate();
    sample.videoCodec = parser.VideoCodec();
    sample.videoTag = parser.VideoTag();
    sample.pictureWidth = parser.Width();
    sample.pictureHeight = parser.Height();
    // A sample without audio is fine; one without any stream is no media file.
    return parser.AudioLineSeen() || !sample.videoCodec.empty() ? exitCode : -1;
}

}  // namespace vexmend
