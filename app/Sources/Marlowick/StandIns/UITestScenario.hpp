#pragma once
// The scripted worlds user-interface tests start the application in: each scenario builds
// a whole home model around stand-ins for everything that touches a drive, the helper
// program or the network (a fake engine runner, an in-memory data volume, fixed disks, a
// fixed image file and a fake download of the boot files), so that every screen can be
// reached without a drive. The rest of the application runs unchanged.
//
// Built on the main thread; the fake runner, the file access and the acquisitions run on
// the model's background jobs.

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Block/DiscoveredDisk.hpp"
#include "HelperWire/HelperCancelLatch.hpp"
#include "HelperWire/HelperDiskRef.hpp"
#include "HelperWire/HelperImagePayloads.hpp"
#include "HelperWire/HelperVentoyLayout.hpp"
#include "Home/HomeViewModel.hpp"

namespace marlowick {

enum class UITestScenario { noDrive, prepare, ventoyReady, incompatible, unreadable, error, picker, running, done };

inline constexpr std::array<UITestScenario, 9> allUITestScenarios{
    UITestScenario::noDrive,    UITestScenario::prepare, UITestScenario::ventoyReady,
    UITestScenario::incompatible, UITestScenario::unreadable, UITestScenario::error,
    UITestScenario::picker,     UITestScenario::running, UITestScenario::done};

// The case's own name.
[[nodiscard]] std::string_view rawValue(UITestScenario scenario);
// Exactly a case's name, letter case included; anything else is no scenario.
[[nodiscard]] std::optional<UITestScenario> uiTestScenario(std::string_view raw);

namespace UITestWorld {

// What a scenario's model is built with beside its script.
struct Context {
    MainExecutor executor;
    std::shared_ptr<VentoyCatalogModel> catalog;
    // Set when the application quits: the slow download of `running` stops waiting.
    std::shared_ptr<HelperCancelLatch> quitting = std::make_shared<HelperCancelLatch>();
    BackgroundStarter startBackground;  // none: a thread per job
};

// The scenario's model; `running` and `done` have `prepare` as their automatic operation.
[[nodiscard]] std::shared_ptr<HomeViewModel> makeModel(UITestScenario scenario, const Context& context);

// The drive every scenario but noDrive and picker starts with selected.
[[nodiscard]] HelperDiskRef fakeDisk();
// The layout ventoyReady detects.
[[nodiscard]] HelperVentoyLayout fakeLayout();
// The two disks picker lists.
[[nodiscard]] const std::vector<DiscoveredDisk>& fakeDisks();
// The images ventoyReady's engine lists.
[[nodiscard]] std::vector<HelperImageEntry> scriptedImages();
// ventoyReady's data volume: path to size.
[[nodiscard]] std::map<std::string, std::int64_t> scriptedFiles();
// 1758000000 seconds after the epoch: when every scripted file was last changed.
[[nodiscard]] std::chrono::system_clock::time_point scriptedModificationTime();
// The file ventoyReady's image picker answers.
inline constexpr std::string_view pickedImagePath = "/tmp/ubuntu-24.04.iso";

// The boot-file download of the scenarios: reports checking the cache, half the download,
// extracting and ready, and answers three made-up files of the catalog's release for the
// requested version. Never waits.
[[nodiscard]] HomeViewModel::AcquireAssets fakeAcquireAssets(std::shared_ptr<VentoyCatalogModel> catalog);
// The download of `running`: reports checking the cache and 45 % of the download, then
// waits up to 600 seconds, ending early once the operation is cancelled or `quitting` is
// set; answers the release without files.
[[nodiscard]] HomeViewModel::AcquireAssets slowAcquireAssets(std::shared_ptr<VentoyCatalogModel> catalog,
                                                             std::shared_ptr<HelperCancelLatch> quitting);

}  // namespace UITestWorld

}  // namespace marlowick
