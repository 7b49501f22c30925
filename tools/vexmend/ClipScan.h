// The scan command's output: what the library's scan finds in a file, as
// text or as a JSON object.
#pragma once

#include <string>

#include "MxfAdvanceRepair/scan/ScanSummary.h"

// The scan as text, or as a JSON object.
std::string ScanText(const std::string& path, const vexmend::ScanSummary& scan);
std::string ScanJson(const std::string& path, const vexmend::ScanSummary& scan);
