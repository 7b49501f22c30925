// The card mode: every clip of a card checked, the damaged ones repaired
// with the general repair or, where it fails, the advance repair guided by a
// healthy clip of the same card; healthy clips listed or copied.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "CardLayout.h"
#include "MediaProbe.h"

class LoadedLibrary;

struct CardOptions {
    std::string source, output;
    std::string sample;  // the advance repair's sample; chosen per clip when empty
    bool copyHealthy = false;
    std::string encoder;  // "ffmpeg.exe" beside the program
    std::string logFile;  // the library's log, for the scan's counts
};

// The advance repair's scan as its log records it.
struct ScanCounts {
    uint64_t pictures = 0, sounds = 0, unrecognised = 0;
};

struct ClipRecord {
    CardClip clip;
    std::string outcome;  // "healthy", "general", "advance" or "failed"
    int32_t code = 0;     // the last repair's result code
    std::string result;   // the file written under the output folder, if any
    std::string sample;
    std::string reason;  // why the clip failed
    // The result as the encoder reads it; a healthy clip's own when not copied.
    MediaInfo media;
    std::optional<ScanCounts> scan;
};

// Repairs the card's clips one after another; a failed clip never stops the
// others. Throws std::runtime_error when the card cannot be read or a
// result would land under the source.
std::vector<ClipRecord> RepairCard(LoadedLibrary& library, const Card& card,
                                   const CardOptions& options);

// True when `path` (UTF-8) is `folder` or lies under it, links resolved.
bool LiesWithin(const std::string& path, const std::string& folder);

// The counts of the scan records in `log` from byte `from` on.
std::optional<ScanCounts> ReadScanCounts(const std::string& log, uint64_t from);

// The healthy clip nearest to clip `index` in name order whose streams match
// what is known of it: its own stream report when the encoder could read
// it, otherwise the codec and sound tracks that a scan finds. -1 when none.
int ChooseSample(const std::vector<CardClip>& clips, const std::vector<MediaInfo>& checked,
                 size_t index);
