// POSIX child processes: fork and exec into a new process group, standard
// streams on /dev/null, no other inherited descriptors, killed when the
// thread that started them ends.
#include "platform/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <linux/close_range.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

extern char** environ;

namespace vexmend::platform {

namespace {

int32_t StatusOf(int status)
{
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return -WTERMSIG(status);
    return -1;
}

// Closes a descriptor when the scope ends.
struct Descriptor {
    int fd = -1;
    ~Descriptor()
    {
        if (fd >= 0) close(fd);
    }
};

// In the new process, before the program replaces it: only calls that are
// safe between fork and exec. Returns only when something failed.
[[noreturn]] void StartInChild(char* const* argv, int errorOutput, int statusPipe, pid_t parent)
{
    // The child dies with the thread that started it, also when the host is
    // killed; a parent gone before this call is caught by the test after it.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    setpgid(0, 0);
    int input = open("/dev/null", O_RDONLY);
    int output = open("/dev/null", O_WRONLY);
    if (input < 0 || output < 0 || dup2(input, 0) < 0 || dup2(output, 1) < 0 ||
        dup2(errorOutput >= 0 ? errorOutput : output, 2) < 0) {
        _exit(127);
    }
    // Every other descriptor of the host closes with the exec.
    if (syscall(SYS_close_range, 3u, ~0u, CLOSE_RANGE_CLOEXEC) != 0) {
        for (int fd = 3; fd < 4096; ++fd) fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    execve(argv[0], argv, environ);
    int error = errno;
    ssize_t ignored = write(statusPipe, &error, sizeof error);
    (void)ignored;
    _exit(127);
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           bool captureError, const std::string& /*commandLine*/)
{
    std::vector<std::string> texts{program};
    texts.insert(texts.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& text : texts) argv.push_back(text.data());
    argv.push_back(nullptr);

    int errorEnds[2] = {-1, -1}, statusEnds[2] = {-1, -1};
    if ((captureError && pipe2(errorEnds, O_CLOEXEC) != 0) || pipe2(statusEnds, O_CLOEXEC) != 0) {
        for (int fd : {errorEnds[0], errorEnds[1]}) {
            if (fd >= 0) close(fd);
        }
        throw std::runtime_error("cannot make a pipe for " + program);
    }
    Descriptor errorWrite{errorEnds[1]}, statusRead{statusEnds[0]}, statusWrite{statusEnds[1]};
    errorPipe = errorEnds[0];

    const pid_t parent = getpid();
    pid_t pid = fork();
    if (pid == 0) StartInChild(argv.data(), errorEnds[1], statusEnds[1], parent);
    if (pid < 0) {
        if (errorPipe >= 0) close(static_cast<int>(errorPipe));
        throw std::runtime_error("cannot start " + program);
    }
    // Also here, so that the group exists before the first kill of it.
    setpgid(pid, pid);
    id = static_cast<uint32_t>(pid);
    close(statusWrite.fd);
    statusWrite.fd = -1;
    // The status pipe closes at the exec; an error number comes through it
    // when the exec failed.
    int error = 0;
    ssize_t got;
    do {
        got = read(statusRead.fd, &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    if (got > 0) {
        Wait();
        if (errorPipe >= 0) close(static_cast<int>(errorPipe));
        throw std::runtime_error("cannot start " + program);
    }
}

ChildProcess::~ChildProcess()
{
    if (!TryWait()) Kill();
    if (errorPipe >= 0) close(static_cast<int>(errorPipe));
}

std::optional<int32_t> ChildProcess::TryWait(int timeoutMilliseconds)
{
    // There is no waitpid with a time limit: look in short steps, so that
    // the caller learns of the end soon after it came.
    constexpr int kStepMilliseconds = 5;
    for (int waited = 0; !exitStatus; waited += kStepMilliseconds) {
        int status = 0;
        pid_t done = waitpid(static_cast<pid_t>(id), &status, WNOHANG);
        if (done == static_cast<pid_t>(id)) {
            exitStatus = StatusOf(status);
        } else if (waited < timeoutMilliseconds) {
            usleep(kStepMilliseconds * 1000);
        } else {
            break;
        }
    }
    return exitStatus;
}

int32_t ChildProcess::Wait()
{
    while (!exitStatus) {
        int status = 0;
        pid_t done = waitpid(static_cast<pid_t>(id), &status, 0);
        if (done == static_cast<pid_t>(id)) {
            exitStatus = StatusOf(status);
        } else if (done == -1 && errno != EINTR) {
            exitStatus = -1;
        }
    }
    return *exitStatus;
}

void ChildProcess::Kill()
{
    // The whole group: the child and whatever it started.
    if (!exitStatus) kill(-static_cast<pid_t>(id), SIGKILL);
    Wait();
}

int64_t ChildProcess::ReadError(char* buffer, size_t size, int timeoutMilliseconds)
{
    if (errorPipe < 0) return 0;
    pollfd ready{static_cast<int>(errorPipe), POLLIN, 0};
    int polled;
    do {
        polled = poll(&ready, 1, timeoutMilliseconds);
    } while (polled == -1 && errno == EINTR);
    if (polled == 0) return -1;
    ssize_t got;
    do {
        got = read(static_cast<int>(errorPipe), buffer, size);
    } while (got == -1 && errno == EINTR);
    return got < 0 ? 0 : got;
}

}  // namespace vexmend::platform
