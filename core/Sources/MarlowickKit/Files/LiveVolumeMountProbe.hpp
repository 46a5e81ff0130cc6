#pragma once
// The volume probe the application's live world uses, chosen once when it is built:
// udisks2 when it answers on the system bus (a desktop, where mounts are the user's and
// polkit decides); mount(8) when it does not and the process is root (a bare system run
// as root); udisks2 otherwise, whose failures then say why nothing can be mounted.

#include <chrono>
#include <memory>

#include "Files/VolumeMountProbe.hpp"

namespace marlowick {

// 120 seconds, as long as a user may take to answer an authentication prompt.
inline constexpr std::chrono::seconds liveMountTimeout{120};

[[nodiscard]] std::shared_ptr<VolumeMountProbe> liveVolumeMountProbe(
    std::chrono::duration<double> mountTimeout = liveMountTimeout);

}  // namespace marlowick
