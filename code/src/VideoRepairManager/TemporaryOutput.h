// The file a repair writes its result into beside the output, renamed over
// the output only once it is whole, so that the output appears complete or
// not at all, and an older file there stays until then.
#pragma once

#include <string>
#include <vector>

namespace vexmend {

class TemporaryOutput {
public:
    // Makes the folder of `target` (UTF-8) when it is missing and a new,
    // empty temporary file in it, which shows at once that the folder takes
    // files. Throws when either cannot be made.
    explicit TemporaryOutput(const std::string& target);
    // Removes the temporary file unless it became the output, and then the
    // folders made for it that are still empty.
    ~TemporaryOutput();

    TemporaryOutput(const TemporaryOutput&) = delete;
    TemporaryOutput& operator=(const TemporaryOutput&) = delete;

    const std::string& Path() const { return path; }

    // Renames the temporary file over the target. Throws when it cannot.
    void Commit();

private:
    void RemoveLeftovers();

    std::string target;
    std::string path;
    std::vector<std::string> madeFolders;  // the deepest first
    bool committed = false;
};

// True when the file name of `path` is one that TemporaryOutput gives.
bool IsTemporaryOutputName(const std::string& path);

}  // namespace vexmend
