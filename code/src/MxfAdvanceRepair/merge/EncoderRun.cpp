#include "MxfAdvanceRepair/merge/EncoderRun.h"

#include <Poco/File.h>
#include <Poco/Stopwatch.h>

#include "MxfAdvanceRepair/feed/EssenceFeed.h"
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

EncoderRunEnd RunEncoder(const std::string& program, const std::vector<std::string>& args,
                         EssenceFeeds& feeds, const std::string& resultPath,
                         int64_t timeLimitSeconds, const std::function<void(uint32_t)>& started)
{
    platform::ChildProcess child(program, args, false);
    started(child.Id());
    feeds.Start();

    Poco::Stopwatch sinceGrowth;
    sinceGrowth.start();
    uint64_t progress = 0;
    while (!child.TryWait(kPollMilliseconds)) {
        if (uint64_t now = feeds.Written() + FileSize(resultPath); now != progress) {
            progress = now;
            sinceGrowth.restart();
        } else if (sinceGrowth.elapsed() / 1000000 >= timeLimitSeconds) {
            try {
                child.Kill();
            } catch (...) {
                return {EncoderRun::Unstoppable, 0, {}};
            }
            return {EncoderRun::Stuck, 0, {}};
        }
    }
    const int32_t status = *child.TryWait();
    if (status != 0) return {EncoderRun::Failed, status, {}};
    // An input cut short by a read error would give a short result that
    // looks whole.
    std::string failure = feeds.Finish();
    if (!failure.empty()) return {EncoderRun::InputFailed, 0, std::move(failure)};
    return {EncoderRun::Finished, 0, {}};
}

}  // namespace vexmend
