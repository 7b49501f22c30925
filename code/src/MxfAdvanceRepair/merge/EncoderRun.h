// One run of the encoder over inputs fed through pipes: started, watched
// until it ends by itself, and killed when it neither takes input nor grows
// its result for the time limit, so that a stuck encoder never hangs the
// repair while a slow one on a long recording runs to its end.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vexmend {

class EssenceFeeds;

enum class EncoderRun {
    Finished,     // exit status 0, every input read whole
    Failed,       // another exit status
    InputFailed,  // an input could not be read: the result would be short
    Stuck,        // killed: no input taken, result not grown
    Unstoppable,  // stuck, and it could not be killed
};

struct EncoderRunEnd {
    EncoderRun run = EncoderRun::Finished;
    int32_t exitStatus = 0;
    std::string inputFailure;  // for InputFailed
};

// Runs `program` with `args`, starting `feeds` once it runs; `started`
// gets its process id.
EncoderRunEnd RunEncoder(const std::string& program, const std::vector<std::string>& args,
                         EssenceFeeds& feeds, const std::string& resultPath,
                         int64_t timeLimitSeconds, const std::function<void(uint32_t)>& started);

}  // namespace vexmend
