#pragma once
// The words in user sentences that name the operating system, its settings or the computer.
// Kept in one place so that every sentence says the same thing and a port changes one file.

#include <string_view>

namespace marlowick::PlatformWording {

// Who may renumber a drive or refuse access to it.
inline constexpr std::string_view operatingSystem = "Linux";
// The disk the computer runs from.
inline constexpr std::string_view ownSystemDisk = "this computer's own system disk";
// A safe place to keep an image away from the drive being erased.
inline constexpr std::string_view computerOwnDisk = "your computer's own disk";
// How the user lets go of a drive's mounted volumes by hand, short of quitting what uses them.
inline constexpr std::string_view releaseDriveByHand = "unmount it in your file manager";
// What to do when the system refused the helper access to the drive. The helper runs with
// administrator rights granted through the system's authentication prompt.
inline constexpr std::string_view accessRemedy =
    "Approve the administrator prompt when Marlowick asks for access to the drive, and check that no security "
    "policy blocks access to removable drives, then try again.";
// The system did not mount, or would not let us write to, a prepared drive's data volume
// when an image was to be copied onto it.
inline constexpr std::string_view volumeUnavailable =
    "Linux didn't make this drive's storage available, so nothing was copied. Eject the drive, plug it back in, "
    "and try again. If it has a write-protect switch, turn it off.";

}  // namespace marlowick::PlatformWording
