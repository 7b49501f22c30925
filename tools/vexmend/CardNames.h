// The names of a card's results under the output folder.
#pragma once

#include <string>
#include <vector>

#include "CardLayout.h"

// Names each clip's result: its path inside the card, an .RSV or .KLV
// recording as MXF. Two clips never get one result name, in any letter case:
// where they would, a renamed recording keeps its whole name before ".MXF"
// ("C0002.RSV.MXF"), and a name still taken gets a number ("C0002-2.MXF").
void NameResults(std::vector<CardClip>& clips);

// `text` with ASCII letters in capitals: card names match in any letter case.
std::string Upper(std::string text);
