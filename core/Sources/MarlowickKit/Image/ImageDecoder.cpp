#include "Image/ImageDecoder.hpp"

namespace marlowick {

std::string ImageDecodeTexts::undecodable(ImageCompression compression) {
    return "the compressed image could not be decoded (corrupt or not " + std::string(imageCompressionRawValues.text(compression)) + ")";
}

}  // namespace marlowick
