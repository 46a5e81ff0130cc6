#include "Files/AddImageMessages.hpp"

namespace marlowick::AddImageMessages {

std::string tooLargeForFat32() {
    return "That image is larger than 4 GB, and this drive's data partition is FAT32, which can't hold files that "
           "big. Prepare the drive with exFAT to use it.";
}

std::string sourceTooShort() {
    return "The image file ended sooner than its size said it would — it may still be downloading, or it may be "
           "damaged. Nothing was copied.";
}

std::string sourceSizeChanged() {
    return "The image file's size changed after you picked it — it may still be downloading. Nothing was copied. "
           "Pick the image again once it is complete.";
}

std::string nameNotStorable() {
    return "That image's file name contains a character an exFAT drive can't store, such as a colon or a question "
           "mark. Rename it and try again.";
}

std::string alreadyExists(const std::string& name) {
    return "The drive already has a file named “" + name + "”. Rename the image, or remove the copy on the drive, "
           "and try again.";
}

std::string notAFile(const std::string& name, const std::string& kind) {
    return "“" + name + "” is " + kind + ", not an image file, so nothing was copied. Pick an image file, such as an "
           ".iso, and try again.";
}

}  // namespace marlowick::AddImageMessages
