#include "Image/RawWriteMessages.hpp"

namespace marlowick::RawWriteMessages {

std::string truncated(std::string_view declared, std::string_view file) {
    std::string text = "The image says it is ";
    text += declared;
    text += ", but the file is ";
    text += file;
    text += ". A file shorter than the ";
    text += "image inside it is what an interrupted download looks like — Marlowick can't tell whether ";
    text += "the missing part matters.";
    return text;
}

}  // namespace marlowick::RawWriteMessages
