// Every control the keyboard reaches in the home window shows that it has the focus, and Tab
// visits the controls in reading order: in each state of the home view and in its sheets.
// The states are the scripted worlds the program itself offers for its UI tests.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QImage>
#include <QScrollArea>
#include <QTest>
#include <string>
#include <vector>

#include "Home/Views/HomeView.hpp"
#include "MainWindow.hpp"
#include "StandIns/UITestScenario.hpp"
#include "Support/HomeModelHarness.hpp"
#include "WidgetSupport/WidgetTesting.hpp"

namespace marlowick {
namespace {

// The main window over a scenario's model, settled in the scenario's state.
struct ScenarioWindow {
    explicit ScenarioWindow(UITestScenario scenario)
        : running(scenario == UITestScenario::running),
          model(UITestWorld::makeModel(scenario, {harness.main.executor(), harness.catalog, quitting,
                                                  harness.background.starter()})) {
        view = new HomeView(model);
        window.setContent(view);
        window.resize(900, 760);
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
        settle();
    }
    ~ScenarioWindow() { quitting->cancel(); }
    ScenarioWindow(const ScenarioWindow&) = delete;
    ScenarioWindow& operator=(const ScenarioWindow&) = delete;

    void settle() {
        for (int round = 0; round < 6; ++round) {
            // The running scenario's download waits until it is cancelled: its job is never run.
            if (running) {
                harness.main.runAll();
            } else {
                harness.settle();
            }
            QApplication::processEvents();
            view->renderPending();
        }
    }
    void click(const char* identifier) {
        auto* button = testing::findElement<QAbstractButton>(window, QString::fromUtf8(identifier));
        ASSERT_NE(button, nullptr) << identifier;
        button->click();
        settle();
    }
    [[nodiscard]] QWidget* openDialog(const char* identifier) const {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top->objectName() == QString::fromUtf8(identifier) && top->isVisible()) return top;
        }
        return nullptr;
    }

    bool running;
    testing::HomeModelHarness harness;
    std::shared_ptr<HelperCancelLatch> quitting = std::make_shared<HelperCancelLatch>();
    std::shared_ptr<HomeViewModel> model;
    MainWindow window;
    HomeView* view = nullptr;
};

struct TabStop {
    QWidget* widget;
    QImage focused;
    QImage unfocused;
};

// Presses Tab from where the focus is when the window opens (or, with none, from its first
// control) until the focus comes back there; then grabs each stop with the focus and without.
std::vector<TabStop> walkTabStops(QWidget& top) {
    top.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&top));
    QWidget* first = QApplication::focusWidget();
    if (first == nullptr || !top.isAncestorOf(first)) {
        first = top.nextInFocusChain();
        while (first != &top &&
               !(first->isVisible() && first->isEnabled() && (first->focusPolicy() & Qt::TabFocus))) {
            first = first->nextInFocusChain();
        }
    }
    std::vector<TabStop> stops;
    if (first == &top) return stops;
    first->setFocus(Qt::TabFocusReason);
    for (int step = 0; step < 60; ++step) {
        QWidget* now = QApplication::focusWidget();
        if (now == nullptr || !top.isAncestorOf(now) || (!stops.empty() && now == stops.front().widget)) break;
        stops.push_back({now, {}, {}});
        QTest::keyClick(now, Qt::Key_Tab);
        QApplication::processEvents();
    }
    for (TabStop& stop : stops) {
        stop.widget->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
        stop.focused = stop.widget->grab().toImage();
        stop.widget->clearFocus();
        QApplication::processEvents();
        stop.unfocused = stop.widget->grab().toImage();
    }
    return stops;
}

// Where a stop is read: its rectangle on the page it scrolls with (the content of the
// scroll area around it, or the window), and the box that page is seen through.
struct Placement {
    QWidget* page;
    QRect onPage;
    QRect pageBox;
};

Placement placement(QWidget& widget, QWidget& top) {
    QWidget* page = &top;
    QRect box;
    for (QWidget* up = widget.parentWidget(); up != nullptr && up != &top; up = up->parentWidget()) {
        if (auto* area = qobject_cast<QScrollArea*>(up); area != nullptr && area->widget() != nullptr &&
                                                          area->widget()->isAncestorOf(&widget)) {
            page = area->widget();
            box = QRect(area->mapTo(&top, QPoint(0, 0)), area->size());
        }
    }
    const QRect onPage(widget.mapTo(page, QPoint(0, 0)), widget.size());
    return {page, onPage, page == &top ? onPage : box};
}

