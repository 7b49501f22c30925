// The clips of a camera card or folder: the XDCAM layout (Clip/*.MXF with an
// XML file beside each), the P2 layout (CONTENTS/VIDEO/*.MXF and
// CONTENTS/AUDIO/*.MXF, one file per track) or a plain folder of .MXF, .RSV
// and .KLV files. Names are matched in any letter case.
#pragma once

#include <string>
#include <vector>

struct CardClip {
    std::string path;      // UTF-8, under the card's folder
    std::string relative;  // the result's path under the output folder
    // A P2 audio file: one sound track and no picture.
    bool soundOnly = false;
};

struct Card {
    std::string layout;  // "XDCAM", "P2" or "plain"
    std::vector<CardClip> clips;
};

// The clips under `source`, in name order; throws std::runtime_error when
// `source` is no readable folder.
Card FindCard(const std::string& source);
