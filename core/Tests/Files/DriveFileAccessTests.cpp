// The default image listing of the drive file access, built on list() alone, and the
// bootable-image filter both listings share.
#include <gtest/gtest.h>

#include <map>

#include "Files/DriveFileAccess.hpp"
#include "Files/ScriptedVolumeProbe.hpp"
#include "Block/FakeProbes.hpp"

namespace marlowick {
namespace {

MountedEntry file(const std::string& path, std::int64_t size = 10) {
    return MountedEntry(*VolumePath::parse(path), false, size, {});
}
MountedEntry folder(const std::string& path) { return MountedEntry(*VolumePath::parse(path), true, 99, {}); }

// Folders and what list() answers for each; any other folder fails as not found.
class ListedFolders final : public DriveFileAccess {
public:
    DriveFileOutcome<std::vector<MountedEntry>> list(const VolumePath& path, const HelperDiskRef&,
                                                     const HelperVentoyLayout&) override {
        listed.push_back(path);
        const auto found = folders.find(path.string());
        if (found == folders.end()) return DriveFileOutcome<std::vector<MountedEntry>>::failed({MountedFileFailure::NotFound{path}});
        return found->second;
    }
    DriveFileOutcome<MountedDeleteReport> remove(const std::vector<VolumePath>&, const HelperDiskRef&,
                                                 const HelperVentoyLayout&, const DriveFileCancelCheck&) override {
        return DriveFileOutcome<MountedDeleteReport>::done({});
    }
    std::map<std::string, DriveFileOutcome<std::vector<MountedEntry>>> folders;
    std::vector<VolumePath> listed;
};

using Listing = DriveFileOutcome<std::vector<MountedEntry>>;
using Images = DriveFileOutcome<std::vector<HelperImageEntry>>;

TEST(DriveFileAccessDefault, ListsAFoldersImagesBeforeThoseOfItsSubFolders) {
    ListedFolders access;
    access.folders["/"] = Listing::done({file("/a.iso"), folder("/m"), folder("/n"), file("/z.iso")});
    access.folders["/m"] = Listing::done({file("/m/b.iso"), folder("/m/deep")});
    access.folders["/m/deep"] = Listing::done({file("/m/deep/c.vtoy")});
    access.folders["/n"] = Listing::done({file("/n/d.IMG", 7), file("/n/notes.txt")});
    const Images images = access.listImages(HelperDiskRef(test::usbStick()), test::sampleWireLayout());
    EXPECT_EQ(images, Images::done({HelperImageEntry("/a.iso", "a.iso", 10, false),
                                    HelperImageEntry("/z.iso", "z.iso", 10, false),
                                    HelperImageEntry("/m/b.iso", "b.iso", 10, false),
                                    HelperImageEntry("/m/deep/c.vtoy", "c.vtoy", 10, false),
                                    HelperImageEntry("/n/d.IMG", "d.IMG", 7, false)}));
    EXPECT_EQ(access.listed.size(), 4u);
}

TEST(DriveFileAccessDefault, EndsWithTheFirstRefusalOrFailure) {
    ListedFolders access;
    access.folders["/"] = Listing::done({folder("/m"), folder("/gone")});
    access.folders["/m"] = Listing::refused({MountedVolumeRefusal::ReadOnly{"sdb1"}});
    EXPECT_EQ(access.listImages(HelperDiskRef(test::usbStick()), test::sampleWireLayout()),
              Images::refused({MountedVolumeRefusal::ReadOnly{"sdb1"}}));
    access.folders["/m"] = Listing::done({});
    EXPECT_EQ(access.listImages(HelperDiskRef(test::usbStick()), test::sampleWireLayout()),
              Images::failed({MountedFileFailure::NotFound{*VolumePath::parse("/gone")}}));
}

TEST(MountedEntry, BootableImagesAreFilesWithAnImageExtension) {
    const std::vector<MountedEntry> entries = {
        file("/a.iso"), file("/Linux.ISO"), file("/notes.txt"), folder("/x.iso"), file("/tools/b.img"),
        file("/w.wim"), file("/v.vhd"), file("/v.vhdx"), file("/e.efi"), file("/c.vtoy"), file("/noext"),
        file("/trailing."), file("/.iso")};
    std::vector<std::string> paths;
    for (const HelperImageEntry& image : MountedEntry::bootableImages(entries)) paths.push_back(image.path);
    EXPECT_EQ(paths, (std::vector<std::string>{"/a.iso", "/Linux.ISO", "/tools/b.img", "/w.wim", "/v.vhd", "/v.vhdx",
                                                "/e.efi", "/c.vtoy"}));
    EXPECT_EQ(folder("/x.iso").sizeBytes, 0);
    EXPECT_EQ(folder("/x.iso").helperEntry(), HelperImageEntry("/x.iso", "x.iso", 0, true));
    EXPECT_EQ(MountedEntry(VolumePath::root, true, 0, {}).name(), "");
}

TEST(MountedDeleteReport, SumsOnlyDeletedFiles) {
    const VolumePath a = *VolumePath::parse("/a.iso"), b = *VolumePath::parse("/b"), c = *VolumePath::parse("/c.iso");
    const MountedDeleteReport report{{{a, std::nullopt, 100},
                                      {b, MountedFileFailure{MountedFileFailure::DirectoryNotEmpty{b}}, 0},
                                      {c, std::nullopt, 5}},
                                     false};
    EXPECT_EQ(report.deleted(), (std::vector<VolumePath>{a, c}));
    ASSERT_EQ(report.failures().size(), 1u);
    EXPECT_EQ(report.failures()[0].path, b);
    EXPECT_EQ(report.removedBytes(), 105);
}

}  // namespace
}  // namespace marlowick
