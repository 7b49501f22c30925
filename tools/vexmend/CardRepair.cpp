#include "CardRepair.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "ClipPool.h"
#include "ClipIdentity.h"
#include "Json.h"
#include "OutputClaim.h"
#include "Progress.h"
#include "ResultCheck.h"
#include "SampleChoice.h"
#include "StagedFile.h"
#include "SidecarXml.h"
#include "StopSignal.h"
#include "vexmend.h"

namespace fs = std::filesystem;

namespace {

// What the library's scan finds in a clip; nothing when it cannot be read.
std::optional<vexmend::ScanSummary> Scan(const std::string& path)
{
    try {
        return vexmend::ScanFile(path);
    } catch (const std::runtime_error&) {
        return std::nullopt;
    }
}

// The record of a file that is not repaired.
ClipRecord EntryRecord(const std::string& path, const std::string& inCard,
                       const std::string& outcome, const std::string& reason)
{
    ClipRecord record;
    record.clip.path = path;
    record.clip.inCard = inCard;
    record.outcome = outcome;
    record.reason = reason;
    return record;
}

// Moves the records of the clips finished, in clip order, to `records`.
void TakeFinished(std::vector<std::optional<ClipRecord>>& done, std::vector<ClipRecord>& records)
{
    for (std::optional<ClipRecord>& record : done) {
        if (record) records.push_back(std::move(*record));
        record.reset();
    }
}

// The clip's identity as its surviving header gives it, completed from its
// sidecar; the timecode else the pictures' own.
ClipIdentity IdentityOf(const CardClip& clip, const std::optional<vexmend::ScanSummary>& scan)
{
    ClipIdentity identity = HeaderIdentity(clip.path);
    if (!clip.metadata.empty() && (identity.timecode.empty() || !identity.materialUmid)) {
        const ClipIdentity sidecar = SidecarIdentity(clip.metadata);
        if (identity.timecode.empty()) {
            identity.timecode = sidecar.timecode;
            identity.timecodeFrom = sidecar.timecodeFrom;
        }
        if (!identity.materialUmid) identity.materialUmid = sidecar.materialUmid;
    }
    if (identity.timecode.empty() && scan && !scan->timecode.empty()) {
        identity.timecode = scan->timecode;
        identity.timecodeFrom = "pictures";
    }
    return identity;
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
          healthy(clips.size()),
          soundOnly(clips.size()),
          stated(clips.size()),
          progress(options.jobs == 1)
    {
    }

    void Check(size_t index)
    {
        const CardClip& clip = clips[index];
        progress.Begin(index + 1, clips.size(), clip.inCard);
        progress.Step("checking");
        checked[index] = ProbeMedia(options.encoder, clip.path);
        scans[index] = Scan(clip.path);
        healthy[index] = Healthy(checked[index], scans[index]);
        stated[index] = Stated(checked[index]);
        // A spanned clip is healthy when every file of it is.
        for (const std::string& span : clip.spans) {
            const MediaInfo media = ProbeMedia(options.encoder, span);
            healthy[index] = healthy[index] && Healthy(media, Scan(span));
            stated[index] += Stated(media);
        }
        const std::optional<vexmend::ScanSummary>& scan = scans[index];
        soundOnly[index] = clip.soundOnly ||
                           (!checked[index].HasVideo() && !checked[index].audio.empty()) ||
                           (scan && scan->pictures == 0 && !scan->soundTracks.empty());
        progress.End(healthy[index] ? "healthy" : "damaged", false);
    }

    ClipRecord Repair(size_t index)
    {
        ClipRecord record;
        record.clip = clips[index];
        record.media = checked[index];
        record.stated = stated[index];
        if (!healthy[index]) record.scan = scans[index];
        progress.Begin(index + 1, clips.size(), clips[index].inCard);
        try {
            if (!healthy[index]) {
                RepairDamaged(index, record);
            } else if (options.copyHealthy) {
                progress.Step("copying");
                record.result = Copy(clips[index].path, clips[index].result);
                for (const std::string& span : clips[index].spans) {
                    Copy(span, SpanResult(clips[index], span));
                }
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

    // Copies a file beside the clips to the same path under the output folder.
    void CopySidecar(const CardFile& file) { Copy(file.path, file.inCard); }

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

    // Copies a file of the card into place.
    std::string Copy(const std::string& path, const std::string& relative)
    {
        StagedFile staged{claim.StagedName(".MXF")};
        Concatenate({path}, staged.path);
        return claim.Publish(staged.path, relative, guard);
    }

    // A further file of a spanned clip, copied as it is beside the first.
    static std::string SpanResult(const CardClip& clip, const std::string& span)
    {
        return (fs::u8path(clip.result).parent_path() / fs::u8path(span).filename())
            .generic_u8string();
    }

    // The files of a spanned clip one after another in a staged file: the
    // repairs read the essence of all of them as one recording.
    std::string Join(const CardClip& clip, StagedFile& joined)
    {
        std::vector<std::string> parts{clip.path};
        parts.insert(parts.end(), clip.spans.begin(), clip.spans.end());
        Concatenate(parts, joined.path);
        return joined.path;
    }

    // The result with the clip's identity written in, read and checked;
    // empty when it holds up, and then it is moved into place.
    std::string Accept(StagedFile& staged, const ClipIdentity& identity, const ResultNeeds& needs,
                       ClipRecord& record)
    {
        progress.Step("verifying");
        WriteIdentity(staged.path, identity);
        record.media = ProbeMedia(options.encoder, staged.path);
        std::string shortfall = ResultShortfall(options.encoder, staged.path, record.media, needs);
        if (!shortfall.empty()) {
            record.media = MediaInfo();
            std::error_code error;
            fs::remove(fs::u8path(staged.path), error);
            return shortfall;
        }
        record.result = claim.Publish(staged.path, record.clip.result, guard);
        return "";
    }

    // The general repair, and the advance repair where the general one fails
    // or its result falls short.
    void RepairDamaged(size_t index, ClipRecord& record)
    {
        const CardClip& clip = clips[index];
        StagedFile joined{clip.spans.empty() ? "" : claim.StagedName(".MXF")};
        const std::string input = clip.spans.empty() ? LibraryName(clip.path) : Join(clip, joined);
        if (!clip.spans.empty()) record.scan = Scan(input);
        const ResultNeeds needs = NeedsOf(checked[index], record.scan, soundOnly[index]);
        const ClipIdentity identity = IdentityOf(clip, record.scan);
        StagedFile staged{claim.StagedName(".MXF")};
        progress.Step("general repair");
        record.code = RunRepairProcess(options.folders, {"general", input, staged.path});
        if (record.code == VEXMEND_OK) {
            record.rejected = Accept(staged, identity, needs, record);
            if (record.rejected.empty()) {
                record.outcome = "general";
                return;
            }
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
        } else if (std::string shortfall = Accept(staged, identity, needs, record);
                   !shortfall.empty()) {
            record.outcome = "failed";
            record.reason = "the advance repair's result is refused: " + shortfall;
        } else {
            record.outcome = "advance";
        }
    }

    const std::vector<CardClip>& clips;
    const CardOptions& options;
    OutputClaim& claim;
    const WriteGuard& guard;
    std::vector<MediaInfo> checked;
    std::vector<std::optional<vexmend::ScanSummary>> scans;
    // Written by the checks of different clips at once: no std::vector<bool>,
    // whose elements share their bytes.
    std::vector<char> healthy;
    std::vector<char> soundOnly;
    std::vector<int64_t> stated;
    Progress progress;
};

}  // namespace

CardRun RepairCard(const Card& card, const CardOptions& options, OutputClaim& claim,
                   const WriteGuard& guard)
{
    CardRun run;
    CardRepairer repairer(card, options, claim, guard);
    // Every clip is checked before the first repair: a repair's sample may
    // be any healthy clip of the card.
    std::vector<std::optional<ClipRecord>> done(card.clips.size());
    try {
        RunClipPool(card.clips.size(), options.jobs, [&](size_t i) {
            ThrowIfStopped();
            repairer.Check(i);
        });
        RunClipPool(card.clips.size(), options.jobs, [&](size_t i) {
            ThrowIfStopped();
            done[i] = repairer.Repair(i);
        });
        TakeFinished(done, run.records);
        // The card's other files go beside the results.
        if (std::any_of(run.records.begin(), run.records.end(),
                        [](const ClipRecord& r) { return !r.result.empty(); })) {
            for (const CardFile& file : card.sidecars) {
                ThrowIfStopped();
                try {
                    repairer.CopySidecar(file);
                } catch (const std::runtime_error& error) {
                    run.records.push_back(
                        EntryRecord(file.path, file.inCard, "failed", error.what()));
                }
            }
        }
    } catch (const Stopped&) {
        run.stopped = true;
        TakeFinished(done, run.records);
    }
    const std::vector<ClipRecord> passed = PassedRecords(card);
    run.records.insert(run.records.end(), passed.begin(), passed.end());
    return run;
}

std::vector<ClipRecord> PassedRecords(const Card& card)
{
    std::vector<ClipRecord> records;
    for (const CardEntry& entry : card.passed) {
        records.push_back(EntryRecord(entry.path, entry.inCard, entry.outcome, entry.reason));
    }
    return records;
}
