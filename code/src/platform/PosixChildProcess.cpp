// POSIX child processes: posix_spawn into a new process group, standard
// streams on /dev/null, no other inherited descriptors.
#include "platform/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
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

struct SpawnSetup {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    SpawnSetup()
    {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
    }
    ~SpawnSetup()
    {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
};

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           bool captureError, const std::string& /*commandLine*/)
{
    std::vector<std::string> texts{program};
    texts.insert(texts.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& text : texts) argv.push_back(text.data());
    argv.push_back(nullptr);

    int pipeEnds[2] = {-1, -1};
    if (captureError && pipe2(pipeEnds, O_CLOEXEC) != 0) {
        throw std::runtime_error("cannot make a pipe for " + program);
    }
    SpawnSetup setup;
    posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&setup.actions, 1, "/dev/null", O_WRONLY, 0);
    if (captureError) {
        posix_spawn_file_actions_adddup2(&setup.actions, pipeEnds[1], 2);
    } else {
        posix_spawn_file_actions_addopen(&setup.actions, 2, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_addclosefrom_np(&setup.actions, 3);
    posix_spawnattr_setpgroup(&setup.attributes, 0);
    posix_spawnattr_setflags(&setup.attributes, POSIX_SPAWN_SETPGROUP);

    pid_t pid = 0;
    int failed = posix_spawn(&pid, argv[0], &setup.actions, &setup.attributes, argv.data(), environ);
    if (captureError) close(pipeEnds[1]);
    if (failed != 0) {
        if (captureError) close(pipeEnds[0]);
        throw std::runtime_error("cannot start " + program);
    }
    id = static_cast<uint32_t>(pid);
    errorPipe = pipeEnds[0];
}

ChildProcess::~ChildProcess()
{
    if (!TryWait()) Kill();
    if (errorPipe >= 0) close(static_cast<int>(errorPipe));
}

std::optional<int32_t> ChildProcess::TryWait()
{
    if (exitStatus) return exitStatus;
    int status = 0;
    pid_t done = waitpid(static_cast<pid_t>(id), &status, WNOHANG);
    if (done == static_cast<pid_t>(id)) exitStatus = StatusOf(status);
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
