// A named pipe that the library writes and a child program reads as a file,
// so that data reaches the child as it is made, without a copy on disk.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace vexmend::platform {

class OutputPipe {
public:
    // Makes a pipe for the data file at `path` (UTF-8): a FIFO at the path,
    // or on Windows a named pipe whose name ends with the file's name.
    // Throws std::runtime_error when it cannot be made.
    explicit OutputPipe(const std::string& path);
    // Closes the pipe and removes its name.
    ~OutputPipe();

    OutputPipe(const OutputPipe&) = delete;
    OutputPipe& operator=(const OutputPipe&) = delete;

    // The name under which the reader opens the pipe.
    const std::string& Name() const { return name; }

    // Waits until a reader has opened the pipe: false when `stop` was set
    // first or the pipe failed. Call it on the thread that writes.
    bool Connect(const std::atomic<bool>& stop);
    // Writes all `size` bytes: false when the reader closed its end, the
    // pipe failed or `stop` was set first.
    bool Write(const uint8_t* data, size_t size, const std::atomic<bool>& stop);
    // As Write, but where the system can (Linux) without copying the bytes:
    // the pipe then refers to the caller's memory, which must stay unchanged
    // until WaitUnread shows them read.
    bool Lend(const uint8_t* data, size_t size, const std::atomic<bool>& stop);
    // Waits until at most `unread` of the bytes written or lent are still to
    // be read: false when the reader closed its end, the pipe failed or
    // `stop` was set first.
    bool WaitUnread(uint64_t unread, const std::atomic<bool>& stop);
    // Closes the writing end, so that the reader finds the data's end.
    void Close();

private:
    std::string name;
    intptr_t handle = -1;
};

}  // namespace vexmend::platform
