#include "EncoderLocation.h"

#include "platform/Platform.h"

namespace vexmend {

std::wstring GetHostFolder()
{
    std::wstring folder = platform::ExecutablePath();
    std::wstring::size_type separator = folder.find_last_of(platform::kPathSeparator);
    if (separator != std::wstring::npos) folder.erase(separator);
    ToForwardSlashes(folder);
    return folder;
}

std::wstring GetEncoderPath() { return GetHostFolder() + L"/ffmpeg.exe"; }

void ReplaceAll(std::wstring& text, const std::wstring& from, const std::wstring& to)
{
    if (from.empty()) return;
    for (std::wstring::size_type at = text.find(from); at != std::wstring::npos;
         at = text.find(from)) {
        text.replace(at, from.size(), to);
    }
}

void ToForwardSlashes(std::wstring& path)
{
#if defined(_WIN32)
    ReplaceAll(path, L"\\", L"/");
#else
    (void)path;
#endif
}

}  // namespace vexmend
