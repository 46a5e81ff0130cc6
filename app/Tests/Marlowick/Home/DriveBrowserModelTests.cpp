// The drive browser's model over an in-memory drive, its background jobs and main-thread
// closures run by hand: walking folders, late listings, the delete cycle with its
// confirmation and notices, every failure's sentence, and closing the window mid-delete.
#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "Home/DriveBrowserModel.hpp"
#include "StandIns/MemoryDriveFileAccess.hpp"
#include "Support/HomeModelHarness.hpp"
#include "Support/ManualBackground.hpp"
#include "Support/ManualExecutor.hpp"

namespace marlowick {
namespace {

using Listing = DriveBrowserModel::Listing;
using Property = DriveBrowserModel::Property;
using Failure = MountedFileFailure;

VolumePath at(const std::string& text) { return *VolumePath::parse(text); }

std::vector<std::string> shown(const DriveBrowserModel& model) {
    std::vector<std::string> paths;
    if (const auto* entries = model.listing().entries()) {
        for (const MountedEntry& entry : *entries) paths.push_back(entry.path.string());
    }
    return paths;
}

class DriveBrowserModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        files->addFile("/a.iso", 1'000'000);
        files->addFile("/b.img", 2'000'000);
        files->addFile("/notes.txt", 500);
        files->addFolder("/tools");
        files->addFile("/tools/x.efi", 10);
        files->addFolder("/tools/deep");
        files->addFolder("/empty");
    }

    std::shared_ptr<DriveBrowserModel> make() {
        auto made = DriveBrowserModel::create(files, HelperDiskRef(testing::usbStick("sdb")), testing::ventoyLayout(),
                                              "Stick", main.executor(), background.starter());
        made->observers().subscribe([this](Property property) { changes.push_back(property); });
        return made;
    }
    // A model whose root listing has arrived.
    std::shared_ptr<DriveBrowserModel> listed() {
        auto made = make();
        made->reload();
        settle();
        return made;
    }
    void settle() {
        while (background.runAll() + main.runAll() > 0) {
        }
    }
    void deleteSelection(DriveBrowserModel& model, std::vector<std::string> paths) {
        DriveBrowserModel::Selection selection;
        for (const std::string& path : paths) selection.insert(at(path));
        model.setSelection(selection);
        model.requestDelete();
        ASSERT_TRUE(model.pendingDelete().has_value());
        model.confirmDelete();
    }

    testing::ManualExecutor main;
    testing::ManualBackground background;
    std::shared_ptr<testing::MemoryDriveFileAccess> files = std::make_shared<testing::MemoryDriveFileAccess>();
    std::vector<Property> changes;
};

TEST_F(DriveBrowserModelTest, StartsAtTheRootAndListsOnlyWhenAsked) {
    const auto model = make();
    EXPECT_EQ(model->directory(), VolumePath::root);
    EXPECT_EQ(model->listing(), Listing{Listing::Loading{}});
    EXPECT_TRUE(model->selection().empty());
    EXPECT_FALSE(model->pendingDelete() || model->isDeleting() || model->deleteNotice() || model->didChangeDrive());
    EXPECT_EQ(background.pending(), 0U);

    model->reload();
    EXPECT_EQ(files->listings(), 0) << "the listing waits for its background job";
    settle();
    EXPECT_EQ(shown(*model), (std::vector<std::string>{"/a.iso", "/b.img", "/empty", "/notes.txt", "/tools"}));
    EXPECT_EQ(model->breadcrumbs(), (std::vector<DriveBrowserModel::Breadcrumb>{{"Stick", VolumePath::root}}));
}

TEST_F(DriveBrowserModelTest, WalksIntoFoldersAndBackByTheirCrumbs) {
    const auto model = listed();
    model->setSelection({at("/a.iso")});

    // Files and paths that aren't listed open nothing.
    changes.clear();
    model->activate(at("/a.iso"));
    model->activate(at("/nowhere"));
    model->activate(at("/tools/deep"));
    EXPECT_TRUE(changes.empty());

    model->activate(at("/tools"));
    EXPECT_EQ(model->directory(), at("/tools"));
    EXPECT_TRUE(model->selection().empty());
    EXPECT_EQ(model->listing(), Listing{Listing::Loading{}});
    settle();
    EXPECT_EQ(shown(*model), (std::vector<std::string>{"/tools/deep", "/tools/x.efi"}));
    model->activate(at("/tools/deep"));
    settle();
    EXPECT_EQ(model->listing(), Listing{Listing::Loaded{}});
    EXPECT_EQ(model->breadcrumbs(), (std::vector<DriveBrowserModel::Breadcrumb>{{"Stick", VolumePath::root},
                                                                              {"tools", at("/tools")},
                                                                              {"deep", at("/tools/deep")}}));

    model->goTo(at("/tools"));
    settle();
    EXPECT_EQ(shown(*model), (std::vector<std::string>{"/tools/deep", "/tools/x.efi"}));
    EXPECT_EQ(files->listed(), (std::vector<VolumePath>{VolumePath::root, at("/tools"), at("/tools/deep"),
                                                        at("/tools")}));
}

