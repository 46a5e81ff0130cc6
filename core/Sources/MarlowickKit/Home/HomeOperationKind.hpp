#pragma once
// The operations the home screen runs on a drive, with the facts the rest of the
// application asks of each: its name in the diagnostics and the log, how much the user
// must confirm before it starts, whether it overwrites the drive or erases the data
// partition's files, and whether the Ventoy boot files must be acquired first.

#include <array>
#include <ostream>
#include <string_view>

namespace marlowick {

enum class HomeOperationKind { prepare, reinstall, update, removeVentoy, addImage, writeRawImage };

inline constexpr std::array<HomeOperationKind, 6> allHomeOperationKinds{
    HomeOperationKind::prepare,     HomeOperationKind::reinstall, HomeOperationKind::update,
    HomeOperationKind::removeVentoy, HomeOperationKind::addImage, HomeOperationKind::writeRawImage};

// How much the confirmation sheet asks of the user before the operation starts.
enum class HomeConfirmationFriction { heavy, light, none };

// "Prepare", "Reinstall", "Update", "Remove Ventoy", "Add an image", "Write a disk image".
[[nodiscard]] std::string_view diagnosticName(HomeOperationKind kind);
[[nodiscard]] HomeConfirmationFriction confirmation(HomeOperationKind kind);
// Overwrites what the drive holds.
[[nodiscard]] bool isDestructive(HomeOperationKind kind);
// Erases the files on the data partition.
[[nodiscard]] bool reformatsDataPartition(HomeOperationKind kind);
// Needs the boot files of a Ventoy release before the command is sent.
[[nodiscard]] bool needsVentoyAssets(HomeOperationKind kind);

// The case name: "prepare", "removeVentoy", …
[[nodiscard]] std::string_view caseName(HomeOperationKind kind);
[[nodiscard]] std::string_view caseName(HomeConfirmationFriction friction);

void PrintTo(HomeOperationKind kind, std::ostream* os);
void PrintTo(HomeConfirmationFriction friction, std::ostream* os);

}  // namespace marlowick
