// The merge: one encoder run that wraps its inputs (the framed essence, or
// the raw video and one raw input a sound track) into the result file, fed
// through pipes and watched until it ends, or until it neither takes input
// nor grows its result.
#include <Poco/File.h>
#include <Poco/Stopwatch.h>

#include <optional>

#include "MxfAdvanceRepair/feed/EssenceFeed.h"
#include "MxfAdvanceRepair/MxfAdvanceRepair.h"
#include "MxfAdvanceRepair/merge/MergeArguments.h"
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

int32_t MxfAdvanceRepair::MergeAudioVideo(const std::vector<MergeInput>& inputs,
                                          const std::string& outputPath)
{
    int32_t usable = CheckCommandExists(encoderPath);
    if (usable != 0) return usable;

    std::optional<EssenceFeeds> feeds;
    try {
        feeds.emplace(inputs);
    } catch (const std::exception& error) {
        Log(LogLevel::Error, __LINE__, "[MXF] encoder input cannot be made:", ErrorText(error));
        return -1;
    }
    const MergeLayout layout{!SoundOnly(), plan.packages.frames.size(), frameRate, plan.timecode,
                             sample.essence.opAtom};
    std::vector<std::string> args = MergeArguments(layout, feeds->Inputs(), outputPath);
    std::string logged;
    for (const std::string& arg : args) logged += arg + " ";
    Log(LogLevel::Error, __LINE__, "[MXF] strCmdArgs is:.", logged);

    // An input cut short by a read error would give a short result that
    // looks whole.
    auto inputFailed = [this](const std::string& failure) {
        if (!failure.empty()) {
            Log(LogLevel::Error, __LINE__, "[MXF] encoder input could not be read:", failure);
        }
        return !failure.empty();
    };
    platform::ChildProcess child(encoderPath, args, false);
    encoderProcessId = child.Id();
    feeds->Start();

    // A long recording on a slow disk may take its time; only an encoder
    // that neither takes input nor grows its result for the time limit is
    // stuck.
    Poco::Stopwatch sinceGrowth;
    sinceGrowth.start();
    uint64_t progress = 0;
    while (!child.TryWait(kPollMilliseconds)) {
        if (uint64_t now = feeds->Written() + FileSize(outputPath); now != progress) {
            progress = now;
            sinceGrowth.restart();
        } else if (sinceGrowth.elapsed() / 1000000 >= mergeTimeLimitSeconds) {
            try {
                child.Kill();
            } catch (...) {
                Log(LogLevel::Error, __LINE__, "[MXF] kill process failed.", int32_t{-1});
                return -2;
            }
            Log(LogLevel::Error, __LINE__,
                "[MXF] encoder killed, no input taken and result not grown for seconds:",
                static_cast<uint64_t>(mergeTimeLimitSeconds));
            return -4;
        }
    }
    int32_t status = *child.TryWait();
    if (status != 0) {
        Log(LogLevel::Error, __LINE__, "[MXF] encoder failed, exit status:", status);
        return -3;
    }
    return inputFailed(feeds->Finish()) ? -3 : 0;
}

}  // namespace vexmend
