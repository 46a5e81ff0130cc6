#pragma once
// What the window shows while an operation runs, in place of the hero: the operation's
// symbol, a card with the drive being worked on, the stage, a progress bar with its
// percentage, the file or step
// being worked on and the time remaining, a warning not to unplug the drive, the licence
// notice of the Ventoy boot files when the operation installs them, and Cancel (also
// Escape). It renders what the home model publishes; its own logic is the percentage and
// the time-remaining phrase. The bar never moves back while one view shows one run.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include <QWidget>

#include "Assets/VentoyReleaseCatalog.hpp"
#include "Home/HomeOperationKind.hpp"
#include "Home/HomeOperationProgress.hpp"

class QLabel;
class QProgressBar;
class QPushButton;

namespace marlowick {

class OperationProgressView : public QWidget {
    Q_OBJECT
public:
    // The drive the operation works on: its name, shown as plain text, and its capacity in
    // bytes (negative when unknown).
    struct Target {
        std::string name;
        std::int64_t capacityBytes = -1;
    };

    // `ventoyVersion` picks the release named in the licence notice; none, an empty or an
    // unlisted version names the catalog's recommended one. Without a `target` the card
    // names no drive.
    OperationProgressView(HomeOperationKind kind, HomeOperationProgress progress,
                          const std::optional<std::string>& ventoyVersion, const VentoyReleaseCatalog& catalog,
                          std::function<void()> onCancel, std::optional<Target> target = std::nullopt,
                          QWidget* parent = nullptr);

    // A newer report of the same run.
    void setProgress(const HomeOperationProgress& progress);
    // While the run is being stopped for quitting, Cancel has nothing left to do.
    void setStopping(bool stopping);
    [[nodiscard]] HomeOperationKind kind() const { return runningKind; }
    // The fraction on show: the highest reported so far.
    [[nodiscard]] double shownFraction() const { return shown; }

    // "63%": fraction × 100, rounded half away from zero.
    [[nodiscard]] static std::string percentText(double fraction);
    // "about 2 minutes remaining"; none for a time that is not positive and finite.
    [[nodiscard]] static std::optional<std::string> etaText(double seconds);
    // The symbol of the operation.
    [[nodiscard]] static std::string_view symbol(HomeOperationKind kind);

private:
    void render(const HomeOperationProgress& progress);

    HomeOperationKind runningKind;
    std::function<void()> cancel;
    double shown = 0;
    QLabel* stageLabel = nullptr;
    QProgressBar* bar = nullptr;
    QLabel* percentLabel = nullptr;
    QWidget* detailRow = nullptr;
    QLabel* detailLabel = nullptr;
    QLabel* separatorLabel = nullptr;
    QLabel* etaLabel = nullptr;
    QPushButton* cancelButton = nullptr;
};

}  // namespace marlowick
