#include "MainWindow.hpp"

#include <QVBoxLayout>

#include "Design/BrandHeader.hpp"
#include "UI/Accessibility.hpp"

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
}

void MainWindow::setContent(QWidget* content) {
    // The content fills the window; the one it replaces is deleted.
    currentContent = content;
    setCentralWidget(content);
}

}  // namespace marlowick
