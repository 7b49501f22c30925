#include "VideoRepairManager/TemporaryOutput.h"

#include <Poco/File.h>
#include <Poco/Path.h>

#include <filesystem>

#include "FileIdentity.h"

namespace vexmend {

namespace fs = std::filesystem;

namespace {

const char* const kPrefix = ".vexmend-";
// Longest extension kept, so that the name stays short whatever the output's.
constexpr size_t kLongestExtension = 16;

}  // namespace

bool IsTemporaryOutputName(const std::string& path)
{
    return fs::u8path(path).filename().u8string().rfind(kPrefix, 0) == 0;
}

TemporaryOutput::TemporaryOutput(const std::string& outputPath)
    : target(fs::absolute(fs::u8path(outputPath)).u8string())
{
    const fs::path folder = fs::u8path(target).parent_path();
    for (fs::path up = folder; !up.empty() && !fs::exists(up); up = up.parent_path()) {
        madeFolders.push_back(up.u8string());
        if (up == up.parent_path()) break;
    }
    // The output's extension stays: the encoder picks the container by it.
    std::string extension = fs::u8path(target).extension().u8string();
    if (extension.size() > kLongestExtension) extension.clear();
    try {
        Poco::File(folder.u8string()).createDirectories();
        do {
            path = (folder / fs::u8path(kPrefix + UniqueName() + extension)).u8string();
        } while (!Poco::File(path).createFile());
    } catch (...) {
        path.clear();
        RemoveLeftovers();
        throw;
    }
}

TemporaryOutput::~TemporaryOutput() { RemoveLeftovers(); }

void TemporaryOutput::RemoveLeftovers()
{
    std::error_code ignored;
    if (!committed && !path.empty()) fs::remove(fs::u8path(path), ignored);
    for (const std::string& folder : madeFolders) fs::remove(fs::u8path(folder), ignored);
}

void TemporaryOutput::Commit()
{
    Poco::File(path).renameTo(target);
    committed = true;
}

}  // namespace vexmend
