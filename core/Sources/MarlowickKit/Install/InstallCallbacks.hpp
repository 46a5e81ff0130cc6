#pragma once
// The two callbacks of an install or update, both called on the caller's thread: a
// stage with its byte count (none for the stages that move no image bytes), and the
// cancellation test polled between units of work. Either may be empty.

#include <functional>
#include <optional>

#include "Bytes/ByteProgress.hpp"
#include "Install/InstallStage.hpp"

namespace marlowick {

using InstallProgressHandler = std::function<void(InstallStage, const std::optional<ByteProgress>&)>;
using InstallCancelCheck = std::function<bool()>;

}  // namespace marlowick
