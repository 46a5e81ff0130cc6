#include "StandIns/MemoryDriveFileAccess.hpp"

#include <optional>
#include <variant>

#include <gtest/gtest.h>

#include "StandIns/UITestScenario.hpp"

namespace marlowick {
namespace {

using testing::MemoryDriveFileAccess;

VolumePath path(const char* text) { return *VolumePath::parse(text); }

std::vector<std::string> names(const DriveFileOutcome<std::vector<MountedEntry>>& outcome) {
    std::vector<std::string> listed;
    if (const auto* entries = outcome.doneValue()) {
        for (const MountedEntry& entry : *entries) listed.push_back(entry.name() + (entry.isDirectory ? "/" : ""));
    }
    return listed;
}

std::optional<MountedFileFailure> failureOf(const DriveFileOutcome<std::vector<MountedEntry>>& outcome) {
    using Failed = DriveFileOutcome<std::vector<MountedEntry>>::Failed;
    const auto* failed = std::get_if<Failed>(&outcome.value);
    if (failed == nullptr) return std::nullopt;
    return failed->failure;
}

// The volume the UI-test world's ready drive holds, built as the world builds it.
struct ScriptedVolume : ::testing::Test {
    ScriptedVolume() {
        for (const auto& [text, size] : UITestWorld::scriptedFiles()) {
            access.addFile(text, size, UITestWorld::scriptedModificationTime());
        }
    }
    MemoryDriveFileAccess access;
    HelperDiskRef disk = UITestWorld::fakeDisk();
    HelperVentoyLayout layout = UITestWorld::fakeLayout();
};

TEST_F(ScriptedVolume, ListsFoldersByNameAndRefusesFilesAndMissingPaths) {
    const std::vector<std::string> root{"Fedora-Workstation-Live-40.iso", "linux/", "memtest86.iso",
                                        "ubuntu-24.04.1-desktop-amd64.iso", "ventoy/"};
    EXPECT_EQ(names(access.list(VolumePath::root, disk, layout)), root);
    const std::vector<std::string> linux{"archlinux-2026.09.01-x86_64.iso"};
    EXPECT_EQ(names(access.list(path("/linux"), disk, layout)), linux);

    // A folder the world made on the way to a file carries the file's date.
    const auto listed = access.list(VolumePath::root, disk, layout);
    ASSERT_NE(listed.doneValue(), nullptr);
    for (const MountedEntry& entry : *listed.doneValue()) {
        EXPECT_EQ(entry.modifiedAt, UITestWorld::scriptedModificationTime()) << entry.name();
        if (entry.isDirectory) {
            EXPECT_EQ(entry.sizeBytes, 0) << entry.name();
        }
    }

    const struct {
        const char* path;
        MountedFileFailure failure;
    } refused[] = {
        {"/ventoy/ventoy.json", {MountedFileFailure::NotADirectory{path("/ventoy/ventoy.json")}}},
        {"/nowhere", {MountedFileFailure::NotFound{path("/nowhere")}}},
        {"/linux/deeper", {MountedFileFailure::NotFound{path("/linux/deeper")}}},
        {"/memtest86.iso/inside", {MountedFileFailure::NotADirectory{path("/memtest86.iso")}}},
    };
    for (const auto& row : refused) {
        EXPECT_EQ(failureOf(access.list(path(row.path), disk, layout)), row.failure) << row.path;
    }
}

TEST_F(ScriptedVolume, DeletesEachNamedFileOnceAndKeepsAFolderThatStillHoldsSomething) {
    const std::vector<VolumePath> twice{path("/memtest86.iso"), path("/memtest86.iso")};
    const auto outcome = access.remove(twice, disk, layout, [] { return false; });
    const auto* report = outcome.doneValue();
    ASSERT_NE(report, nullptr);
    ASSERT_EQ(report->outcomes.size(), 2U);
    EXPECT_EQ(report->outcomes[0].failure, std::nullopt);
    EXPECT_EQ(report->outcomes[0].removedBytes, 12'500'000);
    const std::optional<MountedFileFailure> notFound{MountedFileFailure{MountedFileFailure::NotFound{twice[1]}}};
    EXPECT_EQ(report->outcomes[1].failure, notFound);
    EXPECT_EQ(report->outcomes[1].removedBytes, 0);
    EXPECT_FALSE(report->wasCancelled);
    EXPECT_FALSE(access.contains("/memtest86.iso"));

    // As on the mounted volume, a folder goes only once it is empty.
    const auto folder = access.remove({path("/linux")}, disk, layout, [] { return false; });
    ASSERT_NE(folder.doneValue(), nullptr);
    const std::optional<MountedFileFailure> notEmpty{MountedFileFailure{MountedFileFailure::DirectoryNotEmpty{path("/linux")}}};
    EXPECT_EQ(folder.doneValue()->outcomes.at(0).failure, notEmpty);
    EXPECT_TRUE(access.contains("/linux/archlinux-2026.09.01-x86_64.iso"));
    const auto emptied = access.remove({path("/linux/archlinux-2026.09.01-x86_64.iso"), path("/linux")}, disk, layout,
                                       [] { return false; });
    ASSERT_NE(emptied.doneValue(), nullptr);
    EXPECT_EQ(emptied.doneValue()->outcomes.at(1).failure, std::nullopt);
    EXPECT_FALSE(access.contains("/linux"));
}

TEST_F(ScriptedVolume, ACancelledDeletionStopsBetweenPathsAndARefusalTouchesNothing) {
    int asked = 0;
    const auto outcome = access.remove({path("/memtest86.iso"), path("/Fedora-Workstation-Live-40.iso")}, disk, layout,
                                       [&asked] { return ++asked > 1; });
    ASSERT_NE(outcome.doneValue(), nullptr);
    EXPECT_TRUE(outcome.doneValue()->wasCancelled);
    EXPECT_EQ(outcome.doneValue()->outcomes.size(), 1U);
    EXPECT_FALSE(access.contains("/memtest86.iso"));
    EXPECT_TRUE(access.contains("/Fedora-Workstation-Live-40.iso"));

    const MountedVolumeRefusal refusal{MountedVolumeRefusal::NotMounted{"sdd2"}};
    access.refuseWith(refusal);
    EXPECT_EQ(access.remove({path("/Fedora-Workstation-Live-40.iso")}, disk, layout, [] { return false; }),
              DriveFileOutcome<MountedDeleteReport>::refused(refusal));
    EXPECT_EQ(access.list(VolumePath::root, disk, layout),
              DriveFileOutcome<std::vector<MountedEntry>>::refused(refusal));
    EXPECT_TRUE(access.contains("/Fedora-Workstation-Live-40.iso"));
}

}  // namespace
}  // namespace marlowick
