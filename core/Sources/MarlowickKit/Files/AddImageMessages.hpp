#pragma once
// The sentences a user sees when adding an image to a prepared drive was refused.

#include <cstdint>
#include <string>

namespace marlowick::AddImageMessages {

[[nodiscard]] std::string tooLargeForFat32();
[[nodiscard]] std::string sourceTooShort();
[[nodiscard]] std::string sourceSizeChanged();
[[nodiscard]] std::string nameNotStorable();
[[nodiscard]] std::string alreadyExists(const std::string& name);
// `kind` as the source file says it: "a FIFO", "a directory".
[[nodiscard]] std::string notAFile(const std::string& name, const std::string& kind);

}  // namespace marlowick::AddImageMessages
