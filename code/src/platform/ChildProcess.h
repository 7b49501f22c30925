// A child program run by the library: started without a window, its standard
// streams on the null device (standard error optionally on a pipe that the
// library reads), in a group of its own so that stopping it also stops every
// process it started.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vexmend::platform {

class ChildProcess {
public:
    // Starts `program` (UTF-8 path) with `arguments`, each passed to it as one
    // argument; the program is never looked up from a command line. On
    // Windows a non-empty `commandLine` (UTF-8) is the command-line text the
    // child receives in place of the one quoted from the arguments; elsewhere
    // it is not used. Throws std::runtime_error when it cannot be started.
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                 bool captureError, const std::string& commandLine = std::string());
    // Stops the child if it still runs and releases its handles.
    ~ChildProcess();

    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    uint32_t Id() const { return id; }

    // The exit status once the child has ended (negative when it was ended by
    // a signal or crashed), nothing while it still runs after waiting up to
    // `timeoutMilliseconds` for its end.
    std::optional<int32_t> TryWait(int timeoutMilliseconds = 0);
    int32_t Wait();

    // Stops the child and every process it started, and waits for it.
    void Kill();

    // Reads up to `size` bytes of the child's standard error: the count read,
    // 0 at its end, -1 when nothing came within `timeoutMilliseconds`.
    int64_t ReadError(char* buffer, size_t size, int timeoutMilliseconds);

private:
    uint32_t id = 0;
    std::optional<int32_t> exitStatus;
#if defined(_WIN32)
    void* process = nullptr;
    void* job = nullptr;
#endif
    // Standard error's read end (a descriptor, or a handle on Windows).
    intptr_t errorPipe = -1;
};

}  // namespace vexmend::platform
