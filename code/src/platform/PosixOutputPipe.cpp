// POSIX output pipes: a FIFO in the file system, opened without blocking
// and written with poll, so that a reader that never comes or goes away
// never holds the writer.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "platform/OutputPipe.h"

namespace vexmend::platform {

namespace {

// How often a waiting writer looks at its stop flag.
constexpr int kWaitMilliseconds = 50;
// How often a writer tries to open its pipe until the reader has: the
// encoder opens its input soon after it starts, and waits for data.
constexpr int kOpenMilliseconds = 2;
// How long a writer waits between looks at how much is still unread.
constexpr int kUnreadStepMicroseconds = 200;
// A larger pipe buffer means fewer switches between writer and reader.
constexpr int kPipeBuffer = 1 << 20;

// Puts up to `size` bytes into the pipe `fd`: how many, or -1 with errno.
// Lent bytes are mapped into the pipe rather than copied (Linux's vmsplice).
ssize_t Put(int fd, const uint8_t* data, size_t size, bool lend)
{
#if defined(__linux__)
    if (lend) {
        iovec part{const_cast<uint8_t*>(data), size};
        return vmsplice(fd, &part, 1, SPLICE_F_NONBLOCK);
    }
#else
    (void)lend;
#endif
    return write(fd, data, size);
}

// Puts all `size` bytes into the pipe `fd`, waiting while it is full: false
// when the reader closed its end, the pipe failed or `stop` was set first.
bool PutAll(int fd, const uint8_t* data, size_t size, bool lend, const std::atomic<bool>& stop)
{
    while (size > 0) {
        if (fd < 0 || stop) return false;
        ssize_t written = Put(fd, data, size, lend);
        if (written > 0) {
            data += written;
            size -= static_cast<size_t>(written);
        } else if (written < 0 && errno == EAGAIN) {
            pollfd ready{fd, POLLOUT, 0};
            poll(&ready, 1, kWaitMilliseconds);
        } else if (written < 0 && errno != EINTR) {
            return false;
        }
    }
    return true;
}

}  // namespace

OutputPipe::OutputPipe(const std::string& path) : name(path)
{
    if (mkfifo(path.c_str(), 0600) != 0) {
        throw std::runtime_error("cannot make the pipe " + path + ": " + std::strerror(errno));
    }
}

OutputPipe::~OutputPipe()
{
    Close();
    unlink(name.c_str());
}

bool OutputPipe::Connect(const std::atomic<bool>& stop)
{
    // A reader that closes its end early makes writes fail with EPIPE; the
    // signal that comes with it stays blocked on this thread.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
    // Without a reader the open fails with ENXIO instead of waiting.
    while (!stop) {
        int fd = open(name.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            handle = fd;
            fcntl(fd, F_SETPIPE_SZ, kPipeBuffer);
            return true;
        }
        if (errno != ENXIO && errno != EINTR) return false;
        usleep(kOpenMilliseconds * 1000);
    }
    return false;
}

bool OutputPipe::Write(const uint8_t* data, size_t size, const std::atomic<bool>& stop)
{
    return PutAll(static_cast<int>(handle), data, size, false, stop);
}

bool OutputPipe::Lend(const uint8_t* data, size_t size, const std::atomic<bool>& stop)
{
    return PutAll(static_cast<int>(handle), data, size, true, stop);
}

bool OutputPipe::WaitUnread(uint64_t unread, const std::atomic<bool>& stop)
{
    const int fd = static_cast<int>(handle);
    while (fd >= 0 && !stop) {
        int pending = 0;
        if (ioctl(fd, FIONREAD, &pending) != 0) return false;
        if (static_cast<uint64_t>(pending) <= unread) return true;
        // A pipe whose reader has gone reports an error.
        pollfd ready{fd, POLLOUT, 0};
        if (poll(&ready, 1, 0) > 0 && (ready.revents & (POLLERR | POLLNVAL)) != 0) return false;
        usleep(kUnreadStepMicroseconds);
    }
    return false;
}

void OutputPipe::Close()
{
    if (handle >= 0) close(static_cast<int>(handle));
    handle = -1;
}

}  // namespace vexmend::platform
