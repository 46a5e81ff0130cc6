#pragma once
// The main executor of the Qt application: work posted from any thread is queued onto the
// event loop of `context`'s thread and runs there. `context` must outlive every copy of
// the executor (the application object does); work still queued when it goes is dropped.

#include <QObject>

#include "Home/MainExecutor.hpp"

namespace marlowick::ui {

[[nodiscard]] MainExecutor qtMainExecutor(QObject& context);

}  // namespace marlowick::ui
