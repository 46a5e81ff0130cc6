#include "Files/LiveVolumeMountProbe.hpp"

#include <unistd.h>

#include "Files/MountCommandVolumeProbe.hpp"
#include "Files/UdisksVolumeProbe.hpp"

namespace marlowick {

std::shared_ptr<VolumeMountProbe> liveVolumeMountProbe(std::chrono::duration<double> mountTimeout) {
    if (!UdisksVolumeProbe::serviceAnswers() && ::geteuid() == 0) {
        return std::make_shared<MountCommandVolumeProbe>(mountTimeout);
    }
    return std::make_shared<UdisksVolumeProbe>(mountTimeout);
}

}  // namespace marlowick
