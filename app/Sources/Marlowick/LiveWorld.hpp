#pragma once
// The home model of the real world: the helper program reached through pkexec (or started
// directly when the application already runs as root), wrapped in the mounted-volume
// runner that copies images as the user; drives listed from sysfs; file dialogs as the
// pickers; eject through udisks2; the boot-file cache and the real acquirer. Building it
// starts nothing: no scan, no thread, no prompt.

#include <filesystem>
#include <memory>
#include <optional>

#include "AppSettings.hpp"
#include "Files/VolumeMountProbe.hpp"
#include "HelperWire/HelperEngineRunner.hpp"
#include "Home/HomeViewModel.hpp"
#include "Home/VentoyCatalogModel.hpp"

namespace marlowick::LiveWorld {

// The helper program where an installation puts it beside this program's prefix:
// "<prefix>/libexec/marlowick/marlowick-helper" for "<prefix>/bin/marlowick". None when
// no executable file is there.
[[nodiscard]] std::optional<std::filesystem::path> installedHelper(const std::filesystem::path& programFolder);

// The privileged runner around `helper` (pkexec unless `alreadyRoot`) inside the
// mounted-volume runner; the unavailable runner when there is no helper.
[[nodiscard]] std::shared_ptr<HelperEngineRunner> makeRunner(const std::optional<std::filesystem::path>& helper,
                                                             bool alreadyRoot,
                                                             std::shared_ptr<VolumeMountProbe> volumes);

// The application's cache root (boot files, registry); a private temporary folder when no
// home can be used.
[[nodiscard]] std::filesystem::path cacheRoot();

// `programFolder`: where the program runs from (none: the running program's own folder),
// beside whose prefix the helper is looked for.
[[nodiscard]] std::shared_ptr<HomeViewModel> makeModel(MainExecutor executor,
                                                       std::shared_ptr<VentoyCatalogModel> catalog,
                                                       const AppSettings::Startup& settings,
                                                       BackgroundStarter startBackground = {},
                                                       std::filesystem::path programFolder = {});

}  // namespace marlowick::LiveWorld
