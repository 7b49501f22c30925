// What the advance repair would find in a damaged file: the library's own
// scan for essence elements, run read-only, with the stretches of the file
// that are neither essence nor any other well-formed KLV item.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "MxfAdvanceRepair/ScanWalk.h"

struct ClipScan {
    uint64_t fileSize = 0;
    uint64_t pictures = 0;
    // Sound elements by track number (the key's last four bytes).
    std::map<uint32_t, uint64_t> soundTracks;
    // The pictures' codec by their first bytes ("unknown" when none matched).
    std::string codec = "unknown";
    // The timecode of the first picture, when the file carries one.
    std::string timecode;
    uint64_t unrecognised = 0;
    std::vector<vexmend::ByteRun> damaged;
};

// Scans `path`; throws std::runtime_error when it cannot be read.
ClipScan ScanClip(const std::string& path);

// The scan as text, or as a JSON object.
std::string ScanText(const std::string& path, const ClipScan& scan);
std::string ScanJson(const std::string& path, const ClipScan& scan);
