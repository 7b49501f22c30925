// Windows implementation of the platform layer.
#include "platform/Platform.h"

#include <windows.h>

#include <vector>

namespace vexmend::platform {

std::wstring ExecutablePath()
{
    // No module handle: the host program's file, not this library's. The
    // buffer grows until the whole path fits; a cut path would name another
    // folder.
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return std::wstring();
        if (length < path.size()) return std::wstring(path.data(), length);
        if (path.size() >= 0x10000) return std::wstring();
        path.resize(path.size() * 2);
    }
}

std::wstring EnvironmentVariable(const std::wstring& name)
{
    wchar_t value[1024] = {};
    DWORD length = GetEnvironmentVariableW(name.c_str(), value, 1024);
    if (length == 0 || length >= 1024) return std::wstring();
    return std::wstring(value, length);
}

}  // namespace vexmend::platform
