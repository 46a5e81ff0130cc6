#include "MarlowickApp.hpp"

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include <QApplication>
#include <QIcon>
#include <QString>
#include <QTimer>

#include "AppMenus.hpp"
#include "AppUpdater.hpp"
#include "Design/SymbolIcons.hpp"
#include "Diagnostics/MarlowickLog.hpp"
#include "Home/Views/HomeView.hpp"
#include "LiveWorld.hpp"
#include "MainWindow.hpp"
#include "QuitController.hpp"
#include "TerminationSignals.hpp"
#include "UI/ApplicationLook.hpp"
#include "UI/QtMainExecutor.hpp"
#include "UITestDriver.hpp"

namespace marlowick::MarlowickApp {
namespace {

// Runs `action` once, on the turn of the event loop after the window first shows.
class FirstAppearance : public QObject {
public:
    FirstAppearance(MainWindow& window, std::function<void()> action)
        : QObject(&window), run(std::move(action)) {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && run) {
            const std::function<void()> action = std::move(run);
            run = nullptr;
            QTimer::singleShot(0, watched, action);
        }
        return false;
    }

private:
    std::function<void()> run;
};

// The background jobs of the window's model, counted, so that quitting can wait for them:
// a job's result is posted to the application object, which must still be there.
class BackgroundJobs {
public:
    BackgroundStarter starter() {
        return [this](std::function<void()> job) {
            {
                const std::lock_guard guard(lock);
                ++running;
            }
            try {
                std::thread([this, job = std::move(job)] {
                    job();
                    const std::lock_guard guard(lock);
                    --running;
                    ended.notify_all();
                }).detach();
            } catch (...) {
                const std::lock_guard guard(lock);
                --running;
                throw;
            }
        };
    }
    // True when every job has ended within `limit`.
    bool drain(std::chrono::milliseconds limit) {
        std::unique_lock guard(lock);
        return ended.wait_for(guard, limit, [this] { return running == 0; });
    }

private:
    std::mutex lock;
    std::condition_variable ended;
    int running = 0;
};

// Posts to the application while it exists; afterwards, work posted from a thread that
// is still running is dropped instead of reaching a destroyed object.
struct PostGuard {
    std::mutex lock;
    bool open = true;
};

MainExecutor guardedExecutor(QApplication& application, std::shared_ptr<PostGuard> guard) {
    const MainExecutor post = ui::qtMainExecutor(application);
    return [post, guard = std::move(guard)](std::function<void()> work) {
        const std::lock_guard hold(guard->lock);
        if (guard->open) post(std::move(work));
    };
}

}  // namespace

void configure(QApplication& application) {
    QApplication::setApplicationName(QStringLiteral("Marlowick"));
    QApplication::setApplicationDisplayName(QStringLiteral("Marlowick"));
    QApplication::setApplicationVersion(QStringLiteral(MARLOWICK_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Quenmoor Labworks"));
    QApplication::setDesktopFileName(QString::fromLatin1(desktopFileName));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/Marlowick/marlowick.svg")));
    SymbolIcons::useIconTheme();
    ui::useApplicationLook(application);
}

World makeWorld(MainExecutor executor, const AppSettings::Startup& settings, BackgroundStarter startBackground) {
    World world;
    world.quitting = std::make_shared<HelperCancelLatch>();
    if (settings.uitest) world.scenario = uiTestScenario(*settings.uitest);
    if (world.scenario) {
        // No registry: the scripted world knows only the built-in releases and never
        // reaches the network.
        world.catalog = std::make_shared<VentoyCatalogModel>(
            executor, VentoyCatalogModel::Options{.cache = VentoyRegistryCache(std::filesystem::temp_directory_path() /
                                                                               "marlowick-uitest-registry"),
                                                  .buildNumber = std::nullopt,
                                                  .registryEnabled = false,
                                                  .publicKeyBase64 = {},
                                                  .registryUrl = {},
                                                  .fetch = {}});
        world.model = UITestWorld::makeModel(*world.scenario,
                                             UITestWorld::Context{executor, world.catalog, world.quitting, startBackground});
        return world;
    }
    world.catalog = std::make_shared<VentoyCatalogModel>(
        executor, VentoyCatalogModel::standardOptions(LiveWorld::cacheRoot(), std::nullopt));
    world.model = LiveWorld::makeModel(executor, world.catalog, settings, std::move(startBackground));
    return world;
}

int run(QApplication& application) {
    configure(application);
    MarlowickLog::processStarted("Marlowick", MARLOWICK_VERSION);

    const QStringList arguments = QApplication::arguments();
    const AppSettings::Startup settings = AppSettings::read(arguments);
    const auto guard = std::make_shared<PostGuard>();
    const MainExecutor executor = guardedExecutor(application, guard);
    BackgroundJobs jobs;
    World world = makeWorld(executor, settings, jobs.starter());

    AppUpdater updater(UpdaterConfiguration::ofThisBuild());
    MainWindow window;
    AppMenus menus(window, updater);
    menus.setModel(world.model);

    // The home view starts the first scan (or the scenario's operation) when it appears;
    // the catalog is refreshed once beside it, neither waiting for the other.
    window.setContent(new HomeView(world.model));
    new FirstAppearance(window, [catalog = world.catalog] { catalog->refresh(); });

    // Quit and every close of the window ask first while an operation runs; the three
    // termination signals stop it without asking. Either way the application quits once
    // the operation has ended.
    QuitController quitter(window, world.model);
    TerminationSignals terminations;
    QObject::connect(&terminations, &TerminationSignals::received, &quitter,
                     [&quitter](int) { quitter.quitWithoutAsking(); });

    std::unique_ptr<UITestDriver> driver;
    if (arguments.contains(QStringLiteral("--ui-driver"))) {
        driver = std::make_unique<UITestDriver>(window, menus, [&quitter] { quitter.quitWithoutAsking(); });
    }

    QObject::connect(&application, &QCoreApplication::aboutToQuit, [quitting = world.quitting] { quitting->cancel(); });
    window.show();
    const int status = QApplication::exec();
    world.quitting->cancel();
    {
        const std::lock_guard hold(guard->lock);
        guard->open = false;
    }
    // A job still running (a mount waits up to two minutes) would end in objects already
    // gone: after a short grace the process ends without tearing anything down.
    if (!jobs.drain(std::chrono::seconds(3))) {
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}

}  // namespace marlowick::MarlowickApp
