#include "StandIns/InMemoryDriveFileAccess.hpp"

#include <gtest/gtest.h>

#include "StandIns/UITestScenario.hpp"

namespace marlowick {
namespace {

VolumePath path(const char* text) { return *VolumePath::parse(text); }

std::vector<std::string> names(const DriveFileOutcome<std::vector<MountedEntry>>& outcome) {
    std::vector<std::string> listed;
    if (const auto* entries = outcome.doneValue()) {
        for (const MountedEntry& entry : *entries) listed.push_back(entry.name() + (entry.isDirectory ? "/" : ""));
    }
    return listed;
}

struct ScriptedVolume : ::testing::Test {
    InMemoryDriveFileAccess access{UITestWorld::scriptedFiles(), UITestWorld::scriptedModificationTime()};
    HelperDiskRef disk = UITestWorld::fakeDisk();
    HelperVentoyLayout layout = UITestWorld::fakeLayout();
};

TEST_F(ScriptedVolume, ListsFoldersByNameAndReportsFilesAndMissingPathsAsNotFound) {
    const std::vector<std::string> root{"Fedora-Workstation-Live-40.iso", "linux/", "memtest86.iso",
                                        "ubuntu-24.04.1-desktop-amd64.iso", "ventoy/"};
    EXPECT_EQ(names(access.list(VolumePath::root, disk, layout)), root);
    const std::vector<std::string> linux{"archlinux-2026.09.01-x86_64.iso"};
    EXPECT_EQ(names(access.list(path("/linux"), disk, layout)), linux);

    for (const char* missing : {"/ventoy/ventoy.json", "/nowhere", "/linux/deeper"}) {
        const auto outcome = access.list(path(missing), disk, layout);
        const auto expected = DriveFileOutcome<std::vector<MountedEntry>>::failed(
            MountedFileFailure{MountedFileFailure::NotFound{path(missing)}});
        EXPECT_EQ(outcome, expected) << missing;
    }

    const auto folder = access.entry(path("/linux"));
    ASSERT_TRUE(folder.has_value());
    EXPECT_TRUE(folder->isDirectory);
    EXPECT_EQ(folder->sizeBytes, 0);
    EXPECT_EQ(folder->modifiedAt, UITestWorld::scriptedModificationTime());
}

TEST_F(ScriptedVolume, DeletesEachNamedEntryOnceAndRecordsTheCall) {
    const std::vector<VolumePath> twice{path("/memtest86.iso"), path("/memtest86.iso")};
    const auto outcome = access.remove(twice, disk, layout, [] { return true; });
    const auto* report = outcome.doneValue();
    ASSERT_NE(report, nullptr);
    ASSERT_EQ(report->outcomes.size(), 2U);
    EXPECT_EQ(report->outcomes[0].failure, std::nullopt);
    EXPECT_EQ(report->outcomes[0].removedBytes, 12'500'000);
    const std::optional<MountedFileFailure> notFound{MountedFileFailure{MountedFileFailure::NotFound{twice[1]}}};
    EXPECT_EQ(report->outcomes[1].failure, notFound);
    EXPECT_EQ(report->outcomes[1].removedBytes, 0);
    EXPECT_FALSE(report->wasCancelled);
    EXPECT_EQ(access.deleteCalls(), std::vector<std::vector<VolumePath>>{twice});

    // A folder goes alone: what was inside stays in the table.
    (void)access.remove({path("/linux")}, disk, layout, {});
    EXPECT_FALSE(access.entry(path("/linux")).has_value());
    EXPECT_TRUE(access.entry(path("/linux/archlinux-2026.09.01-x86_64.iso")).has_value());
}

TEST_F(ScriptedVolume, AnInjectedFailureKeepsTheEntryAndARefusalRecordsNothing) {
    const MountedFileFailure busy{MountedFileFailure::IoFailed{"delete", path("/memtest86.iso"), "errno 16 (busy)"}};
    access.setDeleteFailure(path("/memtest86.iso"), busy);
    const auto outcome = access.remove({path("/memtest86.iso")}, disk, layout, {});
    ASSERT_NE(outcome.doneValue(), nullptr);
    EXPECT_EQ(outcome.doneValue()->outcomes[0].failure, busy);
    EXPECT_TRUE(access.entry(path("/memtest86.iso")).has_value());

    const MountedVolumeRefusal refusal{MountedVolumeRefusal::NotMounted{"sdd2"}};
    access.setRefusal(refusal);
    EXPECT_EQ(access.remove({path("/Fedora-Workstation-Live-40.iso")}, disk, layout, {}),
              DriveFileOutcome<MountedDeleteReport>::refused(refusal));
    EXPECT_EQ(access.list(VolumePath::root, disk, layout),
              DriveFileOutcome<std::vector<MountedEntry>>::refused(refusal));
    EXPECT_EQ(access.deleteCalls().size(), 1U);
}

TEST(InMemoryDriveFileAccess, TrailingSlashMakesFoldersAndUnusablePathsAreSkipped) {
    const auto modified = UITestWorld::scriptedModificationTime();
    InMemoryDriveFileAccess access({{"/outer/inner/", 99}, {"relative.iso", 1}, {"/", 5}, {"/a//b", 2}}, modified);
    const HelperDiskRef disk = UITestWorld::fakeDisk();
    const HelperVentoyLayout layout = UITestWorld::fakeLayout();
    EXPECT_EQ(names(access.list(VolumePath::root, disk, layout)), std::vector<std::string>{"outer/"});
    EXPECT_EQ(names(access.list(path("/outer"), disk, layout)), std::vector<std::string>{"inner/"});
    const auto inner = access.entry(path("/outer/inner"));
    ASSERT_TRUE(inner.has_value());
    EXPECT_TRUE(inner->isDirectory);
    EXPECT_EQ(inner->sizeBytes, 0);
}

}  // namespace
}  // namespace marlowick
