// POSIX implementation of the platform layer: the same services as on
// Windows, so that the library's logic runs and is tested unchanged.
#include "platform/CommandLine.h"
#include "platform/Platform.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

#include "TextConvert.h"

extern char** environ;

namespace vexmend::platform {

std::wstring ExecutablePath()
{
    char path[PATH_MAX] = {};
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return std::wstring();
    std::wstring wide = Utf8ToWideNoLocale(std::string(path, static_cast<size_t>(length)));
    if (wide.size() > 259) wide.resize(259);
    return wide;
}

std::wstring EnvironmentVariable(const std::wstring& name)
{
    const char* value = std::getenv(WideToUtf8(name).c_str());
    if (value == nullptr) return std::wstring();
    std::wstring wide = Utf8ToWideNoLocale(value);
    if (wide.size() >= 1024) return std::wstring();
    return wide;
}

namespace {

bool IsRegularFile(const std::wstring& path)
{
    struct stat status {};
    return !path.empty() && stat(WideToUtf8(path).c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

// posix_spawn attributes and file actions, released on every path.
struct SpawnSetup {
    posix_spawn_file_actions_t actions;
    SpawnSetup() { posix_spawn_file_actions_init(&actions); }
    ~SpawnSetup() { posix_spawn_file_actions_destroy(&actions); }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
};

}  // namespace

bool StartHiddenProcess(wchar_t* commandLine, ProcessInformation& info)
{
    ParsedCommandLine parsed = ParseCommandLine(commandLine, IsRegularFile);
    if (parsed.program.empty()) return false;

    std::vector<std::string> texts;
    texts.push_back(WideToUtf8(parsed.program));
    for (const std::wstring& argument : parsed.arguments) texts.push_back(WideToUtf8(argument));
    std::vector<char*> argv;
    for (std::string& text : texts) argv.push_back(text.data());
    argv.push_back(nullptr);

    // No window means no terminal: the child's standard streams go nowhere,
    // and it inherits none of the library's other descriptors.
    SpawnSetup setup;
    for (int fd = 0; fd <= 2; ++fd) {
        posix_spawn_file_actions_addopen(&setup.actions, fd, "/dev/null",
                                         fd == 0 ? O_RDONLY : O_WRONLY, 0);
    }
    posix_spawn_file_actions_addclosefrom_np(&setup.actions, 3);

    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &setup.actions, nullptr, argv.data(), environ) != 0) {
        return false;
    }
    // The child's id stands in for both handles, which POSIX does not have.
    info.process = reinterpret_cast<void*>(static_cast<intptr_t>(pid));
    info.thread = info.process;
    info.processId = static_cast<uint32_t>(pid);
    info.threadId = static_cast<uint32_t>(pid);
    return true;
}

int32_t WaitForProcess(const ProcessInformation& info)
{
    pid_t pid = static_cast<pid_t>(info.processId);
    int status = 0;
    pid_t waited;
    while ((waited = waitpid(pid, &status, 0)) == -1 && errno == EINTR) {
    }
    if (waited != pid) return -1;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return -WTERMSIG(status);
    return -1;
}

void CloseProcessHandles(const ProcessInformation&)
{
    // Nothing to close: the child was reaped by WaitForProcess.
}

}  // namespace vexmend::platform
