// What the advance repair's scan finds in a file, for hosts and tools: the
// essence elements, the pictures' codec and first timecode, and the
// stretches of the file that are neither essence nor any other well-formed
// KLV item. It reads the file alone and writes nothing.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "MxfAdvanceRepair/scan/ScanWalk.h"

namespace vexmend {

struct ScanSummary {
    uint64_t fileSize = 0;
    // Picture elements (a clip-wrapped file shows its one element).
    uint64_t pictures = 0;
    // Sound elements by track number (the key's last four bytes).
    std::map<uint32_t, uint64_t> soundTracks;
    // The pictures' codec by their first bytes ("unknown" when none matched).
    std::string codec = "unknown";
    // The timecode of the first picture (its system item, else the
    // picture's own), when the file carries one.
    std::string timecode;
    uint64_t unrecognised = 0;
    std::vector<ByteRun> damaged;

    uint64_t SoundElements() const;
};

// Scans the file `path` (UTF-8); throws std::runtime_error when it cannot be read.
ScanSummary ScanFile(const std::string& path);

}  // namespace vexmend
