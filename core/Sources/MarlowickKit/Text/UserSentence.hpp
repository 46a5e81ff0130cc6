#pragma once
// Texts that come up from the lower layers are of two kinds. A user sentence begins with a
// capital letter and ends a sentence; the engine may follow it with the technical reason in
// parentheses, "Marlowick couldn't find this drive… (the kernel lists no block device sdb)".
// A technical line is lower-case ("device detached", "could not launch helper: errno 2 …").
// Only the sentence may reach the window; the whole text goes to the diagnostics and the log.

#include <optional>
#include <string>
#include <string_view>

namespace marlowick {

// The user sentence of `text`, without the technical reason that may follow it; none when
// `text` is a technical line.
[[nodiscard]] std::optional<std::string> userSentence(std::string_view text);

}  // namespace marlowick
