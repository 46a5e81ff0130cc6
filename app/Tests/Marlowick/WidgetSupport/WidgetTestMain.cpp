// The widget tests' entry: one QApplication on the offscreen platform for every test.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>
#include <cstdlib>

#include "UI/ApplicationLook.hpp"

int main(int argc, char* argv[]) {
    // No display is needed or used, whatever the caller's environment says.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Settings the windows write go to a folder of this run, never the user's own.
    const QTemporaryDir settings;
    setenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit().constData(), 1);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    // The look the program sets on itself: style, brand palette, wheel guard.
    marlowick::ui::useApplicationLook(application);
    return RUN_ALL_TESTS();
}
