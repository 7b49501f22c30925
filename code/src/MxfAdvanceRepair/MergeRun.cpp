// The merge: one encoder run that wraps the raw video and audio data files
// into the result file, polled and stopped at a time limit.
#include <Poco/Process.h>
#include <Poco/Stopwatch.h>
#include <Poco/Thread.h>

#include <cstdio>

#include "MxfAdvanceRepair/MxfAdvanceRepair.h"

namespace vexmend {

namespace {

constexpr long kPollMilliseconds = 300;

}  // namespace

std::vector<std::string> MxfAdvanceRepair::MergeArguments(const std::string& videoDataPath,
                                                          const std::string& audioDataPath,
                                                          const std::string& outputPath) const
{
    std::vector<std::string> args{"-y", "-i", videoDataPath};
    // The audio description only makes sense in front of an audio input.
    if (!audioSamples.empty()) {
        args.insert(args.end(), audioArgs.begin(), audioArgs.end());
        args.push_back("-i");
        args.push_back(audioDataPath);
    }
    char duration[64];
    std::snprintf(duration, sizeof duration, "%f",
                  static_cast<double>(videoSamples.size()) / frameRate);
    args.insert(args.end(), {"-vcodec", "copy", "-t", duration, outputPath});
    return args;
}

int32_t MxfAdvanceRepair::MergeAudioVideo(std::string videoDataPath, std::string audioDataPath,
                                          std::string outputPath)
{
    int32_t usable = CheckCommandExists(encoderPath);
    if (usable != 0) return usable;

    Poco::Process::Args args = MergeArguments(videoDataPath, audioDataPath, outputPath);
    std::string logged;
    for (const std::string& arg : args) logged += arg + " ";
    Log(LogLevel::Error, __LINE__, "[MXF] strCmdArgs is:.", logged);

    Poco::ProcessHandle child = Poco::Process::launch(encoderPath, args);
    encoderProcessId = static_cast<uint32_t>(child.id());

    Poco::Stopwatch watch;
    watch.start();
    auto elapsedSeconds = [&watch] { return watch.elapsed() / 1000000; };
    while (elapsedSeconds() < mergeTimeLimitSeconds && child.tryWait() == -1) {
        Poco::Thread::sleep(kPollMilliseconds);
    }

    try {
        Poco::Process::PID pid = static_cast<Poco::Process::PID>(encoderProcessId);
        if (Poco::Process::isRunning(pid)) {
            Poco::Process::kill(pid);
            // Reap it, so that it holds no data file open once we return.
            child.wait();
        }
    } catch (...) {
        Log(LogLevel::Error, __LINE__, "[MXF] kill process failed.", int32_t{-1});
        return -2;
    }
    return 0;
}

}  // namespace vexmend
