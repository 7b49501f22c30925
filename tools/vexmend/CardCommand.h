// The card command: its checks of every path it is to write, its hold on the
// output folder, the repair of the card and its report.
#pragma once

#include <string>
#include <vector>

struct CardCommandLine {
    std::string source, output;
    std::string sample;  // empty when not given
    // Each written as HTML when its name ends in .html or .htm, else as JSON.
    std::vector<std::string> reports;
    std::string logDir;  // OUTPUT when not given
    std::string workDir;
    bool copyHealthy = false;
    int jobs = 1;  // clips repaired at the same time
};

// Exit statuses besides 0 (every clip healthy or repaired), 2 (refused: a
// path it may not write, an output folder that takes no files) and 3 (an
// unexpected error).
constexpr int kSomeClipFailed = 4;
constexpr int kNoClipFound = 5;
constexpr int kOutputInUse = 6;

// Runs the card command; returns its exit status (a stop gives 128 and the
// signal's number). Throws std::exception on unexpected errors.
int RunCardCommand(const CardCommandLine& line);
