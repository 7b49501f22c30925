// The merge: one encoder run that wraps its inputs (the framed essence, or
// the raw video and one raw input a sound track) into the result file, fed
// through pipes and watched until it ends, or until it neither takes input
// nor grows its result.
#include <optional>

#include "MxfAdvanceRepair/MxfAdvanceRepair.h"
#include "MxfAdvanceRepair/feed/FeedInputs.h"
#include "MxfAdvanceRepair/merge/EncoderRun.h"
#include "MxfAdvanceRepair/merge/MergeArguments.h"

namespace vexmend {

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
    const FeedSource none;
    const FeedSource& planned = assembly ? *assembly : none;
    const MergeLayout layout{!planned.sample.SoundOnly(), planned.plan.packages.frames.size(),
                             frameRate, planned.plan.timecode, planned.sample.essence.opAtom};
    std::vector<std::string> args = MergeArguments(layout, feeds->Inputs(), outputPath);
    std::string logged;
    for (const std::string& arg : args) logged += arg + " ";
    Log(LogLevel::Error, __LINE__, "[MXF] strCmdArgs is:.", logged);

    const EncoderRunEnd end = RunEncoder(encoderPath, args, *feeds, outputPath,
                                         mergeTimeLimitSeconds,
                                         [this](uint32_t id) { encoderProcessId = id; });
    switch (end.run) {
    case EncoderRun::Finished: return 0;
    case EncoderRun::Failed:
        Log(LogLevel::Error, __LINE__, "[MXF] encoder failed, exit status:", end.exitStatus);
        return -3;
    case EncoderRun::InputFailed:
        Log(LogLevel::Error, __LINE__, "[MXF] encoder input could not be read:", end.inputFailure);
        return -3;
    case EncoderRun::Stuck:
        Log(LogLevel::Error, __LINE__,
            "[MXF] encoder killed, no input taken and result not grown for seconds:",
            static_cast<uint64_t>(mergeTimeLimitSeconds));
        return -4;
    case EncoderRun::Unstoppable:
        Log(LogLevel::Error, __LINE__, "[MXF] kill process failed.", int32_t{-1});
        return -2;
    }
    return -3;
}

}  // namespace vexmend
