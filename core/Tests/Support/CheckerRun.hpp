#pragma once
// Runs an outside checker (sfdisk, sgdisk, fsck…) on a file or device and gives its
// output with the path replaced by a placeholder, ready to compare with an expected text.

#include <string>

#include "Support/TestSupport.hpp"

namespace marlowick::test {

// Runs `command '<path>'`; every occurrence of path in the output becomes `placeholder`.
CommandOutput runChecker(const std::string& command, const std::string& path, const std::string& placeholder);

}  // namespace marlowick::test
