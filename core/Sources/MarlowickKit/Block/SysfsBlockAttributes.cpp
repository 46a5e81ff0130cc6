#include "Block/SysfsBlockAttributes.hpp"

#include <algorithm>
#include <charconv>
#include <fstream>

namespace marlowick::SysfsBlockAttributes {
namespace {

std::optional<std::string> readLine(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string line;
    if (!in || !std::getline(in, line)) return std::nullopt;
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
    return line;
}

template <class Number>
std::optional<Number> parse(std::string_view text) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::vector<std::filesystem::directory_entry> entries(const std::filesystem::path& directory) {
    std::vector<std::filesystem::directory_entry> found;
    std::error_code error;
    for (std::filesystem::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
        found.push_back(*it);
    }
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.path().filename() < b.path().filename(); });
    return found;
}

}  // namespace

std::string text(const DeviceNumber& number) {
    return std::to_string(number.major) + ":" + std::to_string(number.minor);
}

bool isKernelName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

std::filesystem::path deviceDirectory(const std::string& sysfsRoot, const std::string& kernelName) {
    return std::filesystem::path(sysfsRoot) / "class" / "block" / kernelName;
}

std::optional<DeviceNumber> deviceNumber(const std::filesystem::path& deviceDirectory) {
    const auto line = readLine(deviceDirectory / "dev");
    if (!line) return std::nullopt;
    const auto colon = line->find(':');
    if (colon == std::string::npos) return std::nullopt;
    const auto major = parse<unsigned int>(std::string_view(*line).substr(0, colon));
    const auto minor = parse<unsigned int>(std::string_view(*line).substr(colon + 1));
    if (!major || !minor) return std::nullopt;
    return DeviceNumber{*major, *minor};
}

std::optional<std::int64_t> number(const std::filesystem::path& deviceDirectory, const std::string& attribute) {
    const auto line = readLine(deviceDirectory / attribute);
    if (!line) return std::nullopt;
    return parse<std::int64_t>(*line);
}

bool isPartition(const std::filesystem::path& deviceDirectory) {
    std::error_code error;
    return std::filesystem::exists(deviceDirectory / "partition", error);
}

std::vector<Partition> partitions(const std::filesystem::path& diskDirectory) {
    std::vector<Partition> found;
    for (const auto& entry : entries(diskDirectory)) {
        std::error_code error;
        if (!entry.is_directory(error) || !isPartition(entry.path())) continue;
        if (auto number = deviceNumber(entry.path())) found.push_back({entry.path().filename().string(), *number});
    }
    return found;
}

std::vector<std::string> holders(const std::filesystem::path& deviceDirectory) {
    std::vector<std::string> names;
    for (const auto& entry : entries(deviceDirectory / "holders")) names.push_back(entry.path().filename().string());
    return names;
}

}  // namespace marlowick::SysfsBlockAttributes