// Whether `next` comes after `previous` when reading top to bottom and left to right: on a
// later line, or on the same line further right.
bool readsAfter(const QRect& previous, const QRect& next) {
    constexpr int slack = 4;
    if (next.top() >= previous.bottom() - slack) return true;
    const bool sameLine = next.top() <= previous.bottom() && next.bottom() >= previous.top();
    return sameLine && next.left() >= previous.left();
}

std::string nameOf(const QWidget& widget) {
    const QString name = widget.objectName().isEmpty() ? QString::fromLatin1(widget.metaObject()->className())
                                                        : widget.objectName();
    return name.toStdString();
}

void expectVisibleFocusInReadingOrder(QWidget& top, const std::string& where) {
    SCOPED_TRACE(where);
    const std::vector<TabStop> stops = walkTabStops(top);
    ASSERT_FALSE(stops.empty()) << "no Tab stop";
    std::string order;
    for (const TabStop& stop : stops) order += nameOf(*stop.widget) + " ";
    SCOPED_TRACE("Tab order: " + order);
    for (std::size_t index = 0; index < stops.size(); ++index) {
        const TabStop& stop = stops[index];
        EXPECT_NE(stop.focused, stop.unfocused) << nameOf(*stop.widget) << " shows no focus";
        if (index == 0) continue;
        const Placement before = placement(*stops[index - 1].widget, top);
        const Placement after = placement(*stop.widget, top);
        const bool inOrder = before.page == after.page ? readsAfter(before.onPage, after.onPage)
                                                       : readsAfter(before.pageBox, after.pageBox);
        EXPECT_TRUE(inOrder) << nameOf(*stop.widget) << " comes after " << nameOf(*stops[index - 1].widget);
    }
}

// Both appearances: a focus ring must stand out in each.
class HomeViewFocus : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override { testing::useAppearance(GetParam()); }
    void TearDown() override { testing::useAppearance(nullptr); }
};

TEST_P(HomeViewFocus, EveryStateShowsTheFocusOfEachTabStopInReadingOrder) {
    for (const UITestScenario scenario : allUITestScenarios) {
        const std::string name(rawValue(scenario));
        ScenarioWindow home(scenario);
        // With several drives the picker opens over the window, which waits behind it.
        if (scenario == UITestScenario::picker) {
            QWidget* picker = home.openDialog("home.picker.sheet");
            ASSERT_NE(picker, nullptr);
            expectVisibleFocusInReadingOrder(*picker, "the picker");
        } else {
            expectVisibleFocusInReadingOrder(home.window, name);
        }
    }
}

TEST_P(HomeViewFocus, EverySheetShowsTheFocusOfEachTabStopInReadingOrder) {
    {
        ScenarioWindow home(UITestScenario::prepare);
        home.click("home.primaryAction");
        QWidget* sheet = home.openDialog("home.confirm.sheet");
        ASSERT_NE(sheet, nullptr);
        expectVisibleFocusInReadingOrder(*sheet, "the confirmation");
        testing::findElement<QAbstractButton>(*sheet, QStringLiteral("home.confirm.advanced.disclosure"))->click();
        home.settle();
        expectVisibleFocusInReadingOrder(*sheet, "the confirmation with its options");
    }
    {
        ScenarioWindow home(UITestScenario::noDrive);
        home.click("home.drive.bootGuide");
        QWidget* sheet = home.openDialog("home.bootGuide.sheet");
        ASSERT_NE(sheet, nullptr);
        expectVisibleFocusInReadingOrder(*sheet, "the boot guide");
    }
    {
        ScenarioWindow home(UITestScenario::ventoyReady);
        home.click("home.driveImages.browse");
        QWidget* browser = home.openDialog("browser");
        ASSERT_NE(browser, nullptr);
        home.settle();
        expectVisibleFocusInReadingOrder(*browser, "the drive browser");
    }
}

INSTANTIATE_TEST_SUITE_P(Appearances, HomeViewFocus, ::testing::Values("light", "dark"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
}  // namespace marlowick
