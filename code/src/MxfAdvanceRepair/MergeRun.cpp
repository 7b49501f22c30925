// The merge: one encoder run that wraps the raw video and audio data files
// into the result file, watched until it ends or its result stops growing.
#include <Poco/File.h>
#include <Poco/Stopwatch.h>
#include <Poco/Thread.h>

#include "FileIdentity.h"
#include "MxfAdvanceRepair/MxfAdvanceRepair.h"
#include "MxfAdvanceRepair/codecs/RawVideoInput.h"
#include "platform/ChildProcess.h"

namespace vexmend {

namespace {

constexpr long kPollMilliseconds = 300;

// Size of the file at `path`, 0 while it does not exist.
uint64_t FileSize(const std::string& path)
{
    try {
        Poco::File file(path);
        return file.exists() ? file.getSize() : 0;
    } catch (...) {
        return 0;
    }
}

}  // namespace

std::vector<std::string> MxfAdvanceRepair::MergeArguments(const std::string& videoDataPath,
                                                          const std::vector<AudioInput>& audio,
                                                          const std::string& outputPath) const
{
    std::vector<std::string> args{"-y"};
    const bool video = !SoundOnly();
    // The raw video is named to the encoder, which cannot always tell it from
    // its content (a stream that starts with damaged frames).
    if (std::string demuxer = RawDemuxerFor(videoCodec); video && !demuxer.empty()) {
        if (RawDemuxerTakesFrameRate(videoCodec)) {
            args.insert(args.end(), {"-framerate", FrameRateText(frameRate)});
        }
        args.insert(args.end(), {"-f", demuxer});
    }
    if (video) args.insert(args.end(), {"-i", EncoderFileName(videoDataPath)});
    // Each audio track is an input of its own, described by its stream's
    // arguments, and goes into the result in track order at its own sample
    // format.
    for (const AudioInput& track : audio) {
        args.insert(args.end(), track.args.begin(), track.args.end());
        args.insert(args.end(), {"-i", EncoderFileName(track.path)});
    }
    if (!audio.empty()) {
        if (video) args.insert(args.end(), {"-map", "0:v"});
        for (size_t i = 0; i < audio.size(); ++i) {
            args.insert(args.end(), {"-map", std::to_string(i + video) + ":a"});
        }
        args.insert(args.end(), {"-acodec", "copy"});
    }
    // Every planned frame is kept, also a damaged one, and counted afresh:
    // damaged frames carry damaged timestamps.
    if (video) {
        args.insert(args.end(), {"-vcodec", "copy", "-copyinkf", "-bsf:v", "setts=pts=N:dts=N",
                                 "-t", DurationText(plan.frames.size(), frameRate)});
    }
    if (resultTimecode) args.insert(args.end(), {"-timecode", resultTimecode->Text()});
    // An OP-Atom sample (one track a file) gives an OP-Atom result.
    args.insert(args.end(),
                {"-f", sampleOpAtom ? "mxf_opatom" : "mxf", EncoderFileName(outputPath)});
    return args;
}

int32_t MxfAdvanceRepair::MergeAudioVideo(const std::string& videoDataPath,
                                          const std::vector<AudioInput>& audio,
                                          const std::string& outputPath)
{
    int32_t usable = CheckCommandExists(encoderPath);
    if (usable != 0) return usable;

    std::vector<std::string> args = MergeArguments(videoDataPath, audio, outputPath);
    std::string logged;
    for (const std::string& arg : args) logged += arg + " ";
    Log(LogLevel::Error, __LINE__, "[MXF] strCmdArgs is:.", logged);

    platform::ChildProcess child(encoderPath, args, false);
    encoderProcessId = child.Id();

    // A long recording on a slow disk may take its time; only an encoder
    // whose result stops growing for the time limit is stuck.
    Poco::Stopwatch sinceGrowth;
    sinceGrowth.start();
    uint64_t size = 0;
    while (!child.TryWait()) {
        if (uint64_t now = FileSize(outputPath); now != size) {
            size = now;
            sinceGrowth.restart();
        } else if (sinceGrowth.elapsed() / 1000000 >= mergeTimeLimitSeconds) {
            try {
                child.Kill();
            } catch (...) {
                Log(LogLevel::Error, __LINE__, "[MXF] kill process failed.", int32_t{-1});
                return -2;
            }
            Log(LogLevel::Error, __LINE__, "[MXF] encoder killed, result not grown for seconds:",
                static_cast<uint64_t>(mergeTimeLimitSeconds));
            return -4;
        }
        Poco::Thread::sleep(kPollMilliseconds);
    }
    int32_t status = *child.TryWait();
    if (status != 0) {
        Log(LogLevel::Error, __LINE__, "[MXF] encoder failed, exit status:", status);
        return -3;
    }
    return 0;
}

}  // namespace vexmend
