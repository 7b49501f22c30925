// Windows file locks: a handle opened without sharing, which the system
// closes when the process ends. A link is opened as itself, never followed.
#include <windows.h>

#include <stdexcept>

#include "TextConvert.h"
#include "platform/Platform.h"

namespace vexmend::platform {

namespace {

HANDLE OpenUnshared(const std::string& path, DWORD disposition)
{
    return CreateFileW(Utf8ToWideNoLocale(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                       disposition, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

}  // namespace

FileLock::FileLock(const std::string& path, const std::string& text)
    : handle(reinterpret_cast<intptr_t>(OpenUnshared(path, CREATE_NEW)))
{
    if (reinterpret_cast<HANDLE>(handle) == INVALID_HANDLE_VALUE || !Append(text)) {
        if (reinterpret_cast<HANDLE>(handle) != INVALID_HANDLE_VALUE) {
            CloseHandle(reinterpret_cast<HANDLE>(handle));
        }
        throw std::runtime_error("cannot create the lock file " + path);
    }
}

std::unique_ptr<FileLock> FileLock::TryLock(const std::string& path)
{
    HANDLE file = OpenUnshared(path, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    return std::unique_ptr<FileLock>(new FileLock(reinterpret_cast<intptr_t>(file)));
}

void FileLock::Remove(std::unique_ptr<FileLock> lock, const std::string& path)
{
    // Windows removes no file that is open; an unshared file cannot be
    // opened by another process until it is closed.
    lock.reset();
    DeleteFileW(Utf8ToWideNoLocale(path).c_str());
}

FileLock::~FileLock() { CloseHandle(reinterpret_cast<HANDLE>(handle)); }

bool FileLock::Append(const std::string& text)
{
    HANDLE file = reinterpret_cast<HANDLE>(handle);
    DWORD written = 0;
    return SetFilePointer(file, 0, nullptr, FILE_END) != INVALID_SET_FILE_POINTER &&
           WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

std::string FileLock::Read() const
{
    HANDLE file = reinterpret_cast<HANDLE>(handle);
    std::string text;
    char chunk[4096];
    DWORD got = 0;
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) text.append(chunk, got);
    return text;
}

}  // namespace vexmend::platform
