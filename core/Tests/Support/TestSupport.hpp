#pragma once
// Helpers the tests share: temporary folders, files, outside commands and loop devices.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace marlowick::test {

// Names each row of a parameterised table after its `name` field:
// INSTANTIATE_TEST_SUITE_P(Suite, Fixture, ::testing::ValuesIn(rows), test::CaseName{});
struct CaseName {
    template <class Info>
    std::string operator()(const Info& info) const {
        return std::string(info.param.name);
    }
};

struct CommandOutput {
    int exitCode = -1;
    std::string output;  // standard output and standard error together
};

// Runs a shell command and collects what it prints.
CommandOutput runCommand(const std::string& shellCommand);

// Runs `work` in a child process and gives back the text it returned; "could not start a
// child process" when none could be. The child leaves with _exit, so none of the test's
// clean-up runs twice. For what a test must not do to itself: drop privileges, limit a
// resource, filter system calls.
std::string inChildProcess(const std::function<std::string()>& work);

// True when `name` is found on PATH (the outside checkers: sfdisk, fsck.exfat, …).
bool hasTool(const std::string& name);
bool isRoot();

// A fresh folder under the system temp directory, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    [[nodiscard]] const std::filesystem::path& path() const { return root; }
    [[nodiscard]] std::filesystem::path file(const std::string& name) const { return root / name; }

private:
    std::filesystem::path root;
};

void writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> readFile(const std::filesystem::path& path);
// A sparse file of the given size, for images larger than memory.
void createSparseFile(const std::filesystem::path& path, std::int64_t sizeBytes);

// A loop device attached to a file for the lifetime of the object; detached by its own name.
class LoopDevice {
public:
    // Attaches with `losetup --find --show`; nullopt when not root or no device is free.
    // With `scanPartitions` the kernel lists the file's partitions as loopNpM.
    static std::optional<LoopDevice> attach(const std::filesystem::path& file, int sectorSize = 512,
                                            std::int64_t offsetBytes = 0, std::int64_t sizeLimitBytes = 0,
                                            bool scanPartitions = false);
    LoopDevice(LoopDevice&& other) noexcept;
    LoopDevice& operator=(LoopDevice&&) = delete;
    ~LoopDevice();
    [[nodiscard]] const std::string& path() const { return devicePath; }
    [[nodiscard]] std::string name() const;  // "loop3"

private:
    explicit LoopDevice(std::string path) : devicePath(std::move(path)) {}
    std::string devicePath;
};

}  // namespace marlowick::test

// Skips the test unless it can attach loop devices (root, losetup present).
#define MARLOWICK_REQUIRE_ROOT()                                              \
    do {                                                                      \
        if (!::marlowick::test::isRoot()) GTEST_SKIP() << "needs root for losetup"; \
        if (!::marlowick::test::hasTool("losetup")) GTEST_SKIP() << "needs losetup"; \
    } while (0)

// Skips the test when an outside checker is not installed.
#define MARLOWICK_REQUIRE_TOOL(name)                                                        \
    do {                                                                                    \
        if (!::marlowick::test::hasTool(name)) GTEST_SKIP() << "needs " << (name) << " installed"; \
    } while (0)
