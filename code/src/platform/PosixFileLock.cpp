// POSIX file locks: flock on an open descriptor, which the system releases
// when the descriptor's last holder ends.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

#include "platform/Platform.h"

namespace vexmend::platform {

namespace {

int LockFile(int descriptor, int operation)
{
    int locked;
    do {
        locked = flock(descriptor, operation);
    } while (locked != 0 && errno == EINTR);
    return locked;
}

}  // namespace

FileLock::FileLock(const std::string& path, const std::string& text)
    : handle(open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644))
{
    // Between the creation and the lock another process may hold the new,
    // still empty file for a moment: it takes an empty file for one in use.
    if (handle < 0 || LockFile(static_cast<int>(handle), LOCK_EX) != 0 || !Append(text)) {
        if (handle >= 0) close(static_cast<int>(handle));
        throw std::runtime_error("cannot create the lock file " + path);
    }
}

std::unique_ptr<FileLock> FileLock::TryLock(const std::string& path)
{
    int descriptor = open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (descriptor < 0) return nullptr;
    // A holder removes the file before it releases the lock: a lock won on
    // a file no longer at `path` is worth nothing.
    struct stat locked, named;
    if (LockFile(descriptor, LOCK_EX | LOCK_NB) != 0 || fstat(descriptor, &locked) != 0 ||
        lstat(path.c_str(), &named) != 0 || locked.st_dev != named.st_dev ||
        locked.st_ino != named.st_ino) {
        close(descriptor);
        return nullptr;
    }
    return std::unique_ptr<FileLock>(new FileLock(descriptor));
}

void FileLock::Remove(std::unique_ptr<FileLock> lock, const std::string& path)
{
    unlink(path.c_str());
    lock.reset();
}

FileLock::~FileLock() { close(static_cast<int>(handle)); }

bool FileLock::Append(const std::string& text)
{
    const int descriptor = static_cast<int>(handle);
    off_t end = lseek(descriptor, 0, SEEK_END);
    return end >= 0 &&
           pwrite(descriptor, text.data(), text.size(), end) == static_cast<ssize_t>(text.size());
}

std::string FileLock::Read() const
{
    std::string text;
    char chunk[4096];
    ssize_t got;
    while ((got = pread(static_cast<int>(handle), chunk, sizeof chunk,
                        static_cast<off_t>(text.size()))) > 0) {
        text.append(chunk, static_cast<size_t>(got));
    }
    return text;
}

}  // namespace vexmend::platform
