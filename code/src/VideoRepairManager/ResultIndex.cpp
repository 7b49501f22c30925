#include "VideoRepairManager/ResultIndex.h"

#include <chrono>
#include <regex>
#include <stdexcept>

#include "FileIdentity.h"
#include "platform/ChildProcess.h"

namespace vexmend {

std::optional<uint64_t> FirstEntryPastTheEnd(const std::string& encoder, const std::string& path,
                                             int64_t limitSeconds)
{
    // Opening the file is enough: the reader checks the index then. With
    // no output named, the encoder ends there.
    platform::ChildProcess child(
        encoder,
        {"-hide_banner", "-nostdin", "-v", "warning", "-f", "mxf", "-i", EncoderFileName(path)},
        true);
    std::string report;
    char chunk[4096];
    const auto limit = std::chrono::seconds(limitSeconds);
    for (auto deadline = std::chrono::steady_clock::now() + limit;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const int64_t got = left.count() > 0 ? child.ReadError(chunk, sizeof chunk,
                                                               static_cast<int>(left.count()))
                                             : -1;
        if (got < 0) {
            child.Kill();
            throw std::runtime_error("the encoder did not end its report on the result's index");
        }
        if (got == 0) break;
        report.append(chunk, static_cast<size_t>(got));
        deadline = std::chrono::steady_clock::now() + limit;
    }
    child.Wait();
    static const std::regex past(
        "index entry ([0-9]+) \\+ TemporalOffset -?[0-9]+ = -?[0-9]+, "
        "which is out of bounds");
    std::optional<uint64_t> first;
    for (std::sregex_iterator it(report.begin(), report.end(), past), end; it != end; ++it) {
        const uint64_t entry = std::stoull((*it)[1].str());
        if (!first || entry < *first) first = entry;
    }
    return first;
}

}  // namespace vexmend
