#include "Support/TestSupport.hpp"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace marlowick::test {

CommandOutput runCommand(const std::string& shellCommand) {
    CommandOutput result;
    const std::string full = "(" + shellCommand + ") 2>&1";
    FILE* pipe = ::popen(full.c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    std::array<char, 4096> buffer{};
    std::size_t got = 0;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        result.output.append(buffer.data(), got);
    }
    const int status = ::pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string inChildProcess(const std::function<std::string()>& work) {
    int channel[2];
    if (::pipe2(channel, O_CLOEXEC) != 0) return "could not start a child process";
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(channel[0]);
        ::close(channel[1]);
        return "could not start a child process";
    }
    if (child == 0) {
        ::close(channel[0]);
        const std::string said = work();
        std::size_t written = 0;
        while (written < said.size()) {
            const ssize_t n = ::write(channel[1], said.data() + written, said.size() - written);
            if (n <= 0) break;
            written += static_cast<std::size_t>(n);
        }
        ::_exit(0);
    }
    ::close(channel[1]);
    std::string heard;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = ::read(channel[0], buffer, sizeof buffer)) > 0) heard.append(buffer, static_cast<std::size_t>(n));
    ::close(channel[0]);
    (void)::waitpid(child, nullptr, 0);
    return heard;
}

bool hasTool(const std::string& name) {
    return runCommand("command -v " + name + " >/dev/null || test -x /usr/sbin/" + name +
                      " || test -x /sbin/" + name)
               .exitCode == 0;
}

bool isRoot() { return ::geteuid() == 0; }

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "marlowick-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    root = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
}

void writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::vector<std::uint8_t> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void createSparseFile(const std::filesystem::path& path, std::int64_t sizeBytes) {
    { std::ofstream create(path, std::ios::binary | std::ios::trunc); }
    std::filesystem::resize_file(path, static_cast<std::uintmax_t>(sizeBytes));
}

std::optional<LoopDevice> LoopDevice::attach(const std::filesystem::path& file, int sectorSize,
                                             std::int64_t offsetBytes, std::int64_t sizeLimitBytes,
                                             bool scanPartitions) {
    if (!isRoot() || !hasTool("losetup")) return std::nullopt;
    std::string command = "losetup --find --show --sector-size " + std::to_string(sectorSize);
    if (offsetBytes > 0) command += " --offset " + std::to_string(offsetBytes);
    if (sizeLimitBytes > 0) command += " --sizelimit " + std::to_string(sizeLimitBytes);
    if (scanPartitions) command += " --partscan";
    command += " '" + file.string() + "'";
    CommandOutput attached = runCommand(command);
    if (attached.exitCode != 0) return std::nullopt;
    while (!attached.output.empty() && (attached.output.back() == '\n' || attached.output.back() == ' ')) {
        attached.output.pop_back();
    }
    if (attached.output.rfind("/dev/loop", 0) != 0) return std::nullopt;
    // Partitions a test lists with partx stay in the kernel after a plain detach; drop any
    // left on this device by an earlier run, so a test sees only its own.
    (void)runCommand("partx -d " + attached.output);
    return LoopDevice(attached.output);
}

LoopDevice::LoopDevice(LoopDevice&& other) noexcept : devicePath(std::move(other.devicePath)) {
    other.devicePath.clear();
}

LoopDevice::~LoopDevice() {
    if (!devicePath.empty()) {
        (void)runCommand("partx -d " + devicePath);
        (void)runCommand("losetup -d " + devicePath);
    }
}

std::string LoopDevice::name() const { return devicePath.substr(devicePath.rfind('/') + 1); }

}  // namespace marlowick::test
