// The card mode's report as one HTML page: a row per clip with its figures,
// a strip of its pictures (recovered, repeated, lost) and one of its bytes
// with the damaged ranges. Inline CSS and SVG only: no script, nothing
// loaded from elsewhere.
#pragma once

#include <string>

#include "CardRepair.h"

// Every text from the card is escaped; a byte of a name that is not UTF-8
// becomes U+FFFD, as in the JSON report.
std::string CardReportHtml(const Card& card, const CardOptions& options, const CardRun& run);
