#include "Home/DriveCommands.hpp"

namespace marlowick {

namespace DriveCommands {

bool isEnabled(const HomeViewModel* model, DriveMenuCommand command) {
    return model != nullptr && model->state().enabledDriveMenuCommands().contains(command);
}

void invoke(HomeViewModel* model, DriveMenuCommand command) {
    if (model != nullptr) model->invokeDriveMenuCommand(command);
}

bool isVerifyToggleEnabled(const HomeViewModel* model) {
    return model != nullptr && !model->state().is<HomeDriveState::OperationRunning>() &&
           !model->pendingOperation().has_value();
}

void setVerifyCopiedImages(HomeViewModel* model, bool value) {
    if (model != nullptr) model->setVerifyCopiedImages(value);
}

}  // namespace DriveCommands

namespace VisibilityCommands {

bool isEnabled(const HomeViewModel* model) { return model != nullptr; }

void setShowNonUsbDisks(HomeViewModel* model, bool value) {
    if (model != nullptr) model->setDriveVisibility(value ? DriveVisibility::allExternal : DriveVisibility::usbOnly);
}

void setShowFixedStorage(HomeViewModel* model, bool value) {
    if (model != nullptr) model->setIncludeFixedStorage(value);
}

}  // namespace VisibilityCommands

}  // namespace marlowick
