// The card mode: every clip of a card checked, the damaged ones repaired
// with the general repair or, where it fails, the advance repair guided by a
// healthy clip of the same card; healthy clips listed or copied. Each repair
// runs in a process of its own and every file is made in the run's staging
// folder, then moved into place, so that a stop leaves nothing half-done.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "CardLayout.h"
#include "MediaProbe.h"
#include "MxfAdvanceRepair/scan/ScanSummary.h"
#include "RepairProcess.h"

class OutputClaim;
class WriteGuard;

struct CardOptions {
    std::string source, output;
    std::string sample;  // the advance repair's sample; chosen per clip when empty
    bool copyHealthy = false;
    int jobs = 1;         // clips repaired at the same time
    std::string encoder;  // "ffmpeg.exe" beside the program
    RepairFolders folders;
};

struct ClipRecord {
    CardClip clip;
    // "healthy", "general", "advance", "failed" or "skipped"
    std::string outcome = "healthy";
    int32_t code = 0;    // the last repair's result code
    std::string result;  // the file written under the output folder, if any
    std::string sample;
    std::string reason;    // why the clip failed or was skipped
    std::string rejected;  // why the general repair's result was refused, if it was
    // The result as the encoder reads it; a healthy clip's own when not copied.
    MediaInfo media;
    // The pictures the clip's header states (0 when unknown); the result's
    // are media.frames.
    int64_t stated = 0;
    // Of the result's pictures, those repeated to stand for lost ones.
    int64_t repeated = 0;
    // What the library's scan finds in a damaged clip.
    std::optional<vexmend::ScanSummary> scan;
};

struct CardRun {
    std::vector<ClipRecord> records;  // the clips finished, then the entries passed over
    bool stopped = false;             // a stop was asked for before the last clip was done
};

// Repairs the card's clips one after another; a failed clip never stops the
// others, and a stop asked for ends the clip under way without a trace.
CardRun RepairCard(const Card& card, const CardOptions& options, OutputClaim& claim,
                   const WriteGuard& guard);

// The records of the entries that the card's walk passed over.
std::vector<ClipRecord> PassedRecords(const Card& card);
