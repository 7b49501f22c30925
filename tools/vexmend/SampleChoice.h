// The advance repair's sample for a damaged clip: a healthy clip of the same
// card whose streams match the damaged one's.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "CardLayout.h"
#include "MediaProbe.h"
#include "MxfAdvanceRepair/scan/ScanSummary.h"

// The healthy clip nearest to clip `index` in name order whose streams match
// what is known of it: its own stream report when the encoder could read
// it, otherwise the codec and sound tracks that its scan found. -1 when none.
int ChooseSample(const std::vector<CardClip>& clips, const std::vector<MediaInfo>& checked,
                 const std::vector<char>& healthy, const std::optional<vexmend::ScanSummary>& scan,
                 size_t index);
