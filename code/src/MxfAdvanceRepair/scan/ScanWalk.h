// The walk of the damaged-file scan over a reader: every position is tested
// for an essence element; recognised elements are recorded and their values
// jumped over, anything else is stepped over one byte at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "MxfAdvanceRepair/scan/EssenceElement.h"

namespace vexmend {

class StreamBuffer;

struct ScanWalkSettings {
    // Look-ahead asked of the reader at each position.
    uint64_t lookAhead = kLookAhead;
    // A run of more bytes than this stepped over one at a time, with no
    // element between them, ends the walk.
    uint64_t unrecognisedLimit = 0x80000000ull;
    // Whether the result lists the runs of unrecognised bytes.
    bool listRuns = false;
};

// A stretch of the file: its first byte's offset and its length.
struct ByteRun {
    uint64_t offset = 0;
    uint64_t length = 0;
};

struct ScanWalkResult {
    // Bytes stepped over one at a time.
    uint64_t unrecognised = 0;
    // The walk ended because a run of unrecognised bytes went past the limit.
    bool limitReached = false;
    // The runs of unrecognised bytes between elements, when asked for.
    std::vector<ByteRun> runs;
};

// Called with each element the walk finds (its value's offset absolute);
// false ends the walk there.
using ElementVisit = std::function<bool(const EssenceSample&)>;

// Walks `reader` while its position is below `fileSize`, calling `visit`
// with each element and jumping over its value. Ends at the file's end, at
// a failed look-ahead request, past the limit of unrecognised bytes in one
// run, or where `visit` says so.
ScanWalkResult WalkEssenceElements(StreamBuffer& reader, uint64_t fileSize,
                                   const ElementVisit& visit,
                                   const ScanWalkSettings& settings = ScanWalkSettings());

// The walk to the end, appending video elements to `video` and audio
// elements to `audio`.
ScanWalkResult WalkEssenceElements(StreamBuffer& reader, uint64_t fileSize,
                                   std::vector<EssenceSample>& video,
                                   std::vector<EssenceSample>& audio,
                                   const ScanWalkSettings& settings = ScanWalkSettings());

}  // namespace vexmend
