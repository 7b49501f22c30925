// The temporary folders of support/TestSupport.h for Windows; the file helpers
// come from support/FileSupport.cpp. Running programs and making media with
// the system's ffmpeg stay on the POSIX side.
#include <windows.h>

#include <atomic>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "support/TestSupport.h"

namespace vexmend::test {

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
    std::filesystem::remove_all(std::filesystem::u8path(path), ignored);
}

}  // namespace vexmend::test
