#include "MainWindow.hpp"

#include <QEvent>
#include <QVBoxLayout>

#include "Design/BrandHeader.hpp"
#include "Design/BrandStyle.hpp"
#include "UI/Accessibility.hpp"

namespace marlowick {

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    ui::identify(*this, "home.window");
    setWindowTitle(QStringLiteral("Marlowick"));
    setMinimumSize(720, 560);
    applyAppearance();

    auto* central = new QWidget(this);
    column = new QVBoxLayout(central);
    column->setContentsMargins(20, 40, 28, 24);
    column->setSpacing(18);

    auto* header = new BrandHeader(46, central);
    header->setObjectName(QStringLiteral("home.brandHeader"));
    column->addWidget(header, 0, Qt::AlignLeft | Qt::AlignTop);

    setContent(new QWidget(central));
    setCentralWidget(central);
}

void MainWindow::setContent(QWidget* content) {
    if (currentContent != nullptr) {
        column->removeWidget(currentContent);
        currentContent->deleteLater();
    }
    currentContent = content;
    column->addWidget(currentContent, 1);
}

void MainWindow::applyAppearance() {
    setPalette(BrandStyle::palette(BrandStyle::currentAppearance()));
    setAutoFillBackground(true);
    update();
}

void MainWindow::changeEvent(QEvent* event) {
    // The desktop switched between light and dark: the application palette is the
    // platform's, so it tells which; the window's own palette follows.
    if (event->type() == QEvent::ApplicationPaletteChange || event->type() == QEvent::ThemeChange) {
        applyAppearance();
    }
    QMainWindow::changeEvent(event);
}

}  // namespace marlowick
