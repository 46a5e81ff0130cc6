#pragma once
// The application's settings, kept by QSettings in "$XDG_CONFIG_HOME/Marlowick/Marlowick.conf"
// (~/.config/… when the variable is unset): the three Bool toggles of the menus, read
// into the home model at start and written by the toggles; the size the user last gave the
// main window; and the name of a UI-test scenario, which is only read. The scenario can
// also be given on the command line (--uitest <name>), which wins over the setting.

#include <optional>
#include <string>

#include <QSize>
#include <QStringList>

namespace marlowick::AppSettings {

inline constexpr const char* uitestKey = "uitest";
inline constexpr const char* showNonUsbDisksKey = "ShowNonUsbDisks";
inline constexpr const char* showFixedStorageKey = "ShowFixedStorageDisks";
inline constexpr const char* verifyCopiedImagesKey = "VerifyCopiedImages";
inline constexpr const char* windowSizeKey = "WindowSize";

// What start-up reads; each Bool is false when absent.
struct Startup {
    std::optional<std::string> uitest;
    bool showNonUsbDisks = false;
    bool showFixedStorage = false;
    bool verifyCopiedImages = false;
};

// `arguments` are the program's command line, program name first.
[[nodiscard]] Startup read(const QStringList& arguments);

[[nodiscard]] bool flag(const char* key);
// Written through at once, so that a crash or a kill right after still keeps it.
void setFlag(const char* key, bool value);

// The main window's size as last stored; none when there is none, or it is not a size.
[[nodiscard]] std::optional<QSize> windowSize();
void setWindowSize(QSize size);

}  // namespace marlowick::AppSettings
