#pragma once
// The application's update check. A build with a configured feed checks it when the user
// asks ("Check for Updates…"), one check at a time, and tells the user whether a newer
// version exists, with the page to download it from; it never downloads or installs
// anything itself. A build without a feed has no updater: the item stays disabled and
// nothing is shown or logged.

#include <optional>
#include <string>

#include <QMessageBox>
#include <QObject>
#include <QPointer>

#include "Download/VentoyRegistryRefresher.hpp"
#include "UpdateFeed.hpp"
#include "UpdaterConfiguration.hpp"

namespace marlowick {

class AppUpdater : public QObject {
    Q_OBJECT
public:
    // `fetch` none: the standard HTTPS fetch.
    explicit AppUpdater(UpdaterConfiguration configuration, VentoyRegistryRefresher::Fetch fetch = {},
                        std::string currentVersion = MARLOWICK_VERSION, QObject* parent = nullptr);

    // Whether a user-initiated check may start now: configured, and no check running.
    [[nodiscard]] bool canCheckForUpdates() const { return canCheck; }
    [[nodiscard]] const std::optional<std::string>& unavailableReason() const { return reason; }

    // Starts a check and returns at once; its outcome is shown in a message window
    // ("app.updateResult"). Does nothing when a check may not start.
    void checkForUpdates();

    // The message window of the last finished check; null before.
    [[nodiscard]] QMessageBox* resultWindow() const { return shown; }

signals:
    void canCheckForUpdatesChanged(bool canCheck);

private:
    void setCanCheck(bool value);
    void present(const UpdateCheckResult& result);

    UpdaterConfiguration settings;
    VentoyRegistryRefresher::Fetch fetch;
    std::string current;
    std::optional<std::string> reason;
    bool canCheck = false;
    QPointer<QMessageBox> shown;
};

}  // namespace marlowick
