// The card mode's files in its staging folder: made there, then moved into
// place or removed.
#pragma once

#include <string>
#include <vector>

// A file of the staging folder, removed unless it was moved into place.
struct StagedFile {
    std::string path;
    ~StagedFile();
};

// Writes the files `parts` one after another into `target`, a block at a
// time, so that a stop ends it at once. Throws std::runtime_error when a
// part cannot be read or `target` is not written whole, and Stopped.
void Concatenate(const std::vector<std::string>& parts, const std::string& target);
