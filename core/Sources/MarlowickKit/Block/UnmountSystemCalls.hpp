#pragma once
// The system calls the whole-disk unmounter makes, behind one seam so that tests can
// script a busy file system. The base class makes the real calls.

#include <chrono>
#include <string>

namespace marlowick {

class UnmountSystemCalls {
public:
    virtual ~UnmountSystemCalls() = default;

    // umount2(mountPoint, 0): 0, or −1 with errno set. Never lazy, never forced: a detached
    // file system could still be writing to the disk we are about to overwrite.
    virtual int unmount(const std::string& mountPoint);
    // Pushes dirty data of every file system towards its disk, so that a writer that just
    // finished no longer keeps the file system busy.
    virtual void sync();
    virtual void pause(std::chrono::milliseconds duration);
};

}  // namespace marlowick
