#pragma once
// How an operation of the home screen ended: succeeded with a short summary, or failed
// with a whole sentence for the user.

#include <ostream>
#include <string>
#include <variant>

namespace marlowick {

struct HomeOperationOutcome {
    struct Succeeded {
        std::string summary;
        bool operator==(const Succeeded&) const = default;
    };
    struct Failed {
        std::string message;
        bool operator==(const Failed&) const = default;
    };
    using Case = std::variant<Succeeded, Failed>;

    Case value;

    [[nodiscard]] static HomeOperationOutcome succeeded(std::string summary) { return {Succeeded{std::move(summary)}}; }
    [[nodiscard]] static HomeOperationOutcome failed(std::string message) { return {Failed{std::move(message)}}; }

    [[nodiscard]] bool isSuccess() const { return std::holds_alternative<Succeeded>(value); }
    // The summary or the message.
    [[nodiscard]] const std::string& text() const;

    bool operator==(const HomeOperationOutcome&) const = default;
};

// "succeeded(summary: \"USB ready\")", "failed(message: \"…\")"
[[nodiscard]] std::string render(const HomeOperationOutcome& outcome);
void PrintTo(const HomeOperationOutcome& outcome, std::ostream* os);

}  // namespace marlowick
