// A clip's identity, which a rewrapped result loses: its start timecode and
// its packages' UMIDs, read from a damaged file's header metadata (or a
// sidecar, SidecarXml.h) and written into the result's.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "MxfAdvanceRepair/codecs/Timecode.h"

struct ClipIdentity {
    std::string timecode;      // "HH:MM:SS:FF" (";" before FF when drop-frame), empty when unknown
    std::string timecodeFrom;  // "header", "P2 XML", "XDCAM XML" or empty
    std::optional<std::array<uint8_t, 32>> materialUmid, fileUmid;  // package UIDs
};

// What survives in a (possibly damaged) MXF file's header metadata: the
// material package's and the (first) file/source package's PackageUID and
// the start timecode of the first timecode component. Reads only the first
// few MiB; never throws on damage (returns what it found), skips sets whose
// bytes are broken.
ClipIdentity HeaderIdentity(const std::string& path);

// Writes `identity` into the result file's header metadata in place, with
// same-length changes only: every occurrence of the result's own material
// and file package UID in the header metadata sets of its partitions
// (including references such as a SourceClip's SourcePackageID) is
// replaced by the identity's, so that the package references stay
// consistent, and every timecode component's StartTimecode is set from
// identity.timecode at that component's RoundedTimecodeBase and DropFrame.
// Returns false (and leaves the file unchanged) when the result's header
// cannot be understood; throws std::runtime_error on I/O errors.
bool WriteIdentity(const std::string& resultPath, const ClipIdentity& identity);

// The timecode of "HH:MM:SS:FF" ("HH:MM:SS;FF", or "." or "," before the
// frames, for drop-frame timecode); nothing when it is not one.
std::optional<vexmend::Timecode> ParseTimecode(const std::string& text);
