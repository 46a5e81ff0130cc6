// Every control of the home screen's cards and sheets is reached with Tab, in reading
// order, and shows that it has the focus.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QVBoxLayout>
#include <functional>
#include <memory>

#include "Home/Views/BootGuideView.hpp"
#include "Home/Views/DiagnosticsView.hpp"
#include "Home/Views/DriveImagesView.hpp"
#include "Home/Views/DrivePickerView.hpp"
#include "Home/Views/GetMobileAppView.hpp"
#include "Support/HomeModelHarness.hpp"
#include "WidgetSupport/WidgetTesting.hpp"

namespace marlowick {
namespace {

struct KeyboardCase {
    const char* name;
    // Builds the view in `window` (a card laid into it, or a sheet over it) and returns it.
    std::function<QWidget*(QWidget& window)> build;
    QStringList order;
};

QWidget* card(QWidget& window, QWidget* view) {
    auto* column = new QVBoxLayout(&window);
    column->addWidget(view);
    return view;
}

class HomeViewsKeyboard : public ::testing::TestWithParam<KeyboardCase> {};

TEST_P(HomeViewsKeyboard, TabReachesEveryControlInOrderAndFocusShows) {
    const KeyboardCase& c = GetParam();
    QWidget window;
    window.resize(520, 700);
    QWidget* view = c.build(window);
    window.show();
    view->show();
    view->activateWindow();
    QApplication::processEvents();

    auto* first = testing::findElement(*view, c.order.front());
    ASSERT_NE(first, nullptr);
    first->setFocus(Qt::TabFocusReason);
    QStringList visited;
    for (qsizetype step = 0; step < c.order.size(); ++step) {
        QWidget* focused = QApplication::focusWidget();
        ASSERT_NE(focused, nullptr);
        visited << focused->objectName();
        // A focused control looks different from the same control without focus.
        const QImage withFocus = focused->grab().toImage();
        focused->clearFocus();
        QApplication::processEvents();
        const QImage withoutFocus = focused->grab().toImage();
        EXPECT_NE(withFocus, withoutFocus) << focused->objectName().toStdString() << " shows no focus";
        focused->setFocus(Qt::TabFocusReason);
        QTest::keyClick(focused, Qt::Key_Tab);
    }
    EXPECT_EQ(visited, c.order);
}

DiagnosticReport someReport() {
    DiagnosticReport report;
    report.outcome = "failed";
    report.details = {"error: write failed"};
    return report;
}

INSTANTIATE_TEST_SUITE_P(
    Views, HomeViewsKeyboard,
    ::testing::Values(
        KeyboardCase{"picker",
                     [](QWidget& window) -> QWidget* {
                         return new DrivePickerView(
                             window, {testing::usbStick("sdb"), testing::usbStick("sdc", "S2")}, {}, {}, {});
                     },
                     {"home.picker.row.sdb", "home.picker.row.sdc", "home.picker.rescan", "home.picker.cancel"}},
        KeyboardCase{"bootGuide",
                     [](QWidget& window) -> QWidget* { return new BootGuideView(window, {}); },
                     {"home.bootGuide.close"}},
        KeyboardCase{"driveImages",
                     [](QWidget& window) {
                         return card(window, new DriveImagesView({HelperImageEntry("/a.iso", "a.iso", 1, false)},
                                                                 [] {}, [] {}));
                     },
                     {"home.driveImages.browse", "home.driveImages.refresh"}},
        KeyboardCase{"diagnostics",
                     [](QWidget& window) { return card(window, new DiagnosticsView(someReport())); },
                     {"home.diagnostics.toggle", "home.diagnostics.copy"}},
        KeyboardCase{"phoneApp",
                     [](QWidget& window) { return card(window, new GetMobileAppView(true)); },
                     {"home.done.getApp.qr", "home.done.getApp.link"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace marlowick
