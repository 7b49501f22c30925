#include "OutputClaim.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "FileIdentity.h"
#include "platform/Platform.h"

namespace fs = std::filesystem;
using vexmend::platform::FileLock;

namespace {

// Every file and folder the card mode makes for a while begins with this.
const char* const kPrefix = ".vexmend-";
const char* const kLockName = ".vexmend-card.lock";
// The lock file's first line; the run's own folders follow, one a line.
const char* const kLockText = "vexmend card run\n";

// Throws when `path` is itself a symbolic link: nothing is written through one.
void RefuseLink(const fs::path& path, const std::string& what)
{
    std::error_code error;
    if (fs::is_symlink(fs::symlink_status(path, error))) {
        throw std::runtime_error(what + path.u8string() +
                                 " is a symbolic link, which is never written through");
    }
}

std::string OwnName(const std::string& extension = "")
{
    return kPrefix + vexmend::UniqueName() + extension;
}

// The output folder's lock for this run: made anew, or taken over from a
// run that died.
std::unique_ptr<FileLock> Acquire(const std::string& path, const std::string& output)
{
    // A lock file that another run removes or makes in the meantime is
    // looked at again.
    for (int attempt = 0; attempt < 5; ++attempt) {
        try {
            return std::make_unique<FileLock>(path, kLockText);
        } catch (const std::runtime_error&) {
        }
        RefuseLink(fs::u8path(path), "");
        std::unique_ptr<FileLock> held = FileLock::TryLock(path);
        // A file still empty is being made by another run.
        if (held && held->Read().rfind(kLockText, 0) == 0) return held;
        std::error_code error;
        if (held || fs::exists(fs::u8path(path), error)) {
            throw OutputInUse(output + " is in use by another run");
        }
    }
    throw std::runtime_error("the output folder " + output + " takes no files");
}

// Removes the folders that the runs named in a taken-over lock file left.
void RemoveLeftovers(const std::string& lockText)
{
    std::istringstream lines(lockText.substr(std::string(kLockText).size()));
    std::error_code error;
    for (std::string line; std::getline(lines, line);) {
        const fs::path folder = fs::u8path(line);
        if (folder.filename().u8string().rfind(kPrefix, 0) == 0) fs::remove_all(folder, error);
    }
}

}  // namespace

WriteGuard::WriteGuard(std::string source, std::vector<std::string> clips)
    : source(std::move(source)), clips(std::move(clips))
{
}

void WriteGuard::Check(const std::string& path, const std::string& what) const
{
    RefuseLink(fs::u8path(path), what + " ");
    if (vexmend::SamePath(path, source) || vexmend::LiesIn(path, source)) {
        throw std::runtime_error(what + " " + path + " lies under " + source +
                                 ", which is never written");
    }
    for (const std::string& clip : clips) {
        if (vexmend::SamePath(path, clip)) {
            throw std::runtime_error(what + " " + path + " is the clip " + clip);
        }
    }
}

void CheckTakesFiles(const std::string& folder, const std::string& what)
{
    std::error_code error;
    fs::create_directories(fs::u8path(folder), error);
    const fs::path probe = fs::u8path(folder) / OwnName();
    const bool made = std::ofstream(probe, std::ios::binary).good();
    fs::remove(probe, error);
    if (!made) throw std::runtime_error(what + " " + folder + " takes no files");
}

void WriteWhole(const std::string& path, const std::string& text, const WriteGuard& guard)
{
    guard.Check(path, "the file");
    const fs::path target = fs::u8path(path), part = target.parent_path() / OwnName(".part");
    std::error_code error;
    {
        std::ofstream file(part, std::ios::binary);
        file << text;
        if (!file.flush()) error = std::make_error_code(std::errc::io_error);
    }
    if (!error) fs::rename(part, target, error);
    if (error) {
        fs::remove(part, error);
        throw std::runtime_error("cannot write " + path);
    }
}

OutputClaim::OutputClaim(const std::string& outputFolder, const std::string& workRoot)
    : output(outputFolder), lockPath((fs::u8path(outputFolder) / kLockName).u8string())
{
    std::error_code error;
    fs::create_directories(fs::u8path(output), error);
    if (!fs::is_directory(fs::u8path(output), error)) {
        throw std::runtime_error("cannot make the output folder " + output);
    }
    lock = Acquire(lockPath, output);
    RemoveLeftovers(lock->Read());
    try {
        // Each folder is noted before it is made, so that no kill leaves one
        // that the next run does not know of.
        fs::create_directories(fs::u8path(workRoot));
        for (std::string* folder : {&staging, &work}) {
            *folder = (fs::u8path(folder == &staging ? output : workRoot) / OwnName()).u8string();
            if (!lock->Append(*folder + "\n") || !fs::create_directory(fs::u8path(*folder))) {
                throw std::runtime_error("cannot make " + *folder);
            }
        }
    } catch (...) {
        Release();
        throw;
    }
}

OutputClaim::~OutputClaim() { Release(); }

void OutputClaim::Release()
{
    std::error_code error;
    for (const std::string& folder : {staging, work}) {
        if (!folder.empty()) fs::remove_all(fs::u8path(folder), error);
    }
    if (lock) FileLock::Remove(std::move(lock), lockPath);
}

std::string OutputClaim::StagedName(const std::string& extension)
{
    return (fs::u8path(staging) / (std::to_string(++staged) + extension)).u8string();
}

std::string OutputClaim::Publish(const std::string& stagedFile, const std::string& relative,
                                 const WriteGuard& guard) const
{
    const fs::path name = fs::u8path(relative);
    fs::path at = fs::u8path(output);
    std::error_code error;
    for (const fs::path& part : name.parent_path()) {
        at /= part;
        RefuseLink(at, "");
        fs::create_directory(at, error);
        if (!fs::is_directory(at, error)) throw std::runtime_error("cannot make " + at.u8string());
    }
    const fs::path target = at / name.filename();
    guard.Check(target.u8string(), "the result");
    fs::rename(fs::u8path(stagedFile), target, error);
    if (error) {
        throw std::runtime_error("cannot move the result to " + target.u8string() + ": " +
                                 error.message());
    }
    return target.u8string();
}
