#pragma once
// What the sheet that asks before an operation says, and when its action may be pressed:
// the title, the sentence on what happens to the drive, the action's label and hint, the
// first-use download notice and the acknowledgement's texts. Whether a drive is large
// enough to be named before it is erased is decided here for the hero and the sheet alike.
// Pure functions of the kind, the drive and the options: no model and no widget.

#include <cstdint>
#include <optional>
#include <string>

#include "Home/AdvancedInstallOptions.hpp"
#include "Home/HomeOperationKind.hpp"

namespace marlowick::OperationConfirmationPresentation {

[[nodiscard]] std::string title(HomeOperationKind kind);
[[nodiscard]] std::string explanation(HomeOperationKind kind, const std::string& deviceName, std::int64_t capacityBytes);
[[nodiscard]] std::string actionLabel(HomeOperationKind kind);
[[nodiscard]] std::string actionHint(HomeOperationKind kind);
// "First use downloads about <size> of Ventoy boot files."
[[nodiscard]] std::string downloadNotice(std::int64_t downloadBytes);
// The acknowledgement's spoken label and hint; its caption is the two parts around the
// drive's name, which the sheet shows in bold.
[[nodiscard]] std::string acknowledgementLabel(const std::string& deviceName);
[[nodiscard]] std::string acknowledgementHint(HomeOperationKind kind);
inline constexpr std::string_view acknowledgementCaptionBefore = "I understand this permanently erases everything on ";
inline constexpr std::string_view acknowledgementCaptionAfter = ".";

// A drive this large (the library's ceiling for a thumb drive, or more) is named before an
// erasing operation; a size not known is not large.
[[nodiscard]] bool isLargeDrive(std::optional<std::int64_t> capacityBytes);
// The large-drive caution shows for an erasing kind on a large drive.
[[nodiscard]] bool showsLargeDriveCaution(HomeOperationKind kind, std::optional<std::int64_t> capacityBytes);

// The action may be pressed: at once for what erases nothing; for what erases, once the
// acknowledgement is ticked and, for the kinds that lay down a new data partition, while
// the options fit the drive.
[[nodiscard]] bool confirmEnabled(HomeOperationKind kind, const AdvancedInstallOptions& options,
                                  std::int64_t capacityBytes, bool acknowledged);
// Return presses the action: only for a kind that erases nothing, while it may be pressed.
[[nodiscard]] bool returnConfirms(HomeOperationKind kind, bool enabled);

}  // namespace marlowick::OperationConfirmationPresentation
