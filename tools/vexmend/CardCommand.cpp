#include "CardCommand.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "CardHtml.h"
#include "CardLayout.h"
#include "CardReport.h"
#include "CardRepair.h"
#include "Json.h"
#include "LoadedLibrary.h"
#include "OutputClaim.h"
#include "StopSignal.h"

namespace fs = std::filesystem;

namespace {

// Every path the command writes, checked before the first is made.
void CheckPaths(const CardCommandLine& line, const WriteGuard& guard)
{
    guard.Check(line.output, "the output folder");
    guard.Check(line.logDir, "the log folder");
    guard.Check((fs::u8path(line.logDir) / "QorVideoRepair.log").u8string(), "the log");
    guard.Check(line.workDir, "the work folder");
    for (const std::string& report : line.reports) guard.Check(report, "the report");
    // The library takes UTF-8 texts, and the repairs are given paths in these.
    for (const std::string* path : {&line.output, &line.logDir, &line.workDir}) {
        if (!IsUtf8(*path)) throw std::runtime_error(*path + " is not valid UTF-8");
    }
}

// A report named *.html or *.htm, in any letter case, is written as HTML.
bool IsHtml(const std::string& report)
{
    std::string extension = fs::u8path(report).extension().u8string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension == ".html" || extension == ".htm";
}

}  // namespace

int RunCardCommand(const CardCommandLine& line)
{
    std::error_code error;
    if (!fs::is_directory(fs::u8path(line.source), error)) {
        std::fprintf(stderr, "vexmend: %s is no folder\n", line.source.c_str());
        return 2;
    }
    const Card card = FindCard(line.source);
    std::vector<std::string> cardFiles;
    for (const CardClip& clip : card.clips) {
        cardFiles.push_back(clip.path);
        cardFiles.insert(cardFiles.end(), clip.spans.begin(), clip.spans.end());
    }
    for (const CardFile& file : card.sidecars) cardFiles.push_back(file.path);
    for (const CardEntry& entry : card.passed) cardFiles.push_back(entry.path);
    const WriteGuard guard(line.source, cardFiles);

    CardOptions options;
    options.source = line.source;
    options.output = line.output;
    options.sample = line.sample;
    options.copyHealthy = line.copyHealthy;
    options.jobs = line.jobs;
    options.encoder = ProgramFolder() + "ffmpeg.exe";
    try {
        CheckPaths(line, guard);
    } catch (const std::runtime_error& refused) {
        std::fprintf(stderr, "vexmend: %s\n", refused.what());
        return 2;
    }
    std::printf("%s card, %zu clips\n", card.layout.c_str(), card.clips.size());
    if (card.clips.empty()) {
        std::fputs(CardReportTable(PassedRecords(card)).c_str(), stdout);
        std::fprintf(stderr, "vexmend: no clip found under %s\n", line.source.c_str());
        return kNoClipFound;
    }

    CatchStopSignals();
    std::optional<OutputClaim> claim;
    try {
        claim.emplace(line.output, line.workDir);
        CheckTakesFiles(line.logDir, "the log folder");
        for (const std::string& report : line.reports) {
            const fs::path folder = fs::u8path(report).parent_path();
            CheckTakesFiles(folder.empty() ? "." : folder.u8string(), "the report's folder");
        }
    } catch (const OutputInUse& busy) {
        std::fprintf(stderr, "vexmend: %s\n", busy.what());
        return kOutputInUse;
    } catch (const std::runtime_error& refused) {
        std::fprintf(stderr, "vexmend: %s\n", refused.what());
        return 2;
    }
    options.folders = {line.logDir, claim->WorkFolder()};
    const CardRun run = RepairCard(card, options, *claim, guard);
    std::fputs(CardReportTable(run.records).c_str(), stdout);
    std::fputs(CardSummary(run).c_str(), stdout);
    for (const std::string& report : line.reports) {
        WriteWhole(report,
                   IsHtml(report) ? CardReportHtml(card, options, run)
                                  : CardReportJson(card, options, run),
                   guard);
    }
    if (run.stopped) return StopExitStatus();
    const bool failed = std::any_of(run.records.begin(), run.records.end(),
                                    [](const ClipRecord& r) { return r.outcome == "failed"; });
    return failed ? kSomeClipFailed : 0;
}
