// The card mode's checks: whether a clip is healthy, and whether a repair's
// result holds up before it is accepted: the pictures the damaged clip's
// scan found, every sound track of the clip, and no complaint from the
// encoder reading it whole and from its middle on.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "MediaProbe.h"
#include "MxfAdvanceRepair/scan/ScanSummary.h"

// The pictures the header's duration stands for; 0 without pictures.
int64_t Stated(const MediaInfo& media);

// Read to its end by the encoder, no damaged stretch in the scan, and as
// many picture elements as the header states pictures (a clip-wrapped
// file's one element holds them all).
bool Healthy(const MediaInfo& media, const std::optional<vexmend::ScanSummary>& scan);

// What a clip's result must hold, from what is known of the clip.
struct ResultNeeds {
    int64_t pictures = 0;  // at least this many, when the clip has pictures
    size_t soundTracks = 0;
    bool soundOnly = false;
};

// The needs of a clip from its own reading and its scan: the scan's
// pictures less the last, which a cut may have left partial, and for
// long-GOP pictures those whose reference was lost: at the end, and up to a
// GOP after each damaged stretch.
ResultNeeds NeedsOf(const MediaInfo& clip, const std::optional<vexmend::ScanSummary>& scan,
                    bool soundOnly);

// Why the result at `path` (as `media` describes it) falls short; empty
// when it holds up.
std::string ResultShortfall(const std::string& encoder, const std::string& path,
                            const MediaInfo& media, const ResultNeeds& needs);
