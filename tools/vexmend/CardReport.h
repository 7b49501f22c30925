// What the card mode reports: a JSON record per clip, the same fields as a
// table, and a one-line summary.
#pragma once

#include <string>
#include <vector>

#include "CardRepair.h"

// Always valid JSON: a name that is no UTF-8 has its bad bytes replaced and
// its record marked ("name_not_utf8").
std::string CardReportJson(const Card& card, const CardOptions& options, const CardRun& run);
std::string CardReportTable(const std::vector<ClipRecord>& records);
std::string CardSummary(const CardRun& run);
