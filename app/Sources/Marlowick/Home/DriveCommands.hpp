#pragma once
// What the application's Drive and View menus show and do, over the home model of the
// focused window (none when no window with a model has focus). The menu bar itself is Qt;
// everything it decides is here, so that a table test can check it.

#include <array>
#include <optional>
#include <string_view>

#include "Home/DriveMenuCommand.hpp"
#include "Home/HomeViewModel.hpp"

namespace marlowick {

namespace DriveCommands {

struct Item {
    DriveMenuCommand command;
    std::string_view title;
    bool separatorBefore;
    // The one shortcut of the menus: Ctrl+E on Eject (the key; the modifier is the
    // platform's command key).
    std::optional<char> shortcutKey;
    // The letter of the title that opens the item from the keyboard while the menu is open
    // (underlined); each item of the menu has its own.
    char mnemonic;
};

// In menu order.
inline constexpr std::array<Item, 6> items{{
    {DriveMenuCommand::prepare, "Prepare…", false, std::nullopt, 'P'},
    {DriveMenuCommand::update, "Update…", false, std::nullopt, 'U'},
    {DriveMenuCommand::reinstall, "Reinstall…", false, std::nullopt, 'R'},
    {DriveMenuCommand::removeVentoy, "Remove Ventoy…", false, std::nullopt, 'm'},
    {DriveMenuCommand::writeRawImage, "Write a Disk Image…", true, std::nullopt, 'W'},
    {DriveMenuCommand::eject, "Eject", true, 'E', 'E'},
}};

inline constexpr std::string_view menuTitle = "Drive";
inline constexpr char menuMnemonic = 'D';
inline constexpr std::string_view verifyTitle = "Verify Copied Images (SHA-256)";
inline constexpr char verifyMnemonic = 'V';
inline constexpr std::string_view verifyHelp =
    "Reads each copied image back off the drive and compares a SHA-256 checksum. Catches a corrupted copy that is "
    "the right size, at the cost of roughly doubling the time.";

// A model is focused and its state enables the command.
[[nodiscard]] bool isEnabled(const HomeViewModel* model, DriveMenuCommand command);
// Runs the command on the focused model; nothing without one.
void invoke(HomeViewModel* model, DriveMenuCommand command);
// A model is focused, no operation runs and no confirmation is open.
[[nodiscard]] bool isVerifyToggleEnabled(const HomeViewModel* model);
// The stored setting is written by the caller first; then the focused model is told.
void setVerifyCopiedImages(HomeViewModel* model, bool value);

}  // namespace DriveCommands

namespace VisibilityCommands {

inline constexpr std::string_view showNonUsbTitle = "Show Non-USB Disks";
inline constexpr char showNonUsbMnemonic = 'N';
inline constexpr std::string_view showFixedStorageTitle = "Show External SSDs and Hard Drives";
inline constexpr char showFixedStorageMnemonic = 'S';

// Both toggles: enabled exactly when a model is focused.
[[nodiscard]] bool isEnabled(const HomeViewModel* model);
// The stored setting is written by the caller first; then the focused model is told.
void setShowNonUsbDisks(HomeViewModel* model, bool value);
void setShowFixedStorage(HomeViewModel* model, bool value);

}  // namespace VisibilityCommands

}  // namespace marlowick
