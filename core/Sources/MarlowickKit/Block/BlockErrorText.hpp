#pragma once
// The texts of block-device failures: one plain sentence for the user (what happened,
// whether the drive was changed, what to do next) and one terse line for logs and the
// diagnostic report. Pure functions of the value; no localisation.

#include <string>
#include <string_view>

#include "Block/BlockError.hpp"

namespace marlowick {

namespace BlockErrorText {
// Another program holds the drive (EBUSY): a volume of it mounted elsewhere, or a tool
// that has the disk open for itself.
inline constexpr std::string_view driveInUse =
    "Another program is using this drive, so Marlowick couldn't open it for itself. Close any program that uses the "
    "drive, and unmount its volumes wherever they are mounted, then try again.";
// The medium refuses writes (EROFS, or a denied write to a drive the kernel marks read-only).
inline constexpr std::string_view writeProtected =
    "This drive is write-protected, so Marlowick couldn't write to it. If it has a write-protect switch, turn it "
    "off, then plug it back in and try again.";
}  // namespace BlockErrorText

// A drive in use (EBUSY) and a write-protected medium (EROFS) have their own sentences;
// a permission refusal names the system; any other failure may be a failing drive.
[[nodiscard]] std::string userMessage(const BlockError& error);

// "out of bounds: 64 sector(s) at 62521300 on a 62521344-sector device"
[[nodiscard]] std::string diagnosticDescription(const BlockError& error);

}  // namespace marlowick
