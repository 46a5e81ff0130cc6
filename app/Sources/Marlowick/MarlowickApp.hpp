#pragma once
// What the application sets once, before its first window: its names and version (which
// the desktop uses to match the window to marlowick.desktop), its window icon and the
// icon theme its symbols come from.

class QApplication;

namespace marlowick::MarlowickApp {

inline constexpr const char* desktopFileName = "marlowick";

void configure(QApplication& application);

}  // namespace marlowick::MarlowickApp
