#include "VideoRepairManager/CallFolder.h"

#include <Poco/File.h>

#include <filesystem>
#include <sstream>

#include "FileIdentity.h"
#include "VideoRepairManager/TemporaryOutput.h"

namespace vexmend {

namespace fs = std::filesystem;

namespace {

const char* const kLockName = "/owner.lock";
// The lock file's first line; the noted temporary files follow, one a line.
const char* const kLockText = "vexmend call\n";

// Removes every folder in `parent` whose lock no live process holds, with
// the temporary files it noted. A folder whose lock file is missing or still
// empty is being made, or was abandoned in that instant: it stays.
void RemoveAbandoned(const std::string& parent)
{
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(fs::u8path(parent), error)) {
        const std::string folder = entry.path().u8string();
        std::string text;
        if (auto lock = platform::FileLock::TryLock(folder + kLockName)) text = lock->Read();
        if (text.rfind(kLockText, 0) != 0) continue;
        std::istringstream lines(text.substr(std::string(kLockText).size()));
        for (std::string noted; std::getline(lines, noted);) {
            if (IsTemporaryOutputName(noted)) fs::remove(fs::u8path(noted), error);
        }
        fs::remove_all(entry.path(), error);
    }
}

}  // namespace

CallFolder::CallFolder(const std::string& parent)
{
    Poco::File(parent).createDirectories();
    RemoveAbandoned(parent);
    do {
        path = parent + "/" + UniqueName();
    } while (!Poco::File(path).createDirectory());
    try {
        lock = std::make_unique<platform::FileLock>(path + kLockName, kLockText);
    } catch (...) {
        Poco::File(path).remove(true);
        throw;
    }
}

CallFolder::~CallFolder()
{
    // Released first: Windows removes no file that is open.
    lock.reset();
    std::error_code ignored;
    fs::remove_all(fs::u8path(path), ignored);
}

void CallFolder::Note(const std::string& temporaryFile) { lock->Append(temporaryFile + "\n"); }

}  // namespace vexmend
