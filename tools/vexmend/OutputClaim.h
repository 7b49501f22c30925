// Where the card mode writes, and how: never under the card, never into one
// of its clips, never through a symbolic link, and every file whole or not
// at all, from one run at a time.
#pragma once

#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace vexmend::platform {
class FileLock;
}

// The paths the card mode must not write.
class WriteGuard {
public:
    WriteGuard(std::string source, std::vector<std::string> clips);

    // Throws std::runtime_error naming `what` when `path` (UTF-8) lies under
    // the card (by any name: links, "..", bind mounts), is one of its clips,
    // or is itself a symbolic link.
    void Check(const std::string& path, const std::string& what) const;

private:
    std::string source;
    std::vector<std::string> clips;
};

// Makes `folder` when it is missing and shows that it takes new files by
// making one and removing it. Throws std::runtime_error when it does not.
void CheckTakesFiles(const std::string& folder, const std::string& what);

// Writes `text` into a new file beside `path` and renames it over `path`, so
// that `path` is whole or unchanged, and never written through a link.
void WriteWhole(const std::string& path, const std::string& text, const WriteGuard& guard);

// Another live run holds the output folder.
struct OutputInUse : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A run's hold on its output folder. The folder's lock file names the run's
// staging folder (under the output folder: results and copies are made
// there, then moved into place) and its work folder, so that the next run
// removes them when this one is killed.
class OutputClaim {
public:
    // Makes `output` when it is missing, locks it (OutputInUse when another
    // live run holds it), removes what killed runs left, and makes this run's
    // staging folder and its work folder under `workRoot`. Throws
    // std::runtime_error when `output` takes no files.
    OutputClaim(const std::string& output, const std::string& workRoot);
    // Removes the staging and work folders with everything in them, then the lock.
    ~OutputClaim();
    OutputClaim(const OutputClaim&) = delete;
    OutputClaim& operator=(const OutputClaim&) = delete;

    // A new short name in the staging folder ending in `extension`; no file
    // is made. Safe to call from several threads at once.
    std::string StagedName(const std::string& extension);
    const std::string& WorkFolder() const { return work; }

    // Moves the staged file to `relative` ("/"-separated, inside the output
    // folder), making the folders on the way; none of them and not the target
    // may be a link. Returns the result's path; throws std::runtime_error.
    std::string Publish(const std::string& staged, const std::string& relative,
                        const WriteGuard& guard) const;

private:
    void Release();

    std::string output, lockPath, staging, work;
    std::unique_ptr<vexmend::platform::FileLock> lock;
    std::atomic<unsigned> staged{0};
};
