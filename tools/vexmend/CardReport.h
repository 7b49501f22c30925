// What the card mode reports: a JSON record per clip, the same fields as a
// table, and a one-line summary.
#pragma once

#include <string>
#include <vector>

#include "CardRepair.h"

std::string CardReportJson(const Card& card, const CardOptions& options,
                           const std::vector<ClipRecord>& records);
std::string CardReportTable(const std::vector<ClipRecord>& records);
std::string CardSummary(const std::vector<ClipRecord>& records);
