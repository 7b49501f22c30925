// A folder of one repair call's own under a repair folder of the work
// folder, which processes sharing the work folder may use at the same time.
#pragma once

#include <memory>
#include <string>

#include "platform/Platform.h"

namespace vexmend {

class CallFolder {
public:
    // Makes `parent` (UTF-8) when it is missing, removes what calls of dead
    // processes left in it, and makes a new folder of this call's own in it,
    // locked while the call lives. Throws when it cannot.
    explicit CallFolder(const std::string& parent);
    // Removes the folder with everything in it.
    ~CallFolder();

    CallFolder(const CallFolder&) = delete;
    CallFolder& operator=(const CallFolder&) = delete;

    const std::string& Path() const { return path; }

    // Notes a temporary file that the call keeps outside the folder, so that
    // it is removed with the folder when the process dies before the call
    // removes it. Only files named by TemporaryOutput are ever removed so.
    void Note(const std::string& temporaryFile);

private:
    std::string path;
    std::unique_ptr<platform::FileLock> lock;
};

}  // namespace vexmend
