// The scan report: table sizes, first and last frames, and the share of the
// damaged file that the found frames cover.
#include <cstdio>

#include "MxfAdvanceRepair/MxfAdvanceRepair.h"

namespace vexmend {

namespace {

// Logs the first nine and the last ten records of a table and returns the sum
// of all sizes.
template <typename LogFunction>
uint64_t WalkTable(const std::vector<EssenceSample>& table, const char* format,
                   LogFunction logRecord)
{
    uint64_t total = 0;
    const int64_t count = static_cast<int64_t>(table.size());
    int32_t sequence = 0;
    for (const EssenceSample& sample : table) {
        ++sequence;
        total += sample.size;
        if (sequence >= 10 && sequence <= count - 10) continue;
        char text[256];
        std::snprintf(text, sizeof text, format, sequence, static_cast<long long>(sample.offset),
                      static_cast<long long>(sample.size));
        logRecord(std::string(text));
    }
    return total;
}

std::string PercentText(double video, double audio)
{
    char text[256];
    std::snprintf(text, sizeof text,
                  "[mxf] Video Repair Percent is %f,Audio Repair Percent is %f\n", video, audio);
    return text;
}

}  // namespace

void MxfAdvanceRepair::ReportScanResult()
{
    Log(LogLevel::Info, __LINE__,
        "[mxf] Video samples counts is: ", static_cast<uint64_t>(videoSamples.size()));
    uint64_t videoTotal = WalkTable(videoSamples,
                                    "[mxf] Video sample Sequence %d: offset:%lld, size:%lld\n",
                                    [this](const std::string& text) {
                                        Log(LogLevel::Info, __LINE__, "Video Frame Info: ", text);
                                    });
    Log(LogLevel::Info, __LINE__,
        "[mxf] Audio samples counts is: ", static_cast<uint64_t>(audioSamples.size()));
    uint64_t audioTotal = WalkTable(audioSamples,
                                    "[mxf] Audio sample Sequence %d: offset:%lld, size:%lld\n",
                                    [this](const std::string& text) {
                                        Log(LogLevel::Info, __LINE__, "Audio Frame Info:", text);
                                    });
    double fileSize = static_cast<double>(videoFileSize);
    double videoPercent = static_cast<double>(static_cast<int64_t>(videoTotal)) / fileSize * 100.0;
    double audioPercent = static_cast<double>(static_cast<int64_t>(audioTotal)) / fileSize * 100.0;
    Log(LogLevel::Info, __LINE__, "Repair Percent:", PercentText(videoPercent, audioPercent));
}

}  // namespace vexmend
