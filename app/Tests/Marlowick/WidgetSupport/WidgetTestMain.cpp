// The widget tests' entry: one QApplication on the offscreen platform for every test.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "UI/ApplicationLook.hpp"

int main(int argc, char* argv[]) {
    // Settings the windows write go to a folder of this run, never the user's own.
    const QTemporaryDir settings;
    setenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit().constData(), 1);
    // No display is needed or used, whatever the caller's environment says. The one screen
    // is a laptop's, 1366×768 in logical pixels at whatever scale the run asks for
    // (QT_SCALE_FACTOR), so that windows meet the room they have on such a screen.
    const char* factor = std::getenv("QT_SCALE_FACTOR");
    const double scale = std::max(1.0, factor != nullptr ? std::atof(factor) : 1.0);
    const QString screens = settings.filePath(QStringLiteral("screens.json"));
    QFile config(screens);
    if (config.open(QIODevice::WriteOnly)) {
        config.write(QStringLiteral(R"({"screens":[{"name":"laptop","x":0,"y":0,"width":%1,"height":%2,)"
                                    R"("logicalDpi":96,"logicalBaseDpi":96,"dpr":1}]})")
                         .arg(std::lround(1366 * scale))
                         .arg(std::lround(768 * scale))
                         .toUtf8());
        config.close();
    }
    setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + screens).toLocal8Bit().constData(), 1);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    // The look the program sets on itself: style, brand palette, wheel guard.
    marlowick::ui::useApplicationLook(application);
    return RUN_ALL_TESTS();
}
