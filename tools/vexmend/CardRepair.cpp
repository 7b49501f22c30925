#include "CardRepair.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "ClipScan.h"
#include "LoadedLibrary.h"
#include "Progress.h"
#include "vexmend.h"

namespace fs = std::filesystem;

namespace {

std::string ResultPath(const CardOptions& options, const CardClip& clip)
{
    return (fs::u8path(options.output) / fs::u8path(clip.relative)).make_preferred().u8string();
}

uint64_t FileSize(const std::string& path)
{
    std::error_code error;
    uint64_t size = fs::file_size(fs::u8path(path), error);
    return error ? 0 : size;
}

// Copies a healthy clip whole under a temporary name, then renames it.
bool CopyClip(const std::string& from, const std::string& to)
{
    std::error_code error;
    const fs::path target = fs::u8path(to), part = fs::u8path(to + ".part");
    fs::create_directories(target.parent_path(), error);
    if (fs::copy_file(fs::u8path(from), part, fs::copy_options::overwrite_existing, error) &&
        FileSize(part.u8string()) == FileSize(from)) {
        fs::rename(part, target, error);
        if (!error) return true;
    }
    fs::remove(part, error);
    return false;
}

// A result that the encoder reads through, with pictures unless it is sound.
bool Usable(const MediaInfo& result, const MediaInfo& source, bool soundOnly)
{
    return result.read && (soundOnly ? result.readSeconds > 0 : result.frames > 0) &&
           result.audio.size() >= source.audio.size();
}

// MPEG-1 and MPEG-2 pictures begin alike, and the scan names both MPEG-2.
bool SameCodec(const std::string& a, const std::string& b)
{
    auto family = [](const std::string& codec) {
        return codec == "mpeg1video" ? std::string("mpeg2video") : codec;
    };
    return family(a) == family(b);
}

bool Matches(const MediaInfo& candidate, const MediaInfo& known)
{
    if (known.HasVideo() != candidate.HasVideo()) return false;
    if (known.HasVideo() &&
        (!SameCodec(known.videoCodec, candidate.videoCodec) || known.width != candidate.width ||
         known.height != candidate.height || known.frameRate != candidate.frameRate)) {
        return false;
    }
    if (known.audio.size() != candidate.audio.size()) return false;
    for (size_t t = 0; t < known.audio.size(); ++t) {
        const AudioTrackInfo &a = known.audio[t], &b = candidate.audio[t];
        if (a.codec != b.codec || a.sampleRate != b.sampleRate || a.channels != b.channels) {
            return false;
        }
    }
    return true;
}

bool MatchesScan(const MediaInfo& candidate, const ClipScan& scan)
{
    if (scan.pictures > 0 && scan.codec != "unknown" &&
        !SameCodec(scan.codec, candidate.videoCodec)) {
        return false;
    }
    return scan.soundTracks.empty() || scan.soundTracks.size() == candidate.audio.size();
}

}  // namespace

bool LiesWithin(const std::string& path, const std::string& folder)
{
    std::error_code error;
    const fs::path a = fs::weakly_canonical(fs::absolute(fs::u8path(path), error), error),
                   b = fs::weakly_canonical(fs::absolute(fs::u8path(folder), error), error);
    auto [end, rest] = std::mismatch(b.begin(), b.end(), a.begin(), a.end());
    return end == b.end();
}

std::optional<ScanCounts> ReadScanCounts(const std::string& log, uint64_t from)
{
    std::ifstream stream(fs::u8path(log), std::ios::binary);
    stream.seekg(static_cast<std::streamoff>(from));
    std::optional<ScanCounts> counts;
    const std::pair<const char*, uint64_t ScanCounts::*> kRecords[] = {
        {"[mxf] Video samples counts is: ", &ScanCounts::pictures},
        {"[mxf] Audio samples counts is: ", &ScanCounts::sounds},
        {"[mxf] Unrecognised bytes: ", &ScanCounts::unrecognised}};
    for (std::string line; std::getline(stream, line);) {
        for (const auto& [message, field] : kRecords) {
            if (size_t at = line.find(message); at != std::string::npos) {
                if (!counts) counts = ScanCounts();
                (*counts).*
                    field = std::strtoull(line.c_str() + at + std::strlen(message), nullptr, 10);
            }
        }
    }
    return counts;
}

