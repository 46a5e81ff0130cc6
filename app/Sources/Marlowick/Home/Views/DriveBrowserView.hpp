#pragma once
// The drive browser window: the folders of a prepared drive's data partition, one at a time,
// with crumbs back up, and the files the user selects deleted after a question. It shows one
// DriveBrowserModel and holds no state of its own: every control reads the model or calls it.
//
//   header   Enclosing folder, the crumbs, Refresh
//   content  reading / why the folder can't be shown, with Try Again / empty / the list
//   notice   what the last delete left behind, with Dismiss
//   footer   the selection's count and size, the deleting spinner, Delete…, Done
//
// Open it with the home model's browser:
//     auto* window = new DriveBrowserView(home->browser(), mainWindow);
//     QObject::connect(window, &QDialog::finished, [home] { home->closeDriveBrowser(); });
//     window->open();
// It finishes (Done, Escape, the window's close button) without closing the model: the home
// model does that. Destroying the window while a listing or a delete runs is safe; the model
// carries on without it.

#include <cstddef>
#include <memory>

#include <QDialog>
#include <QPointer>

#include "Home/DriveBrowserModel.hpp"

class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QToolButton;
class QTreeWidget;
class QHBoxLayout;

namespace marlowick {

namespace ui {
class DestructiveQuestion;
}

class DriveBrowserView : public QDialog {
    Q_OBJECT
public:
    explicit DriveBrowserView(std::shared_ptr<DriveBrowserModel> model, QWidget* parent = nullptr);
    ~DriveBrowserView() override;
    DriveBrowserView(const DriveBrowserView&) = delete;
    DriveBrowserView& operator=(const DriveBrowserView&) = delete;

    [[nodiscard]] const std::shared_ptr<DriveBrowserModel>& model() const { return shown; }

    static constexpr int minimumWidth = 620;
    static constexpr int idealWidth = 680;
    static constexpr int minimumHeight = 440;
    static constexpr int idealHeight = 500;

private:
    QWidget* buildHeader();
    QWidget* buildContent();
    QWidget* buildNotice();
    QWidget* buildFooter();

    void apply(DriveBrowserModel::Property property);
    void showDirectory();
    void showListing();
    void showSelection();
    void showFooter();
    void showNotice();
    void showAlert();

    // The list's selection, as the model's paths.
    [[nodiscard]] DriveBrowserModel::Selection listSelection() const;
    void openContextMenu(const QPoint& position);

    std::shared_ptr<DriveBrowserModel> shown;
    std::size_t subscription = 0;
    bool syncingSelection = false;

    QToolButton* upButton = nullptr;
    QWidget* crumbs = nullptr;
    QHBoxLayout* crumbRow = nullptr;
    QStackedWidget* content = nullptr;
    QWidget* loadingPage = nullptr;
    QWidget* unavailablePage = nullptr;
    QLabel* unavailableText = nullptr;
    QLabel* emptyPage = nullptr;
    QTreeWidget* list = nullptr;
    QWidget* notice = nullptr;
    QLabel* noticeText = nullptr;
    QLabel* summary = nullptr;
    QProgressBar* deleting = nullptr;
    QPushButton* deleteButton = nullptr;
    QPushButton* doneButton = nullptr;
    QPointer<ui::DestructiveQuestion> alert;
};

}  // namespace marlowick
