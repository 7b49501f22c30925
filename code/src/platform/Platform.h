// The few operating-system services the library needs. Each platform has its
// own implementation files; nothing else in the library includes system headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace vexmend::platform {

// Separator of the paths the operating system hands out.
#if defined(_WIN32)
constexpr wchar_t kPathSeparator = L'\\';
#else
constexpr wchar_t kPathSeparator = L'/';
#endif

// Full path of the running program's executable (the host, not the library),
// however long it is.
std::wstring ExecutablePath();

// Value of an environment variable; empty when it is not set or does not fit
// a buffer of 1024 wide characters with its terminating NUL.
std::wstring EnvironmentVariable(const std::wstring& name);

// Releases a block from AllocateZeroedBlock.
struct BlockRelease {
    size_t size = 0;
    void operator()(uint8_t* block) const;
};
using ZeroedBlock = std::unique_ptr<uint8_t[], BlockRelease>;

// A large zero-filled block taken straight from the system, backed by huge
// pages where the system offers them so that first use costs few page
// faults. Throws std::bad_alloc when the memory is not available.
ZeroedBlock AllocateZeroedBlock(size_t size);

// A file that one process holds locked while it lives. The system drops the
// lock when the process ends, however it ends, so that another process can
// tell a file abandoned by a dead process from one in use.
class FileLock {
public:
    // Creates `path` (UTF-8), which must not exist yet, locked, with `text`
    // in it. Throws std::runtime_error when it cannot.
    FileLock(const std::string& path, const std::string& text);
    // The existing file `path` locked, when no live process holds it; null
    // when one does, the file cannot be opened, is a link, or was removed
    // by its holder in the meantime.
    static std::unique_ptr<FileLock> TryLock(const std::string& path);
    // Removes the file `path` of `lock` and releases the lock, in the order
    // that lets no other process lock the removed file and take it for free.
    static void Remove(std::unique_ptr<FileLock> lock, const std::string& path);
    ~FileLock();

    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Appends `text` to the file; false when it cannot.
    bool Append(const std::string& text);
    // The file's whole text.
    std::string Read() const;

private:
    explicit FileLock(intptr_t handle) : handle(handle) {}
    intptr_t handle;
};

}  // namespace vexmend::platform
