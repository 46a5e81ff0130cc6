#pragma once
// A blank drive for the helper program: a sparse image file behind a loop device, and the
// reference a command names it by, built from the system's own description of the disk
// (fingerprint included) as the application builds it from the drive it lists.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HelperWire/HelperDiskRef.hpp"
#include "HelperWire/HelperEngineRunner.hpp"
#include "Exfat/ExfatTestVolume.hpp"
#include "Layout/VentoyLayout.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick::test {

class HelperTestDrive {
public:
    static constexpr std::int64_t sectorCount = 512 * 1024;  // 256 MiB of 512-byte sectors

    // Nothing, with the reason to skip, when no loop device can be had or the system does
    // not describe it.
    static std::unique_ptr<HelperTestDrive> attach(std::string& skipReason, std::int64_t sectors = sectorCount);

    [[nodiscard]] const HelperDiskRef& disk() const { return diskRef; }
    [[nodiscard]] const std::string& devicePath() const { return loop->path(); }
    [[nodiscard]] const std::filesystem::path& imagePath() const { return image; }
    [[nodiscard]] const TempDir& folder() const { return dir; }
    // sha256sum of the whole device, read through the device node.
    [[nodiscard]] std::string sha256() const;
    // True when the device starts with the file's bytes (cmp, through the device node).
    [[nodiscard]] bool startsWith(const std::filesystem::path& file) const;
    // True when `count` bytes of the device from `offset` on are all zero.
    [[nodiscard]] bool isZero(std::int64_t offset, std::int64_t count) const;

private:
    TempDir dir;
    std::filesystem::path image;
    std::optional<LoopDevice> loop;
    HelperDiskRef diskRef;
};

// Partition 1 of a prepared drive, mounted by a real exFAT driver through a loop device of
// its own for the lifetime of the object; unmounted and detached however the test ends.
class MountedDataPartition {
public:
    static std::unique_ptr<MountedDataPartition> mount(const HelperTestDrive& drive, const VentoyLayout& layout,
                                                       std::string& whyNot);
    [[nodiscard]] const std::filesystem::path& root() const { return volume->path(); }

private:
    MountedDataPartition(LoopDevice partition, MountedVolume mounted)
        : loop(std::move(partition)), volume(std::move(mounted)) {}
    std::optional<LoopDevice> loop;      // detached after the unmount below
    std::optional<MountedVolume> volume;
};

// The application's runner, starting the built helper program directly (already root).
[[nodiscard]] std::unique_ptr<HelperEngineRunner> helperProgramRunner();

// A fresh drive for each test, and the runner to reach it; skips without a drive.
class HelperTestDriveFixture : public ::testing::Test {
protected:
    void SetUp() override;

    std::unique_ptr<HelperTestDrive> drive;
    std::unique_ptr<HelperEngineRunner> runner = helperProgramRunner();
};

}  // namespace marlowick::test
