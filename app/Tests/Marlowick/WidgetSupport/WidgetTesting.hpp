#pragma once
// What widget tests do as a user would: find an element by its identifier, and keep a
// screenshot of a window for a person to look at (never compared pixel by pixel).

#include <gtest/gtest.h>

#include <QString>
#include <QVBoxLayout>
#include <QWidget>
#include <string>

#include "Design/BrandColor.hpp"

namespace marlowick::testing {

// The one descendant of `root` (or `root` itself) with this identifier and type; fails the
// test and returns null when there is none or more than one.
template <class T = QWidget>
T* findElement(QWidget& root, const QString& identifier) {
    if (root.objectName() == identifier) {
        if (auto* self = qobject_cast<T*>(&root)) return self;
    }
    const auto found = root.findChildren<T*>(identifier);
    EXPECT_EQ(found.size(), 1) << "elements with identifier " << identifier.toStdString();
    return found.size() == 1 ? found.front() : nullptr;
}

// The Drive menu's items in menu order, and the letter that stands for each when a test
// writes the enabled ones as a word ("PURXWE"; '-' for a disabled item).
inline constexpr const char* driveMenuItems[] = {"Prepare…", "Update…", "Reinstall…", "Remove Ventoy…",
                                                 "Write a Disk Image…", "Eject"};
inline constexpr char driveMenuLetters[] = "PURXWE";

// Forces the appearance ("light" or "dark"; null lets the platform decide again) and sets the
// application palette for it, as the program does when the desktop's appearance changes.
void useAppearance(const char* appearance);

// Fills the window with a brand colour of the appearance in force, as the screen behind a
// card would be, and returns a column with `margin` around it to put the card in.
QVBoxLayout* brandColumn(QWidget& window, BrandColor background, int margin = 20);

// Fails the test for every visible text under `root` that is cut: a wrapping label shorter
// than its lines need, or a label or button narrower than its text. Elided labels made
// for elision are not texts of this kind.
void expectNoCutText(QWidget& root, const std::string& where);

// Fails the test for every visible symbol under `root` whose slot is empty (a symbol the
// icon theme does not have).
void expectNoEmptySymbol(QWidget& root, const std::string& where);

// What must hold of a window's layout whatever it shows, at any size and scrolled anywhere:
// - nothing visible is drawn under the brand header ("home.brandHeader") but what lies
//   behind it by design (the backdrop, "home.backdrop");
// - every popover that is open is as tall as its texts need and lies inside its screen;
// - every sheet and dialog open over the window lies inside it, and a sheet's footer is
//   whole and in view.
void expectSoundLayout(QWidget& window, const std::string& where);

// Lays the window out at its size, grabs it and writes "<name>.png" (at a device pixel
// ratio of 2, "<name>@2x.png") into the build tree's screenshot folder; what it shows is
// checked for cut text and empty symbols too. Returns the file written.
std::string saveScreenshot(QWidget& window, const std::string& name);

}  // namespace marlowick::testing
