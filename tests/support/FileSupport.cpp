// The test helpers for temporary folders, file contents and text lines, the
// same on every platform: paths are UTF-8 texts.
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/TestSupport.h"

namespace vexmend::test {

static auto PathOf(const std::string& utf8) { return std::filesystem::u8path(utf8); }

TempFolder::TempFolder()
{
    // Tried names until one is made here: a folder that exists already is
    // never shared with another test run.
    static std::atomic<unsigned> counter{0};
    const auto clock = std::chrono::steady_clock::now().time_since_epoch().count();
    for (const auto base = std::filesystem::temp_directory_path();;) {
        const auto candidate = base / ("vexmend-test-" + std::to_string(clock) + "-" +
                                       std::to_string(counter++));
        if (std::filesystem::create_directory(candidate)) {
            path = candidate.generic_u8string();
            return;
        }
    }
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(PathOf(path), ignored);
}

std::vector<uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(PathOf(path), std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(PathOf(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::string ReadText(const std::string& path)
{
    std::vector<uint8_t> bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

bool Exists(const std::string& path)
{
    std::error_code ignored;
    return std::filesystem::exists(PathOf(path), ignored);
}

std::map<std::string, uint64_t> HashTree(const std::string& folder)
{
    std::map<std::string, uint64_t> hashes;
    std::error_code ignored;
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(PathOf(folder), ignored)) {
        const std::string name = entry.path().u8string();
        if (!entry.is_symlink(ignored) && entry.is_regular_file(ignored)) {
            hashes[name] = std::hash<std::string>{}(ReadText(name));
        }
    }
    return hashes;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

}  // namespace vexmend::test
