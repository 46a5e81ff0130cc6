#include "Diagnostics/MarlowickLog.hpp"

#include <atomic>
#include <initializer_list>
#include <mutex>
#include <variant>

#include "Diagnostics/LogSinks.hpp"

namespace marlowick::MarlowickLog {
namespace {

using Argument = std::variant<std::string_view, std::int64_t>;

std::mutex sinkLock;
std::shared_ptr<Sink> installedSink;
std::atomic<bool> privateDataShown{false};

std::shared_ptr<Sink> systemLogSink() {
    static const std::shared_ptr<Sink> sink = std::make_shared<SyslogSink>();
    return sink;
}

std::string text(const Argument& argument) {
    if (const auto* number = std::get_if<std::int64_t>(&argument)) return std::to_string(*number);
    return std::string(std::get<std::string_view>(argument));
}

// Fills the placeholders of a fixed format in order: %{public}s, %{private}s,
// %{public}ld, %{public}lld. Private values are redacted unless shown.
std::string formatted(std::string_view format, std::initializer_list<Argument> arguments) {
    static constexpr std::string_view privateMark = "%{private}";
    const bool showPrivate = privateDataShown.load();
    std::string message;
    const Argument* next = arguments.begin();
    std::size_t at = 0;
    while (at < format.size()) {
        const std::size_t open = format.find("%{", at);
        if (open == std::string_view::npos) break;
        // The conversion after the braces ends at its s or d: "s", "ld" or "lld".
        const std::size_t end = format.find_first_of("sd", format.find('}', open));
        if (end == std::string_view::npos) break;
        message.append(format.substr(at, open - at));
        const bool isPrivate = format.substr(open, privateMark.size()) == privateMark;
        if (next != arguments.end()) {
            message += isPrivate && !showPrivate ? std::string("<private>") : text(*next);
            ++next;
        }
        at = end + 1;
    }
    message.append(format.substr(at));
    return message;
}

void log(Category category, Level level, std::string_view format, std::initializer_list<Argument> arguments) {
    const std::shared_ptr<Sink> sink = currentSink();
    if (!sink->isEnabled(level)) return;
    sink->write(Record{std::string(subsystem), category, level, formatted(format, arguments)});
}

}  // namespace

void processStarted(std::string_view process, std::string_view version) {
    log(Category::lifecycle, Level::standard, "%{public}s started, version %{public}s", {process, version});
}

void ventoyRegistryRefreshed(std::string_view outcome) {
    log(Category::assets, Level::standard, "ventoy registry refresh: %{public}s", {outcome});
}

void enumerated(std::int64_t total, std::int64_t eligible, DriveVisibility visibility) {
    log(Category::picker, Level::info, "enumerated %{public}ld whole disk(s), %{public}ld eligible under %{public}s",
        {total, eligible, rawValue(visibility)});
}

void selectedDrive(std::string_view bsdName, std::int64_t capacityBytes,
                   DeviceFingerprint::Strength fingerprintStrength) {
    log(Category::picker, Level::standard, "selected %{public}s, %{public}lld bytes, identity=%{public}s",
        {bsdName, capacityBytes, rawValue(fingerprintStrength)});
}

void detected(std::string_view bsdName, std::string_view outcome) {
    log(Category::detect, Level::info, "detect %{public}s \u2192 %{public}s", {bsdName, outcome});
}

void operationRequested(std::string_view operation, std::string_view bsdName) {
    log(Category::operation, Level::standard, "%{public}s requested for %{public}s", {operation, bsdName});
}

void operationFinished(std::string_view operation, bool succeeded, const std::vector<std::string>& details) {
    if (succeeded) {
        log(Category::operation, Level::standard, "%{public}s succeeded", {operation});
        return;
    }
    std::string joined;
    for (std::size_t i = 0; i < details.size(); ++i) {
        if (i > 0) joined += " | ";
        joined += details[i];
    }
    log(Category::operation, Level::error, "%{public}s failed: %{public}s", {operation, joined});
}

void imageSelected(std::string_view name, std::int64_t sizeBytes) {
    log(Category::operation, Level::info, "image selected %{private}s, %{public}lld bytes", {name, sizeBytes});
}

void helperCommand(std::string_view command, std::string_view bsdName) {
    log(Category::helper, Level::standard, "command %{public}s \u2192 %{public}s", {command, bsdName});
}

void helperResult(std::string_view command, std::string_view outcome) {
    log(Category::helper, Level::standard, "result %{public}s \u2192 %{public}s", {command, outcome});
}

void assetFailure(std::string_view reason, std::string_view detail) {
    log(Category::assets, Level::error, "assets failed: %{public}s \u2014 %{private}s", {reason, detail});
}

void targetRefused(std::string_view bsdName, std::string_view reason) {
    log(Category::target, Level::error, "refused %{public}s: %{public}s \u2014 nothing was opened or written",
        {bsdName, reason});
}

void targetVerified(std::string_view bsdName) {
    log(Category::target, Level::info, "verified %{public}s", {bsdName});
}

void setSink(std::shared_ptr<Sink> sink) {
    const std::lock_guard guard(sinkLock);
    installedSink = std::move(sink);
}

std::shared_ptr<Sink> currentSink() {
    {
        const std::lock_guard guard(sinkLock);
        if (installedSink) return installedSink;
    }
    return systemLogSink();
}

void setShowsPrivateData(bool shows) { privateDataShown.store(shows); }

bool showsPrivateData() { return privateDataShown.load(); }

}  // namespace marlowick::MarlowickLog
