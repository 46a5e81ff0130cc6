#include "Exfat/ExfatWriteErrorText.hpp"

namespace marlowick {
namespace {

constexpr std::string_view notCopiedText =
    "Marlowick couldn't copy that image onto this drive. The drive was not changed.";

struct UserText {
    std::string operator()(const ExfatWriteError::NameTooLong& e) const {
        return "That image's file name is too long for an exFAT drive (" + std::to_string(e.length) +
               " characters). Rename it and try again.";
    }
    std::string operator()(const ExfatWriteError::NameNotAscii&) const {
        return "That image's file name contains accented or non-English characters, which this drive's file system "
               "can't store. Rename it using plain English letters, digits, dots, dashes or underscores.";
    }
    std::string operator()(const ExfatWriteError::NegativeSize&) const { return std::string(notCopiedText); }
    // Clusters are "blocks" to the user.
    std::string operator()(const ExfatWriteError::NotEnoughSpace& e) const {
        return "There isn't enough free space on the drive for this image (it needs " +
               std::to_string(e.clustersNeeded) + " blocks and " + std::to_string(e.clustersFree) + " are free).";
    }
    std::string operator()(const ExfatWriteError::SourceTooShort&) const {
        return "The image file ended sooner than its size said it would \u2014 it may still be downloading, or it may "
               "be damaged. Nothing was copied.";
    }
    std::string operator()(const ExfatWriteError::Unsupported&) const { return std::string(notCopiedText); }
    std::string operator()(const ExfatWriteError::EmptyName&) const { return "That image has no file name."; }
};

}  // namespace

std::string userMessage(const ExfatWriteError& error) { return std::visit(UserText{}, error.value); }

}  // namespace marlowick