int ChooseSample(const std::vector<CardClip>& clips, const std::vector<MediaInfo>& checked,
                 size_t index)
{
    const MediaInfo& known = checked[index];
    std::optional<ClipScan> scan;
    if (!known.HasVideo() && known.audio.empty()) scan = ScanClip(clips[index].path);
    int best = -1;
    for (size_t i = 0; i < clips.size(); ++i) {
        const MediaInfo& candidate = checked[i];
        if (i == index || !candidate.Healthy() || clips[i].soundOnly != clips[index].soundOnly ||
            (scan ? !MatchesScan(candidate, *scan) : !Matches(candidate, known))) {
            continue;
        }
        auto distance = [index](size_t at) { return at > index ? at - index : index - at; };
        if (best < 0 || distance(i) < distance(static_cast<size_t>(best)))
            best = static_cast<int>(i);
    }
    return best;
}

namespace {

// The clip's repair: the general repair, and the advance repair where the
// general one fails or gives no usable result.
void RepairDamagedClip(LoadedLibrary& library, const CardOptions& options,
                       const std::vector<CardClip>& clips, const std::vector<MediaInfo>& checked,
                       size_t index, ClipRecord& record, Progress& progress)
{
    const CardClip& clip = clips[index];
    const std::string result = ResultPath(options, clip);
    progress.Step("general repair");
    record.code = library.generalRepair(clip.path.c_str(), result.c_str());
    if (record.code == VEXMEND_OK) {
        record.media = ProbeMedia(options.encoder, result);
        if (Usable(record.media, checked[index], clip.soundOnly)) {
            record.outcome = "general";
            record.result = result;
            return;
        }
        std::error_code error;
        fs::remove(fs::u8path(result), error);
        record.media = MediaInfo();
    }

    progress.Step("choosing a sample");
    record.sample = options.sample;
    if (record.sample.empty()) {
        const int sample = ChooseSample(clips, checked, index);
        if (sample < 0) {
            record.outcome = "failed";
            record.reason = "no healthy clip of the card matches; name one with --sample";
            return;
        }
        record.sample = clips[static_cast<size_t>(sample)].path;
    }
    progress.Step("advance repair");
    const uint64_t logSize = FileSize(options.logFile);
    record.code = library.advanceRepair(clip.path.c_str(), record.sample.c_str(), result.c_str());
    record.scan = ReadScanCounts(options.logFile, logSize);
    if (record.code != VEXMEND_OK) {
        record.outcome = "failed";
        record.reason = "the advance repair failed (see the log)";
        return;
    }
    record.outcome = "advance";
    record.result = result;
    record.media = ProbeMedia(options.encoder, result);
}

}  // namespace

std::vector<ClipRecord> RepairCard(LoadedLibrary& library, const Card& card,
                                   const CardOptions& options)
{
    for (const CardClip& clip : card.clips) {
        if (LiesWithin(ResultPath(options, clip), options.source)) {
            throw std::runtime_error("the result " + clip.relative + " would lie under " +
                                     options.source);
        }
    }
    Progress progress;
    const size_t count = card.clips.size();
    std::vector<MediaInfo> checked(count);
    for (size_t i = 0; i < count; ++i) {
        progress.Begin(i + 1, count, card.clips[i].relative);
        progress.Step("checking");
        checked[i] = ProbeMedia(options.encoder, card.clips[i].path);
        progress.End(checked[i].Healthy() ? "healthy" : "damaged", false);
    }

    std::vector<ClipRecord> records;
    for (size_t i = 0; i < count; ++i) {
        const CardClip& clip = card.clips[i];
        ClipRecord record{clip, "healthy", 0, "", "", "", checked[i], std::nullopt};
        progress.Begin(i + 1, count, clip.relative);
        try {
            if (!checked[i].Healthy()) {
                RepairDamagedClip(library, options, card.clips, checked, i, record, progress);
            } else if (options.copyHealthy) {
                progress.Step("copying");
                const std::string result = ResultPath(options, clip);
                if (!CopyClip(clip.path, result))
                    throw std::runtime_error("cannot copy to " + result);
                record.result = result;
            }
        } catch (const std::exception& error) {
            record.outcome = "failed";
            record.reason = error.what();
        }
        progress.End(record.outcome);
        records.push_back(record);
    }
    return records;
}
