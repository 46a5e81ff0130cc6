#pragma once
// The main window showing the home view over a model whose engine, drives and background
// work a test scripts (HomeModelHarness), with what a test does to it as a user would:
// find an element, click it, read a text, find the sheet open over the window.

#include <QString>
#include <QWidget>
#include <initializer_list>
#include <memory>
#include <set>
#include <vector>

#include "Block/DiscoveredDisk.hpp"
#include "Home/Views/HomeView.hpp"
#include "MainWindow.hpp"
#include "Support/HomeModelHarness.hpp"
#include "UI/Sheet.hpp"
#include "WidgetSupport/WidgetTesting.hpp"

namespace marlowick::testing {

struct HomeWindow {
    // `appearance` is "light" or "dark"; `disks` is what listing the drives answers.
    explicit HomeWindow(const char* appearance = "light", std::vector<DiscoveredDisk> disks = {usbStick("sdb")});
    ~HomeWindow();
    HomeWindow(const HomeWindow&) = delete;
    HomeWindow& operator=(const HomeWindow&) = delete;

    // Runs everything queued (background jobs, the model's main-thread work, the view's redraws).
    void settle();
    // Makes the model from what the test scripted, and shows it in the window. With
    // `withFileAccess` the model lists and browses the drive through the harness's files.
    void show(bool withFileAccess = false);

    template <class T = QWidget>
    T* element(const char* identifier) {
        return findElement<T>(*window, QString::fromUtf8(identifier));
    }
    // Whether an element with this identifier exists in the window at all.
    [[nodiscard]] bool has(const char* identifier) const;
    // A sheet open over the window, by identifier; null when none is.
    [[nodiscard]] ui::Sheet* sheet(const char* identifier) const;
    // The text of the label with this identifier; empty when there is none.
    QString text(const char* identifier);
    void click(const char* identifier);
    // Presses the state's main action and opens the advanced options of the confirmation
    // sheet it brings up; returns that sheet (null, the test failed, when none opens).
    ui::Sheet* confirmWithAdvancedOptions();
    // Presses Return, Enter and the keypad's Enter with the focus on each target in turn.
    void pressReturnOn(std::initializer_list<QWidget*> targets);

    HomeModelHarness harness;
    std::unique_ptr<MainWindow> window;
    HomeView* view = nullptr;
};

// Every control that Tab can reach inside `root`, in the order Tab visits them from `first`.
[[nodiscard]] std::set<QWidget*> tabbed(QWidget& first, QWidget& root);
// Every visible, enabled control inside `root` that takes the focus by Tab.
[[nodiscard]] std::set<QWidget*> focusable(QWidget& root);

}  // namespace marlowick::testing
