#include "Block/UnmountSystemCalls.hpp"

#include <sys/mount.h>
#include <unistd.h>

#include <thread>

namespace marlowick {

int UnmountSystemCalls::unmount(const std::string& mountPoint) { return ::umount2(mountPoint.c_str(), 0); }

void UnmountSystemCalls::sync() { ::sync(); }

void UnmountSystemCalls::pause(std::chrono::milliseconds duration) { std::this_thread::sleep_for(duration); }

}  // namespace marlowick
