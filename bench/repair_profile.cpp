// Splits one advance repair into its parts and times each:
//
//   repair_profile DAMAGED SAMPLE ENCODER DRAIN RESULT
//
// ENCODER is the real encoder; DRAIN is an encoder stand-in that only reads
// the merge's inputs to their end (and hands any other call to the real
// encoder), so that the feed's own cost shows apart from the encoder's.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "MxfAdvanceRepair/feed/EssenceFeed.h"
#include "MxfAdvanceRepair/MxfAdvanceRepair.h"
#include "MxfAdvanceRepair/codecs/EssenceParser.h"
#include "TextConvert.h"

namespace {

using vexmend::MxfAdvanceRepair;

class Timer {
public:
    double Lap()
    {
        const auto now = std::chrono::steady_clock::now();
        const double seconds = std::chrono::duration<double>(now - start).count();
        start = now;
        return seconds;
    }

private:
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
};

void Show(const char* part, double seconds) { std::printf("  %-34s %7.2f s\n", part, seconds); }

// Probes the sample and scans the damaged file; the two times.
bool Scan(MxfAdvanceRepair& engine, const std::wstring& damaged, const std::wstring& sample,
          double& probe, double& scan)
{
    Timer timer;
    engine.SetVideoPath(damaged, sample);
    if (engine.AnalyzeSampleVideo() != 0) return false;
    probe = timer.Lap();
    engine.SetVideoPath(damaged, sample);  // the same sample: not probed again
    if (engine.Repair() != 0) return false;
    scan = timer.Lap();
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 6) {
        std::fprintf(stderr, "usage: repair_profile DAMAGED SAMPLE ENCODER DRAIN RESULT\n");
        return 2;
    }
    const std::wstring damaged = vexmend::Utf8ToWide(argv[1]);
    const std::wstring sample = vexmend::Utf8ToWide(argv[2]);
    const std::string result = argv[5];
    const std::wstring folder = vexmend::Utf8ToWide(result.substr(0, result.find_last_of('/') + 1));

    MxfAdvanceRepair engine(vexmend::MxfAdvanceRepairOptions{argv[3], 600});
    double probe = 0, scan = 0;
    if (!Scan(engine, damaged, sample, probe, scan)) {
        std::fprintf(stderr, "the scan failed\n");
        return 1;
    }

    // Every picture read as the feed reads it, then its false starts broken.
    Timer timer;
    vexmend::FileReader reader(argv[1]);
    std::vector<uint8_t> frame;
    double breaking = 0;
    const vexmend::EssenceParser& parser = vexmend::FindEssenceParser(engine.Sample().videoCodec);
    for (const vexmend::EssenceSample& picture : engine.VideoSamples()) {
        frame.resize(picture.size);
        const uint64_t got = reader.ReadAt(picture.offset, frame.data(), picture.size);
        Timer breakTimer;
        parser.BreakFalseStarts(frame.data(), got);
        breaking += breakTimer.Lap();
    }
    const double reading = timer.Lap() - breaking;

    MxfAdvanceRepair drained(vexmend::MxfAdvanceRepairOptions{argv[4], 600});
    double ignored = 0;
    if (!Scan(drained, damaged, sample, ignored, ignored)) return 1;
    timer.Lap();
    drained.SetResultFile(result);
    drained.GetRepairedVideo(damaged, folder);
    const double feed = timer.Lap();
    engine.SetResultFile(result);
    engine.GetRepairedVideo(damaged, folder);
    const double merge = timer.Lap();

    std::printf("parts of the repair (each timed on its own):\n");
    Show("sample probe", probe);
    Show("scan", scan);
    Show("reading the pictures", reading);
    Show("breaking false picture starts", breaking);
    Show("plan and feed, drained at once", feed);
    Show("plan, feed and encoder (the merge)", merge);
    Show("encoder's share (merge - feed)", merge - feed);
    return 0;
}
