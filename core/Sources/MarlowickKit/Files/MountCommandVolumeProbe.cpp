#include "Files/MountCommandVolumeProbe.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <thread>

#include "Text/ErrnoText.hpp"
#include "Block/MountTable.hpp"
#include "Block/SysfsBlockTree.hpp"
#include "Files/MountedFileSystemType.hpp"

extern char** environ;

namespace marlowick {
namespace {

struct MountRun {
    bool finished = false;
    int exitStatus = -1;
    std::string output;
    int spawnError = 0;
};

// Runs mount(8) with its output collected, for at most `timeout`; past it the whole
// process group is killed and reaped.
MountRun runMount(const std::vector<std::string>& arguments, std::chrono::duration<double> timeout) {
    MountRun run;
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        run.spawnError = errno;
        return run;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // A group of its own, so a FUSE daemon it started can be killed with it.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    run.spawnError = ::posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(pipeEnds[1]);
    if (run.spawnError != 0) {
        ::close(pipeEnds[0]);
        return run;
    }

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::nanoseconds>(timeout);
    bool outputOpen = true;
    int status = 0;
    while (true) {
        const pid_t waited = ::waitpid(pid, &status, WNOHANG);
        if (waited == pid) {
            run.finished = true;
            run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(-pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            break;
        }
        if (outputOpen) {
            pollfd ready{pipeEnds[0], POLLIN, 0};
            if (::poll(&ready, 1, 20) > 0) {
                char buffer[512];
                const ssize_t n = ::read(pipeEnds[0], buffer, sizeof buffer);
                if (n > 0) run.output.append(buffer, static_cast<std::size_t>(n));
                if (n == 0) outputOpen = false;
            }
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    // A FUSE daemon may keep the pipe open; take only what is already there.
    ::fcntl(pipeEnds[0], F_SETFL, O_NONBLOCK);
    char buffer[512];
    for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;) run.output.append(buffer, static_cast<std::size_t>(n));
    ::close(pipeEnds[0]);
    while (!run.output.empty() && (run.output.back() == '\n' || run.output.back() == ' ')) run.output.pop_back();
    return run;
}

std::optional<MountEntry> mountOfDevice(const std::vector<MountEntry>& table, const DeviceNumber& number) {
    for (const MountEntry& entry : table) {
        if (entry.major == number.major && entry.minor == number.minor && entry.root == "/") return entry;
    }
    return std::nullopt;
}

bool isMountedAt(const std::string& folder, const std::string& mountInfo) {
    for (const MountEntry& entry : MountTable::read(mountInfo)) {
        if (entry.mountPoint == folder) return true;
    }
    return false;
}

}  // namespace

bool MountCommandVolumeProbe::kernelKnows(const std::string& type) {
    std::ifstream filesystems("/proc/filesystems");
    for (std::string line; std::getline(filesystems, line);) {
        const std::size_t tab = line.rfind('\t');
        if ((tab == std::string::npos ? line : line.substr(tab + 1)) == type) return true;
    }
    return false;
}

std::optional<std::string> MountCommandVolumeProbe::fuseType(const std::string& type) {
    if (type == "exfat") return "exfat-fuse";
    return std::nullopt;
}

std::vector<PartitionVolumeInfo> MountCommandVolumeProbe::partitions(const std::string& wholeDiskBSDName) {
    std::vector<PartitionVolumeInfo> found;
    const SysfsBlockTree tree(systemRoots.sys);
    if (!SysfsBlockTree::isKernelName(wholeDiskBSDName) || !tree.exists(wholeDiskBSDName)) return found;
    const std::vector<MountEntry> table = MountTable::read(systemRoots.mountInfoPath());
    for (const std::string& name : tree.partitions(wholeDiskBSDName)) {
        const std::optional<std::int64_t> size = tree.sizeBytes(name);
        if (!size) continue;
        PartitionVolumeInfo info;
        info.bsdName = name;
        info.sizeBytes = *size;
        // "start" counts 512-byte units whatever the logical sector size.
        if (const std::optional<long long> start = tree.numberAttribute(name, "start"); start && *start >= 0) {
            info.offsetBytes = static_cast<std::int64_t>(*start) * 512;
        }
        info.volumeKind = MountedFileSystemType::probedType(systemRoots.dev + "/" + name);
        if (const std::optional<DeviceNumber> number = tree.deviceNumber(name)) {
            if (const std::optional<MountEntry> mounted = mountOfDevice(table, *number)) {
                info.mountPoint = mounted->mountPoint;
            }
        }
        info.isWritable = tree.attribute(name, "ro") == "0";
        found.push_back(std::move(info));
    }
    return found;
}

VolumeMountAttempt MountCommandVolumeProbe::mount(const std::string& partitionBSDName) {
    using Failed = VolumeMountAttempt::Failed;
    if (!SysfsBlockTree::isKernelName(partitionBSDName)) return {Failed{"not a device name: " + partitionBSDName}};
    const std::string device = systemRoots.dev + "/" + partitionBSDName;
    const std::optional<std::string> type = MountedFileSystemType::probedType(device);
    if (!type) return {Failed{"no file system found on " + device}};

    if (::mkdir(mountRoot.c_str(), 0700) != 0 && errno != EEXIST) {
        return {Failed{"could not make " + mountRoot + ": " + currentErrnoText()}};
    }
    const std::string folder = mountRoot + "/" + partitionBSDName;
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        return {Failed{"could not make " + folder + ": " + currentErrnoText()}};
    }
    const std::string mountInfo = systemRoots.mountInfoPath();
    if (isMountedAt(folder, mountInfo)) return {Failed{folder + " is already in use"}};

    std::string mountType = *type;
    if (!kernelKnows(mountType)) {
        if (const std::optional<std::string> fuse = fuseType(mountType)) mountType = *fuse;
    }
    const MountRun run = runMount({"mount", "-t", mountType, "-o", "nosuid,nodev", device, folder}, mountTimeout);
    if (run.finished && run.exitStatus == 0 && isMountedAt(folder, mountInfo)) return {VolumeMountAttempt::Mounted{}};

    // Nothing half-made stays: whatever got mounted is detached, the folder removed.
    if (isMountedAt(folder, mountInfo)) ::umount2(folder.c_str(), MNT_DETACH);
    ::rmdir(folder.c_str());
    if (run.spawnError != 0) return {Failed{"mount(8) could not be started: " + errnoText(run.spawnError)}};
    if (!run.finished) {
        return {Failed{"mount(8) did not finish within " + std::to_string(static_cast<long long>(mountTimeout.count())) +
                       " s"}};
    }
    return {Failed{"mount -t " + mountType + " exited with status " + std::to_string(run.exitStatus) +
                   (run.output.empty() ? "" : ": " + run.output)}};
}

std::optional<std::string> MountCommandVolumeProbe::deviceNode(const std::filesystem::path& mountedAt) {
    const std::optional<MountEntry> mount =
        MountedFileSystemType::mountHolding(mountedAt.string(), systemRoots.mountInfoPath());
    if (!mount) return std::nullopt;
    return mount->source;
}

}  // namespace marlowick