// Listings end in any order; only the newest one, for the folder still shown, is applied.
TEST_F(DriveBrowserModelTest, ALateListingIsNeverShownForAnotherFolder) {
    const auto model = listed();
    model->activate(at("/tools"));  // its listing is held back
    model->goTo(VolumePath::root);
    background.runOne();  // /tools answers late, while the root is shown
    main.runAll();
    EXPECT_EQ(model->listing(), Listing{Listing::Loading{}}) << "the tools folder's entries shown for the root";
    settle();
    EXPECT_EQ(shown(*model), (std::vector<std::string>{"/a.iso", "/b.img", "/empty", "/notes.txt", "/tools"}));

    // Away and back to the same folder: the first listing of it is stale by then too.
    model->goTo(at("/tools"));
    model->goTo(VolumePath::root);
    model->goTo(at("/tools"));
    ASSERT_EQ(background.pending(), 3U);
    files->addFile("/tools/new.iso", 5);
    background.runNewest();
    main.runAll();
    EXPECT_EQ(shown(*model), (std::vector<std::string>{"/tools/deep", "/tools/new.iso", "/tools/x.efi"}));
    // The first listing of /tools ends last, and sees the folder differently.
    (void)files->remove({at("/tools/new.iso")}, {}, {}, [] { return false; });
    settle();
    EXPECT_EQ(shown(*model), (std::vector<std::string>{"/tools/deep", "/tools/new.iso", "/tools/x.efi"}))
        << "an older listing replaced the newest";
}

TEST_F(DriveBrowserModelTest, OnlyASelectionOfFilesCanBeDeleted) {
    const auto model = listed();
    struct Case {
        const char* name;
        std::vector<std::string> selected;
        bool canDelete;
        std::optional<std::string> reason;
    };
    const std::string folders(DriveBrowserModel::foldersNotDeletable);
    for (const Case& c : std::vector<Case>{
             {"nothing", {}, false, std::nullopt},
             {"oneFile", {"/a.iso"}, true, std::nullopt},
             {"twoFiles", {"/a.iso", "/notes.txt"}, true, std::nullopt},
             {"aFolderAndAFile", {"/tools", "/a.iso"}, false, folders},
             {"notListed", {"/tools/x.efi"}, false, std::nullopt},
         }) {
        SCOPED_TRACE(c.name);
        DriveBrowserModel::Selection selection;
        for (const std::string& path : c.selected) selection.insert(at(path));
        model->setSelection(selection);
        EXPECT_EQ(model->canDeleteSelection(), c.canDelete);
        EXPECT_EQ(model->deleteUnavailableReason(), c.reason);
        model->requestDelete();
        EXPECT_EQ(model->pendingDelete().has_value(), c.canDelete);
        model->cancelDelete();
    }
}

TEST_F(DriveBrowserModelTest, TheConfirmationNamesWhatGoesAndHowMuchItFrees) {
    const auto model = listed();
    model->setSelection({at("/a.iso")});
    model->requestDelete();
    ASSERT_TRUE(model->pendingDelete());
    EXPECT_EQ(*model->pendingDelete(),
              (DriveBrowserModel::DeleteConfirmation{
                  {at("/a.iso")}, "Delete “a.iso”?", "It will be removed from the drive, freeing 1 MB. This can't be undone."}));

    model->setSelection({at("/notes.txt"), at("/b.img"), at("/a.iso")});
    model->requestDelete();
    EXPECT_EQ(*model->pendingDelete(),
              (DriveBrowserModel::DeleteConfirmation{{at("/a.iso"), at("/b.img"), at("/notes.txt")},
                                                     "Delete 3 files?",
                                                     "They will be removed from the drive, freeing 3 MB. This can't be "
                                                     "undone."}));
}

