#include "WidgetSupport/HomeWindow.hpp"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QTest>
#include <cstdlib>

namespace marlowick::testing {

HomeWindow::HomeWindow(const char* appearance, std::vector<DiscoveredDisk> disks) {
    useAppearance(appearance);
    harness.disks = std::move(disks);
}

HomeWindow::~HomeWindow() {
    window.reset();
    useAppearance(nullptr);
}

void HomeWindow::settle() {
    for (int round = 0; round < 4; ++round) {
        harness.settle();
        QApplication::processEvents();
        view->renderPending();
    }
}

void HomeWindow::show(bool withFileAccess) {
    harness.make(std::nullopt, HomeDriveState::NoDrive{}, withFileAccess);
    window = std::make_unique<MainWindow>();
    view = new HomeView(harness.model);
    window->setContent(view);
    window->resize(900, 760);
    window->show();
    window->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    settle();
}

bool HomeWindow::has(const char* identifier) const {
    return window->findChild<QWidget*>(QString::fromUtf8(identifier)) != nullptr;
}

ui::Sheet* HomeWindow::sheet(const char* identifier) const {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->objectName() == QString::fromUtf8(identifier) && top->isVisible()) return qobject_cast<ui::Sheet*>(top);
    }
    return nullptr;
}

QString HomeWindow::text(const char* identifier) {
    auto* label = element<QLabel>(identifier);
    return label != nullptr ? label->text() : QString();
}

void HomeWindow::click(const char* identifier) {
    auto* button = element<QAbstractButton>(identifier);
    ASSERT_NE(button, nullptr) << identifier;
    QTest::mouseClick(button, Qt::LeftButton);
    settle();
}

ui::Sheet* HomeWindow::confirmWithAdvancedOptions() {
    click("home.primaryAction");
    ui::Sheet* confirmation = sheet("home.confirm.sheet");
    EXPECT_NE(confirmation, nullptr) << "no confirmation opened";
    if (confirmation == nullptr) return nullptr;
    auto* disclosure = findElement<QAbstractButton>(*confirmation, QStringLiteral("home.confirm.advanced.disclosure"));
    if (disclosure == nullptr) return nullptr;
    QTest::mouseClick(disclosure, Qt::LeftButton);
    settle();
    return confirmation;
}

void HomeWindow::pressReturnOn(std::initializer_list<QWidget*> targets) {
    for (QWidget* target : targets) {
        target->setFocus();
        QTest::keyClick(target, Qt::Key_Return);
        QTest::keyClick(target, Qt::Key_Enter);
        QTest::keyClick(target, Qt::Key_Enter, Qt::KeypadModifier);
        settle();
    }
}

std::set<QWidget*> tabbed(QWidget& first, QWidget& root) {
    std::set<QWidget*> reached;
    first.setFocus(Qt::TabFocusReason);
    QWidget* current = &first;
    for (int step = 0; step < 200 && current != nullptr; ++step) {
        reached.insert(current);
        current = current->nextInFocusChain();
        while (current != nullptr && !(current->isVisible() && current->isEnabled() &&
                                       (current->focusPolicy() & Qt::TabFocus) && root.isAncestorOf(current))) {
            if (current == &first) break;
            current = current->nextInFocusChain();
        }
        if (current == &first) break;
    }
    return reached;
}

std::set<QWidget*> focusable(QWidget& root) {
    std::set<QWidget*> controls;
    for (QWidget* child : root.findChildren<QWidget*>()) {
        if (child->isVisible() && child->isEnabled() && (child->focusPolicy() & Qt::TabFocus)) controls.insert(child);
    }
    return controls;
}

}  // namespace marlowick::testing
