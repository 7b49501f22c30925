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
// cut to 259 characters as the classic Windows path buffer does.
std::wstring ExecutablePath();

// Value of an environment variable; empty when it is not set or does not fit
// a buffer of 1024 wide characters with its terminating NUL.
std::wstring EnvironmentVariable(const std::wstring& name);

// Handles and ids of a started child process; all zero when none runs.
struct ProcessInformation {
    void* process = nullptr;
    void* thread = nullptr;
    uint32_t processId = 0;
    uint32_t threadId = 0;
};

// Starts the program named by the first token of `commandLine` (Windows
// command-line rules: the line is split and unquoted as CreateProcess does)
// without a window, inheriting no handles. The buffer may be changed while it
// is parsed. Returns false when the process could not be started.
bool StartHiddenProcess(wchar_t* commandLine, ProcessInformation& info);

// Waits without time limit until the process ends; returns its exit status
// (POSIX: the negative signal number when a signal ended it; -1 when the
// status cannot be read).
int32_t WaitForProcess(const ProcessInformation& info);

// Closes the thread handle, then the process handle.
void CloseProcessHandles(const ProcessInformation& info);

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

}  // namespace vexmend::platform
