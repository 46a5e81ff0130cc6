#include "Home/DriveSizeText.hpp"

#include "Image/ByteCountText.hpp"

namespace marlowick {

std::string driveSizeText(std::int64_t capacityBytes) {
    if (capacityBytes < 0) return "Unknown size";
    return ByteCountText::fileSize(capacityBytes);
}

}  // namespace marlowick
