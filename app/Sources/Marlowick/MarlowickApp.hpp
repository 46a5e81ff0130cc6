#pragma once
// The application: what it sets once before its first window (its names and version,
// which the desktop uses to match the window to marlowick.desktop, its icon and the icon
// theme of its symbols), then start-up in this order: the process start is logged; the
// home model is built in the world start-up chose (a UI-test scenario named on the
// command line or in the settings, else the live world); the updater, the one main
// window and its menus are made; when the window first shows, the release catalog is
// refreshed once from the signed registry.

#include <memory>
#include <optional>

#include "AppSettings.hpp"
#include "HelperWire/HelperCancelLatch.hpp"
#include "Home/HomeViewModel.hpp"
#include "Home/VentoyCatalogModel.hpp"
#include "StandIns/UITestScenario.hpp"

class QApplication;

namespace marlowick::MarlowickApp {

inline constexpr const char* desktopFileName = "marlowick";

void configure(QApplication& application);

// The model and what it was built from. Building it starts nothing.
struct World {
    std::optional<UITestScenario> scenario;  // none: the live world
    std::shared_ptr<VentoyCatalogModel> catalog;
    std::shared_ptr<HomeViewModel> model;
    // Set when the application quits, so that scripted waits end.
    std::shared_ptr<HelperCancelLatch> quitting;
};

// A known scenario name gives its scripted world; an unknown one, or none, the live world.
// Background jobs run through `startBackground` (none: a thread per job).
[[nodiscard]] World makeWorld(MainExecutor executor, const AppSettings::Startup& settings,
                              BackgroundStarter startBackground = {});

// Runs the application on `application` until its last window closes; the exit status.
int run(QApplication& application);

}  // namespace marlowick::MarlowickApp
