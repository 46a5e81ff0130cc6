#pragma once
// The words in user sentences that name the operating system, its settings or the computer.
// Kept in one place so that every sentence says the same thing and a port changes one file.

#include <string_view>

namespace marlowick::PlatformWording {

// The platform in the product's own name, as in "Marlowick for Linux".
inline constexpr std::string_view productPlatform = "Linux";
// Who may renumber a drive or refuse access to it.
inline constexpr std::string_view operatingSystem = "Linux";
// The disk the computer runs from.
inline constexpr std::string_view ownSystemDisk = "this computer's own system disk";
// A safe place to keep an image away from the drive being erased.
inline constexpr std::string_view computerOwnDisk = "your computer's own disk";
// How the user lets go of a drive's mounted volumes by hand, short of quitting what uses them.
inline constexpr std::string_view releaseDriveByHand = "unmount it in your file manager";
// What to do when the system refused the helper access to the drive. The helper only
// meets EPERM or EACCES after the authentication prompt was approved, so it already runs
// as root: what is left is a security policy that holds root back.
inline constexpr std::string_view accessRemedy =
    "A security policy on this computer (AppArmor, SELinux or a locked-down kernel) is most likely keeping "
    "programs from using drives directly. Check that policy, or ask whoever manages this computer, then try again.";
// The system did not mount, or would not let us write to, a prepared drive's data volume
// when an image was to be copied onto it.
inline constexpr std::string_view volumeUnavailable =
    "Linux didn't make this drive's storage available, so nothing was copied. Eject the drive, plug it back in, "
    "and try again. If it has a write-protect switch, turn it off.";

// The service that mounts a drive's volumes for the user, named where it did not answer.
inline constexpr std::string_view mountService = "udisks";
// Where the user sees a drive's name and files.
inline constexpr std::string_view fileManager = "your file manager";
// The boot guide's note on which computers start from a prepared drive. This computer is
// most likely a PC itself, so it is not set apart from the ones the drive boots.
inline constexpr std::string_view bootGuideComputersNote =
    "Ventoy drives boot PCs. Make the drive here, then boot it on the PC you want to install or repair "
    "\xE2\x80\x94 this one included.";
}  // namespace marlowick::PlatformWording
