// The clips of a camera card or folder: the XDCAM layout (Clip/*.MXF with an
// XML file beside each), the P2 layout (CONTENTS/VIDEO/*.MXF and
// CONTENTS/AUDIO/*.MXF, one file per track) or a plain folder of .MXF, .RSV
// and .KLV files. Names are matched in any letter case, and every folder of
// a name is taken (a card may hold both Clip and CLIP).
#pragma once

#include <string>
#include <vector>

struct CardClip {
    std::string path;    // under the card's folder, as the system names it
    std::string inCard;  // its path inside the card, "/"-separated
    std::string result;  // the result's path under the output folder
    // A P2 audio file: one sound track and no picture.
    bool soundOnly = false;
    // A low-resolution copy (XDCAM Sub/): repaired with a proxy as sample,
    // never a main clip's sample.
    bool proxy = false;
    // The further files of a clip spanned over several (Canon XF), in order;
    // their repairs are joined into the one result.
    std::vector<std::string> spans;
    // The clip's XML sidecar (P2 CLIP/*.XML, XDCAM *M01.XML); empty when none.
    std::string metadata;
};

// A file beside the clips (XML, icons, voice memos) copied to the same
// path under the output folder.
struct CardFile {
    std::string path, inCard;
};

// An entry named like a clip or a clip folder that is not repaired: one that
// is no regular file or is reached by leaving the card ("skipped"), or a
// folder that cannot be read ("failed").
struct CardEntry {
    std::string path, inCard;
    std::string outcome;  // "skipped" or "failed"
    std::string reason;
};

struct Card {
    std::string layout;  // "XDCAM", "P2" or "plain"
    std::vector<CardClip> clips;
    std::vector<CardEntry> passed;
    std::vector<CardFile> sidecars;
};

// The clips under `source`, in name order; throws std::runtime_error when
// `source` is no folder. Clips are only regular files reached without
// leaving the card, and every clip's result is named by its path inside the
// card, never by where a link points.
Card FindCard(const std::string& source);