TEST_F(DriveBrowserModelTest, ADeleteThatRemovesEverythingShowsNoNoticeAndListsAgain) {
    const auto model = listed();
    model->activate(at("/tools"));
    settle();
    model->goTo(VolumePath::root);
    settle();
    deleteSelection(*model, {"/a.iso", "/b.img", "/notes.txt"});
    EXPECT_FALSE(model->pendingDelete());
    EXPECT_TRUE(model->isDeleting());
    EXPECT_FALSE(model->canDeleteSelection()) << "a second delete could start from the window";
    settle();
    EXPECT_FALSE(model->isDeleting());
    EXPECT_EQ(model->deleteNotice(), std::nullopt);
    EXPECT_TRUE(model->didChangeDrive());
    EXPECT_TRUE(model->selection().empty());
    EXPECT_EQ(shown(*model), (std::vector<std::string>{"/empty", "/tools"}));
}

TEST_F(DriveBrowserModelTest, EachPathThatStaysIsNamedWithItsReason) {
    files->addFile("/c.iso", 1);
    files->addFile("/d.iso", 1);
    const auto model = listed();
    deleteSelection(*model, {"/c.iso", "/d.iso"});
    (void)files->remove({at("/d.iso")}, {}, {}, [] { return false; });  // gone before the delete gets there
    settle();
    EXPECT_EQ(model->deleteNotice(), "1 file was deleted.\n“d.iso” wasn't deleted: it's no longer on the drive.");
    EXPECT_TRUE(model->didChangeDrive());
}

TEST_F(DriveBrowserModelTest, AReplacedDriveRefusesTheDeleteAndChangesNothing) {
    const auto model = listed();
    files->refuseWith(MountedVolumeRefusal{MountedVolumeRefusal::Target{
        TargetVerification::Verdict{TargetVerification::Verdict::FingerprintMissing{"sdb"}}}});
    deleteSelection(*model, {"/a.iso"});
    settle();
    EXPECT_EQ(model->deleteNotice(), "This isn't the drive you picked any more — it was unplugged or replaced. Close "
                                     "this and pick the drive again.");
    EXPECT_FALSE(model->didChangeDrive());
    EXPECT_EQ(model->listing(), (Listing{Listing::Unavailable{*model->deleteNotice()}}));
    model->dismissDeleteNotice();
    EXPECT_EQ(model->deleteNotice(), std::nullopt);
}

TEST_F(DriveBrowserModelTest, ListingFailuresBecomeTheFolderSentence) {
    struct Case {
        const char* name;
        Failure failure;
        const char* text;
    };
    const VolumePath tools = at("/tools");
    for (const Case& c : std::vector<Case>{
             {"notFound", {Failure::NotFound{tools}}, "This folder is no longer on the drive."},
             {"notADirectory", {Failure::NotADirectory{tools}}, "This folder is no longer on the drive."},
             {"link", {Failure::SymbolicLink{tools}},
              "This folder holds a link, which a Ventoy drive shouldn't have, so Marlowick won't follow it."},
             {"tooMany", {Failure::TooManyEntries{100000}}, "This folder holds too many items to list."},
             {"io", {Failure::IoFailed{"list", tools, "errno 5 (Input/output error)"}},
              "The drive couldn't be read."},
             {"isADirectory", {Failure::IsADirectory{tools}}, "The drive couldn't be read."},
             {"notEmpty", {Failure::DirectoryNotEmpty{tools}}, "The drive couldn't be read."},
             {"root", {Failure::RootNotDeletable{}}, "The drive couldn't be read."},
         }) {
        SCOPED_TRACE(c.name);
        files->failListing("/tools", c.failure);
        const auto model = listed();
        model->activate(tools);
        settle();
        EXPECT_EQ(model->listing(), (Listing{Listing::Unavailable{c.text}}));
    }
}

TEST_F(DriveBrowserModelTest, RefusedVolumesBecomeTheirSentence) {
    const std::string unreachable =
        "Linux couldn't open the drive's data partition. Unplug the drive, plug it back in and try again.";
    struct Case {
        const char* name;
        MountedVolumeRefusal::Case refusal;
        std::string text;
    };
    for (const Case& c : std::vector<Case>{
             {"notExfat", MountedVolumeRefusal::NotExfat{"sdb1", "ext4"},
              "The drive's data partition isn't exFAT, so it can't be opened here."},
             {"readOnly", MountedVolumeRefusal::ReadOnly{"sdb1"},
              "Linux has this drive read-only, so nothing on it can be changed."},
             {"partition", MountedVolumeRefusal::DataPartitionNotFound{"sdb"}, unreachable},
             {"mountFailed", MountedVolumeRefusal::MountFailed{"sdb1", "udisks said no"}, unreachable},
             {"notMounted", MountedVolumeRefusal::NotMounted{"sdb1"}, unreachable},
             {"mismatch", MountedVolumeRefusal::MountPointMismatch{"sdb1", std::nullopt}, unreachable},
         }) {
        SCOPED_TRACE(c.name);
        files->refuseWith(MountedVolumeRefusal{c.refusal});
        const auto model = listed();
        EXPECT_EQ(model->listing(), (Listing{Listing::Unavailable{c.text}}));
    }
}

