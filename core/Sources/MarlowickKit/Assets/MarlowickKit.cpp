#include "Assets/MarlowickKit.hpp"

#include "Assets/VentoyReleaseManifest.hpp"

namespace marlowick {

const std::string& ventoyVersion() { return VentoyReleaseManifest::pinned().version(); }

}  // namespace marlowick
