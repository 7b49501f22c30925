// The file helpers of support/TestSupport.h for Windows: the unit tests built
// into the Windows test program use only these. Running programs and making
// media with the system's ffmpeg stay on the POSIX side.
#include <windows.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "support/TestSupport.h"

namespace vexmend::test {

namespace {

std::filesystem::path PathOf(const std::string& utf8) { return std::filesystem::u8path(utf8); }

}  // namespace

TempFolder::TempFolder()
{
    // %TEMP%\vexmend-test-<process>-<counter>; made with CreateDirectoryW so
    // that a name already in use is never shared with another run.
    static std::atomic<unsigned> counter{0};
    std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 1000; ++attempt) {
        std::filesystem::path candidate = base / (L"vexmend-test-" +
                                                  std::to_wstring(GetCurrentProcessId()) + L"-" +
                                                  std::to_wstring(counter++));
        if (CreateDirectoryW(candidate.c_str(), nullptr)) {
            path = candidate.generic_u8string();
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    throw std::runtime_error("no temporary folder could be made");
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
    std::ifstream in(PathOf(path), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool Exists(const std::string& path)
{
    std::error_code ignored;
    return std::filesystem::exists(PathOf(path), ignored);
}

uint64_t HashFile(const std::string& path)
{
    uint64_t hash = 1469598103934665603ull;
    for (uint8_t byte : ReadBytes(path)) {
        hash ^= byte;
        hash *= 1099511628211ull;
    }
    return hash;
}

// Lines of a Windows text file: each ends in CR LF, and neither character is
// part of the line. A lone LF still ends a line.
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