TEST_F(DriveBrowserModelTest, TheNoticeHasALinePerFailureInReportOrder) {
    MountedDeleteReport report;
    report.outcomes = {
        {at("/a.iso"), std::nullopt, 10},
        {at("/tools"), Failure{Failure::DirectoryNotEmpty{at("/tools")}}, 0},
        {at("/b.iso"), std::nullopt, 10},
        {at("/link"), Failure{Failure::SymbolicLink{at("/link")}}, 0},
        {at("/c.iso"), Failure{Failure::IoFailed{"unlink", at("/c.iso"), "errno 30 (Read-only file system)"}}, 0},
        {VolumePath::root, Failure{Failure::RootNotDeletable{}}, 0},
    };
    report.wasCancelled = true;
    EXPECT_EQ(DriveBrowserModel::notice(report),
              "2 files were deleted.\n"
              "“tools” wasn't deleted: the folder isn't empty.\n"
              "“link” wasn't deleted: it's a link, which Marlowick won't follow.\n"
              "“c.iso” wasn't deleted: the drive refused.\n"
              "“/” wasn't deleted: the drive refused.\n"
              "The rest were left on the drive.");
    EXPECT_EQ(DriveBrowserModel::notice(MountedDeleteReport{{}, true}), "The rest were left on the drive.");
    EXPECT_EQ(DriveBrowserModel::notice(MountedDeleteReport{{{at("/a.iso"), std::nullopt, 1}}, false}), std::nullopt);
}

// Closing the window while a delete runs on its own thread: the delete stops before its next
// path, and whoever closed the browser hears that the drive changed once it has ended.
TEST_F(DriveBrowserModelTest, ClosingMidDeleteStopsAtTheNextPathAndStillReportsTheChange) {
    auto model = DriveBrowserModel::create(files, HelperDiskRef(testing::usbStick("sdb")), testing::ventoyLayout(),
                                           "Stick", main.executor(), threadPerJob());
    model->reload();
    ASSERT_TRUE(main.runUntil([&] { return model->listing().entries() != nullptr; }));

    std::promise<void> firstGone;
    std::promise<void> closed;
    std::shared_future<void> closedSeen = closed.get_future().share();
    files->afterEachDeletion([&firstGone, closedSeen](const VolumePath& path) {
        if (path != at("/a.iso")) return;
        firstGone.set_value();
        closedSeen.wait();
    });
    deleteSelection(*model, {"/a.iso", "/b.img", "/notes.txt"});
    firstGone.get_future().wait();

    int told = 0;
    const std::weak_ptr<DriveBrowserModel> weak = model;
    model->close([&told] { ++told; });
    model.reset();  // the window and the home screen let go of it
    EXPECT_FALSE(weak.expired()) << "the running delete keeps its model";
    closed.set_value();

    ASSERT_TRUE(main.runUntil([&] { return told > 0; }));
    EXPECT_EQ(told, 1);
    EXPECT_FALSE(files->contains("/a.iso"));
    EXPECT_TRUE(files->contains("/b.img")) << "the delete went on past the closing";
    EXPECT_TRUE(files->contains("/notes.txt"));
    main.runUntilIdle(std::chrono::milliseconds(200));
    EXPECT_TRUE(weak.expired());
    EXPECT_EQ(files->listings(), 1) << "a closed browser lists no folder";
}

TEST_F(DriveBrowserModelTest, ClosingTellsAtOnceOnlyWhenSomethingWasDeleted) {
    int told = 0;
    const auto idle = listed();
    idle->close([&told] { ++told; });
    EXPECT_EQ(told, 0);

    const auto changed = listed();
    deleteSelection(*changed, {"/a.iso"});
    settle();
    changed->close([&told] { ++told; });
    changed->close([&told] { ++told; });
    EXPECT_EQ(told, 1);
    changed->reload();
    EXPECT_EQ(background.pending(), 0U) << "a closed browser lists no folder";
}

}  // namespace
}  // namespace marlowick
