// POSIX implementation of the platform layer: the same services as on
// Windows, so that the library's logic runs and is tested unchanged.
#include "platform/Platform.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <vector>

#include "TextConvert.h"

namespace vexmend::platform {

std::wstring ExecutablePath()
{
    // The buffer grows until the whole link target fits.
    std::vector<char> path(PATH_MAX);
    for (;;) {
        ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
        if (length <= 0) return std::wstring();
        if (static_cast<size_t>(length) < path.size()) {
            return Utf8ToWideNoLocale(std::string(path.data(), static_cast<size_t>(length)));
        }
        path.resize(path.size() * 2);
    }
}

std::wstring EnvironmentVariable(const std::wstring& name)
{
    const char* value = std::getenv(WideToUtf8(name).c_str());
    if (value == nullptr) return std::wstring();
    std::wstring wide = Utf8ToWideNoLocale(value);
    if (wide.size() >= 1024) return std::wstring();
    return wide;
}

}  // namespace vexmend::platform
