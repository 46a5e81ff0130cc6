#pragma once
// Commands, frames and results on the pipe, one line each, and the helper's one entry point
// from a command line to an engine result. Decoding refuses the whole line on any error;
// encoding never throws.

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "HelperWire/HelperCommand.hpp"
#include "HelperWire/HelperLineCoding.hpp"
#include "HelperWire/HelperResult.hpp"

namespace marlowick::HelperLineCoding {

inline constexpr std::string_view undecodableCommandDetail = "helper received undecodable command bytes";
inline constexpr std::string_view undecodableResultDetail = "helper reply was not a decodable HelperResult";

// Absent on any decoding error.
[[nodiscard]] inline std::optional<HelperCommand> decodeCommand(std::string_view line) {
    return decodeLine<HelperCommand>(line);
}
[[nodiscard]] inline std::optional<HelperWireFrame> decodeFrame(std::string_view line) {
    return decodeLine<HelperWireFrame>(line);
}
// A reply that cannot be read becomes a failed result, so the caller always has one.
[[nodiscard]] inline HelperResult decodeResult(std::string_view line) {
    if (auto result = decodeLine<HelperResult>(line)) return std::move(*result);
    return HelperResult::failed(HelperCommandError::MalformedCommand{std::string(undecodableResultDetail)});
}

// Decodes one command line and runs it: runner.run(command, onProgress, isCancelled), the
// callbacks passed through unchanged. Bytes that are no command give a malformedCommand
// result without touching the runner.
template <class Runner, class OnProgress, class IsCancelled>
[[nodiscard]] HelperResult handle(std::string_view commandLine, Runner& runner, OnProgress&& onProgress,
                                  IsCancelled&& isCancelled) {
    const auto command = decodeCommand(commandLine);
    if (!command) {
        return HelperResult::failed(HelperCommandError::MalformedCommand{std::string(undecodableCommandDetail)});
    }
    return runner.run(*command, std::forward<OnProgress>(onProgress), std::forward<IsCancelled>(isCancelled));
}

}  // namespace marlowick::HelperLineCoding
