// The recording table of the advance repair's tests: recordings of many
// cameras and writers, each with the damage that cards and disks do to it,
// and what the repair must bring back of it.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace vexmend::test {

enum class Damage {
    HeaderAndFooter,
    FirstFrame,
    FirstMiB,
    ByteErrors,
    SoundAndPictures,
    Cut,
    Keys,
    ZerosInside  // two pictures a third in and their sound zeroed, keys and all
};

struct Recording {
    std::string name;
    // Shell command writing the healthy file to $out, else MakeMxf(recipe).
    const char* make = nullptr;
    MediaRecipe recipe = {};
    Damage damage = Damage::HeaderAndFooter;
    double rate = 25;
    int tracks = 1;          // audio tracks of the result, track i a tone of 440 + 110 i Hz,
    const char* track = "";  // each one described so
    MediaRecipe sample = MediaRecipe{0};  // frames 0: the healthy file is the sample
    const char* warning = nullptr;        // the record on sound left out
    const char* timecode = "00:00:";      // hours and minutes of the file's first package
    bool dropFrame = false;               // the timecode drops frame numbers
    int repeated = 0;                     // pictures repeated for sound whose picture was lost
    int dropped = 0;                      // pictures at the end not to be shown in their place
    int leftInside = 0;                   // pictures after a gap that cannot be decoded
};

inline void PrintTo(const Recording& recording, std::ostream* out) { *out << recording.name; }

// The start of an ffmpeg command that makes test pictures of a size ("WxH").
extern const std::string kFfmpeg;

std::vector<Recording> Recordings();

}  // namespace vexmend::test
