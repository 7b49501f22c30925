#include "CardRepair.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "Json.h"
#include "OutputClaim.h"
#include "Progress.h"
#include "SampleChoice.h"
#include "StopSignal.h"
#include "vexmend.h"

namespace fs = std::filesystem;

namespace {

uint64_t FileSize(const std::string& path)
{
    std::error_code error;
    uint64_t size = fs::file_size(fs::u8path(path), error);
    return error ? 0 : size;
}

// A result that the encoder reads through, with pictures unless it is sound.
bool Usable(const MediaInfo& result, const MediaInfo& source, bool soundOnly)
{
    return result.read && (soundOnly ? result.readSeconds > 0 : result.frames > 0) &&
           result.audio.size() >= source.audio.size();
}

// A file of the staging folder, removed unless it was moved into place.
struct StagedFile {
    std::string path;
    ~StagedFile()
    {
        std::error_code error;
        fs::remove(fs::u8path(path), error);
    }
};

// What the library's scan finds in a clip; nothing when it cannot be read.
std::optional<vexmend::ScanSummary> Scan(const std::string& path)
{
    try {
        return vexmend::ScanFile(path);
    } catch (const std::runtime_error&) {
        return std::nullopt;
    }
}

class CardRepairer {
public:
    CardRepairer(const Card& card, const CardOptions& options, OutputClaim& claim,
                 const WriteGuard& guard)
        : clips(card.clips),
          options(options),
          claim(claim),
          guard(guard),
          checked(clips.size()),
          scans(clips.size()),
          healthy(clips.size())
    {
    }

    void Check(size_t index)
    {
        progress.Begin(index + 1, clips.size(), clips[index].inCard);
        progress.Step("checking");
        checked[index] = ProbeMedia(options.encoder, clips[index].path);
        scans[index] = Scan(clips[index].path);
        // Read to its end by the encoder, and no damaged stretch in the scan.
        healthy[index] = checked[index].ReadWhole() && scans[index] &&
                         scans[index]->damaged.empty();
        progress.End(healthy[index] ? "healthy" : "damaged", false);
    }

    ClipRecord Repair(size_t index)
    {
        ClipRecord record{clips[index], "healthy", 0, "", "", "", checked[index], 0, 0, std::nullopt};
        if (!healthy[index]) record.scan = scans[index];
        progress.Begin(index + 1, clips.size(), clips[index].inCard);
        try {
            if (!healthy[index]) {
                RepairDamaged(index, record);
            } else if (options.copyHealthy) {
                progress.Step("copying");
                record.result = Copy(clips[index]);
            }
        } catch (const Stopped&) {
            progress.End("stopped");
            throw;
        } catch (const std::exception& error) {
            record.outcome = "failed";
            record.reason = error.what();
        }
        progress.End(record.outcome);
        return record;
    }

private:
    // The path under which the library is given `path`: the path itself, or,
    // where it is no UTF-8 (the library's texts are; a POSIX name may hold
    // any bytes), a link to it in the staging folder.
    std::string LibraryName(const std::string& path)
    {
        if (IsUtf8(path)) return path;
        const std::string link = claim.StagedName(".MXF");
        fs::create_symlink(fs::absolute(fs::u8path(path)), fs::u8path(link));
        return link;
    }

    // Copies a healthy clip a block at a time, so that a stop ends it at once.
    std::string Copy(const CardClip& clip)
    {
        StagedFile staged{claim.StagedName(".MXF")};
        std::ifstream from(fs::u8path(clip.path), std::ios::binary);
        std::ofstream to(fs::u8path(staged.path), std::ios::binary);
        std::vector<char> block(1 << 20);
        while (from && to) {
            ThrowIfStopped();
            from.read(block.data(), static_cast<std::streamsize>(block.size()));
            to.write(block.data(), from.gcount());
        }
        if (!from.eof() || !to.flush() || FileSize(staged.path) != FileSize(clip.path)) {
            throw std::runtime_error("cannot copy " + clip.path);
        }
        to.close();
        return claim.Publish(staged.path, clip.result, guard);
    }

    // The general repair, and the advance repair where the general one fails
    // or gives no usable result.
    void RepairDamaged(size_t index, ClipRecord& record)
    {
        const CardClip& clip = clips[index];
        const std::string input = LibraryName(clip.path);
        StagedFile staged{claim.StagedName(".MXF")};
        progress.Step("general repair");
        record.code = RunRepairProcess(options.folders, {"general", input, staged.path});
        if (record.code == VEXMEND_OK) {
            record.media = ProbeMedia(options.encoder, staged.path);
            if (Usable(record.media, checked[index], clip.soundOnly)) {
                record.outcome = "general";
                record.result = claim.Publish(staged.path, clip.result, guard);
                return;
            }
            record.media = MediaInfo();
        }

        progress.Step("choosing a sample");
        record.sample = options.sample;
        if (record.sample.empty()) {
            const int sample = ChooseSample(clips, checked, healthy, scans[index], index);
            if (sample < 0) {
                record.outcome = "failed";
                record.reason = "no healthy clip of the card matches; name one with --sample";
                return;
            }
            record.sample = clips[static_cast<size_t>(sample)].path;
        }
        progress.Step("advance repair");
        record.code = RunRepairProcess(options.folders,
                                       {"advance", input, LibraryName(record.sample), staged.path});
        if (record.code != VEXMEND_OK) {
            record.outcome = "failed";
            record.reason = "the advance repair failed (see the log)";
            return;
        }
        record.media = ProbeMedia(options.encoder, staged.path);
        record.outcome = "advance";
        record.result = claim.Publish(staged.path, clip.result, guard);
    }

    const std::vector<CardClip>& clips;
    const CardOptions& options;
    OutputClaim& claim;
    const WriteGuard& guard;
    std::vector<MediaInfo> checked;
    std::vector<std::optional<vexmend::ScanSummary>> scans;
    std::vector<bool> healthy;
    Progress progress;
};

}  // namespace

CardRun RepairCard(const Card& card, const CardOptions& options, OutputClaim& claim,
                   const WriteGuard& guard)
{
    CardRun run;
    CardRepairer repairer(card, options, claim, guard);
    try {
        for (size_t i = 0; i < card.clips.size(); ++i) {
            ThrowIfStopped();
            repairer.Check(i);
        }
        for (size_t i = 0; i < card.clips.size(); ++i) {
            ThrowIfStopped();
            run.records.push_back(repairer.Repair(i));
        }
    } catch (const Stopped&) {
        run.stopped = true;
    }
    const std::vector<ClipRecord> passed = PassedRecords(card);
    run.records.insert(run.records.end(), passed.begin(), passed.end());
    return run;
}

std::vector<ClipRecord> PassedRecords(const Card& card)
{
    std::vector<ClipRecord> records;
    for (const CardEntry& entry : card.passed) {
        ClipRecord record;
        record.clip = {entry.path, entry.inCard, "", false, false, {}, ""};
        record.outcome = entry.outcome;
        record.reason = entry.reason;
        records.push_back(record);
    }
    return records;
}
