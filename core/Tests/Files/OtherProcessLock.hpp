#pragma once
// Another process holding an exclusive flock on a file, as a copy running in a second
// instance of the application holds its partial file. The lock is held once `take` returns
// and let go when the object is destroyed (the process is then waited for).

#include <sys/types.h>

#include <filesystem>
#include <memory>

namespace marlowick::test {

class OtherProcessLock {
public:
    // Nothing when the process could not be started or could not lock the file.
    static std::unique_ptr<OtherProcessLock> take(const std::filesystem::path& file);
    OtherProcessLock(const OtherProcessLock&) = delete;
    OtherProcessLock& operator=(const OtherProcessLock&) = delete;
    ~OtherProcessLock();

private:
    OtherProcessLock(pid_t holder, int releaseEnd) : pid(holder), release(releaseEnd) {}
    pid_t pid;
    int release;
};

}  // namespace marlowick::test
