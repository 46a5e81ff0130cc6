#include "MainWindow.hpp"

#include <algorithm>

#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "AppSettings.hpp"
#include "UI/Accessibility.hpp"
#include "UI/BrandHeader.hpp"

namespace marlowick {

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    ui::identify(*this, "home.window");
    setWindowTitle(QStringLiteral("Marlowick"));
    // The backdrop colour comes from the application palette, which follows the appearance.
    setAutoFillBackground(true);

    // Until the home view is set, the brand header alone. The window is as small as its
    // content allows, so no minimum of its own.
    auto* interim = new QWidget(this);
    interim->setMinimumSize(720, 560);
    auto* column = new QVBoxLayout(interim);
    column->setContentsMargins(20, 40, 28, 24);
    auto* header = new BrandHeader(46, interim);
    header->setObjectName(QStringLiteral("home.brandHeader"));
    ui::hideFromAccessibility(*header);
    column->addWidget(header, 0, Qt::AlignLeft | Qt::AlignTop);
    column->addStretch(1);
    setContent(interim);

    // The size a user gives the window is kept once the resizing has come to rest.
    sizeSaver = new QTimer(this);
    sizeSaver->setSingleShot(true);
    sizeSaver->setInterval(400);
    connect(sizeSaver, &QTimer::timeout, this, &MainWindow::rememberSize);
    QSize room = defaultSize;
    if (const QScreen* screen = this->screen()) room = screen->availableGeometry().size() - frameAllowance;
    resize(startingSize(AppSettings::windowSize(), room));
}

QSize MainWindow::startingSize(std::optional<QSize> remembered, QSize room) {
    const QSize wanted = remembered.value_or(defaultSize);
    // The content's own minimum is the window's floor, whatever the room.
    return {std::min(wanted.width(), room.width()), std::min(wanted.height(), room.height())};
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    // Only a size of the window's own: not the one a maximised or full-screen window is given.
    if (isVisible() && (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) == 0) sizeSaver->start();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (sizeSaver->isActive()) rememberSize();
    QMainWindow::closeEvent(event);
}

void MainWindow::rememberSize() {
    sizeSaver->stop();
    AppSettings::setWindowSize(size());
}

void MainWindow::setContent(QWidget* content) {
    // The content fills the window; the one it replaces is deleted.
    currentContent = content;
    setCentralWidget(content);
}

}  // namespace marlowick
