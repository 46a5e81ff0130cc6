#include "Files/OtherProcessLock.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

namespace marlowick::test {

std::unique_ptr<OtherProcessLock> OtherProcessLock::take(const std::filesystem::path& file) {
    int ready[2];
    int release[2];
    if (::pipe2(ready, O_CLOEXEC) != 0) return nullptr;
    if (::pipe2(release, O_CLOEXEC) != 0) {
        ::close(ready[0]);
        ::close(ready[1]);
        return nullptr;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls here: the test process may have other threads.
        ::close(ready[0]);
        ::close(release[1]);
        const int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0 || ::flock(fd, LOCK_EX) != 0) ::_exit(1);
        const char locked = 'L';
        if (::write(ready[1], &locked, 1) != 1) ::_exit(1);
        char ignored = 0;
        while (::read(release[0], &ignored, 1) > 0) {
        }
        ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    char answer = 0;
    const bool locked = pid > 0 && ::read(ready[0], &answer, 1) == 1;
    ::close(ready[0]);
    std::unique_ptr<OtherProcessLock> holder(pid > 0 ? new OtherProcessLock(pid, release[1]) : nullptr);
    if (pid <= 0) ::close(release[1]);
    if (!locked) holder.reset();
    return holder;
}

OtherProcessLock::~OtherProcessLock() {
    ::close(release);
    (void)::waitpid(pid, nullptr, 0);
}

}  // namespace marlowick::test
