#pragma once
// Every sentence the user reads before writing an image over a whole drive: why a choice
// is blocked, how the written drive will boot, and the warnings shown before the write.
// They name the product and never a path, device or field. None of them names a desktop,
// file manager or settings application, so they read the same on every Linux desktop.

#include <string>
#include <string_view>

namespace marlowick::RawWriteMessages {

// Blocked choices.
inline constexpr std::string_view unreadable =
    "Marlowick couldn't read that file. Check that it finished downloading and try again.";
inline constexpr std::string_view notADiskImage =
    "That file isn't a disk image Marlowick can write. Pick an .iso, or an .img (it may be compressed as "
    ".img.xz or .img.gz).";
inline constexpr std::string_view useMultibootWithoutBootRecord =
    "This disc image can't be written directly to a drive. Prepare the drive with Ventoy instead, then add "
    "this image to it.";
inline constexpr std::string_view useMultiboot =
    "This disc image doesn't boot when it's written directly to a drive — Windows installers and most "
    "non-Linux ISOs work this way. Prepare the drive with Ventoy instead, then add this image to it: it'll "
    "boot from there.";

// How a raw-written drive will boot.
inline constexpr std::string_view bootsOnBiosAndUefi = "This image boots on BIOS and UEFI machines once it's written.";
inline constexpr std::string_view uefiUnconfirmed =
    "This image is built to start a PC from a USB drive once it's written.";
inline constexpr std::string_view unverified =
    "This image is written exactly as-is. Marlowick can't tell whether it boots — that depends on the image.";

// Warnings before the write.
inline constexpr std::string_view noBootRecord =
    "This ISO declares no boot record. Data discs look like this, and so does an image that was never meant "
    "to start a computer.";
inline constexpr std::string_view biosOnly =
    "This ISO declares a boot entry for legacy BIOS PCs only, and none for UEFI. Most modern PCs start in UEFI "
    "mode — to boot it, turn off Secure Boot and switch the PC to Legacy/CSM boot in its firmware settings, if "
    "it offers that.";
// `declared` and `file` are the two sizes as the user reads them.
[[nodiscard]] std::string truncated(std::string_view declared, std::string_view file);

}  // namespace marlowick::RawWriteMessages
