#pragma once
// The main window's menu bar: File (Quit), View (the two disk-visibility toggles), Drive
// (the home model's drive commands and the verify toggle) and Help (the fixed links, the
// legal documents, the update check and About). Quit closes the windows; the main window
// asks first while an operation runs (QuitController).
//
// The Drive and View items act on the window's home model; without one every drive item
// and both visibility toggles are disabled. Enabled states follow the model as it
// changes. Main thread only.

#include <cstddef>
#include <memory>

#include <QObject>

#include "Home/HomeViewModel.hpp"

class QAction;
class QMainWindow;
class QMenu;

namespace marlowick {

class AppUpdater;

class AppMenus : public QObject {
    Q_OBJECT
public:
    AppMenus(QMainWindow& window, AppUpdater& updater);
    ~AppMenus() override;

    // The model the Drive and View items act on; null for none.
    void setModel(std::shared_ptr<HomeViewModel> model);

    // An item by its menu's title and its own text ("Drive", "Eject"); null when none.
    [[nodiscard]] QAction* action(const QString& menu, const QString& item) const;

private:
    void refresh();
    void detach();

    QMainWindow& window;
    AppUpdater& updater;
    std::shared_ptr<HomeViewModel> model;
    std::size_t subscription = 0;
};

}  // namespace marlowick
