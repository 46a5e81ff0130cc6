#include "AppUpdater.hpp"

#include <thread>

#include <QApplication>
#include <QDesktopServices>
#include <QPushButton>
#include <QUrl>

#include "UI/PlainText.hpp"
#include "UI/QtMainExecutor.hpp"

namespace marlowick {

AppUpdater::AppUpdater(UpdaterConfiguration configuration, VentoyRegistryRefresher::Fetch feedFetch,
                       std::string currentVersion, QObject* parent)
    : QObject(parent),
      settings(std::move(configuration)),
      fetch(feedFetch ? std::move(feedFetch) : VentoyRegistryRefresher::curlFetch()),
      current(std::move(currentVersion)),
      reason(settings.unavailableReason()),
      canCheck(settings.isConfigured()) {}

void AppUpdater::setCanCheck(bool value) {
    if (canCheck == value) return;
    canCheck = value;
    emit canCheckForUpdatesChanged(value);
}

void AppUpdater::checkForUpdates() {
    if (!canCheck) return;
    setCanCheck(false);
    const MainExecutor post = ui::qtMainExecutor(*QCoreApplication::instance());
    QPointer<AppUpdater> self(this);
    std::function<void(UpdateCheckResult)> finish = [self](const UpdateCheckResult& result) {
        if (self.isNull()) return;
        self->present(result);
        self->setCanCheck(true);
    };
    try {
        std::thread([feed = *settings.feedURL, key = *settings.publicKey, version = current, fetchFeed = fetch, post,
                     finish] {
            UpdateCheckResult result = UpdateFeed::check(feed, key, version, fetchFeed);
            post([finish, result = std::move(result)] { finish(result); });
        }).detach();
    } catch (const std::system_error& error) {
        finish(UpdateCheckResult{UpdateCheckResult::Failed{std::string("could not start the check: ") + error.what()}});
    }
}

void AppUpdater::present(const UpdateCheckResult& result) {
    if (shown) shown->deleteLater();
    auto* box = new QMessageBox(QApplication::activeWindow());
    box->setObjectName(QStringLiteral("app.updateResult"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle(QStringLiteral("Software Update"));
    box->setTextFormat(Qt::PlainText);
    if (const auto* newer = std::get_if<UpdateCheckResult::NewerVersion>(&result.value)) {
        box->setIcon(QMessageBox::Information);
        box->setText(ui::qtText("Marlowick " + newer->version + " is available."));
        box->setInformativeText(ui::qtText("You have version " + current +
                                           ". Download the new version from its page; Marlowick doesn't install "
                                           "updates by itself."));
        QPushButton* open = box->addButton(QStringLiteral("Open Download Page"), QMessageBox::AcceptRole);
        open->setObjectName(QStringLiteral("app.updateResult.openPage"));
        box->addButton(QStringLiteral("Later"), QMessageBox::RejectRole);
        const QUrl page(ui::qtText(newer->downloadPage), QUrl::StrictMode);
        connect(open, &QPushButton::clicked, box, [page] { QDesktopServices::openUrl(page); });
    } else if (std::holds_alternative<UpdateCheckResult::UpToDate>(result.value)) {
        box->setIcon(QMessageBox::Information);
        box->setText(QStringLiteral("Marlowick is up to date."));
        box->setInformativeText(ui::qtText("Version " + current + " is the newest version available."));
        box->addButton(QMessageBox::Ok);
    } else {
        box->setIcon(QMessageBox::Warning);
        box->setText(QStringLiteral("Marlowick couldn't check for updates."));
        box->setInformativeText(ui::qtText(std::get<UpdateCheckResult::Failed>(result.value).detail));
        box->addButton(QMessageBox::Ok);
    }
    shown = box;
    box->show();
}

}  // namespace marlowick
