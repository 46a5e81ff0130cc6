#include "Block/MountTable.hpp"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

namespace marlowick {

std::vector<std::string_view> MountTable::fields(std::string_view line, std::string_view separators) {
    std::vector<std::string_view> found;
    std::size_t start = 0;
    while (start < line.size()) {
        const auto end = line.find_first_of(separators, start);
        const auto stop = end == std::string_view::npos ? line.size() : end;
        if (stop > start) found.push_back(line.substr(start, stop - start));
        start = stop + 1;
    }
    return found;
}

// The kernel writes blank, tab, line feed and backslash as three octal digits after a backslash.
std::string MountTable::unescape(std::string_view field) {
    std::string text;
    text.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const auto digits = field.substr(i + 1, 3);
            if (digits.find_first_not_of("01234567") == std::string_view::npos) {
                text.push_back(static_cast<char>(((digits[0] - '0') << 6) | ((digits[1] - '0') << 3) | (digits[2] - '0')));
                i += 3;
                continue;
            }
        }
        text.push_back(field[i]);
    }
    return text;
}

namespace {

template <class Number>
std::optional<Number> number(std::string_view text) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<MountEntry> parseLine(std::string_view line) {
    const auto fields = MountTable::fields(line);
    // id parent major:minor root mount-point options [optional fields…] - type source super-options
    if (fields.size() < 10) return std::nullopt;
    std::size_t separator = 6;
    while (separator < fields.size() && fields[separator] != "-") ++separator;
    if (separator + 2 >= fields.size()) return std::nullopt;

    const auto colon = fields[2].find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const auto mountId = number<std::int64_t>(fields[0]);
    const auto parentId = number<std::int64_t>(fields[1]);
    const auto major = number<unsigned int>(fields[2].substr(0, colon));
    const auto minor = number<unsigned int>(fields[2].substr(colon + 1));
    if (!mountId || !parentId || !major || !minor) return std::nullopt;

    MountEntry entry;
    entry.mountId = *mountId;
    entry.parentId = *parentId;
    entry.major = *major;
    entry.minor = *minor;
    entry.root = MountTable::unescape(fields[3]);
    entry.mountPoint = MountTable::unescape(fields[4]);
    entry.fsType = MountTable::unescape(fields[separator + 1]);
    entry.source = MountTable::unescape(fields[separator + 2]);
    if (separator + 3 < fields.size()) entry.superOptions = std::string(fields[separator + 3]);
    return entry;
}

}  // namespace

std::vector<MountEntry> MountTable::parse(std::string_view text) {
    std::vector<MountEntry> entries;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto end = text.find('\n', start);
        const auto stop = end == std::string_view::npos ? text.size() : end;
        if (auto entry = parseLine(text.substr(start, stop - start))) entries.push_back(std::move(*entry));
        start = stop + 1;
    }
    return entries;
}

namespace {

// "/run/live/medium" holds "/run/live/medium" and "/run/live/medium/live/x", not "/run/live/media".
bool holdsPath(std::string_view mountPoint, std::string_view path) {
    if (!path.starts_with(mountPoint)) return false;
    return mountPoint.ends_with('/') || path.size() == mountPoint.size() || path[mountPoint.size()] == '/';
}

// An overlay layer list: folders split at ':'. Newer kernels escape a colon inside a name as
// \072; older ones show the "\:" the name was mounted with, its backslash escaped as \134.
std::vector<std::string> layerFolders(std::string_view value) {
    constexpr std::string_view escapedColon = "\\134:";
    std::vector<std::string> folders;
    std::string folder;
    for (std::size_t i = 0; i <= value.size(); ++i) {
        if (value.substr(i).starts_with(escapedColon)) {
            folder += ':';
            i += escapedColon.size() - 1;
        } else if (i == value.size() || value[i] == ':') {
            if (!folder.empty()) folders.push_back(MountTable::unescape(folder));
            folder.clear();
        } else {
            folder += value[i];
        }
    }
    return folders;
}

}  // namespace

const MountEntry* MountTable::holding(const std::vector<MountEntry>& table, std::string_view path) {
    if (!path.starts_with('/')) return nullptr;
    const std::string normal = std::filesystem::path(path).lexically_normal().string();
    const MountEntry* found = nullptr;
    for (const MountEntry& entry : table) {
        if (!holdsPath(entry.mountPoint, normal)) continue;
        // A later entry on the same mount point was mounted over the earlier one.
        if (found == nullptr || entry.mountPoint.size() >= found->mountPoint.size()) found = &entry;
    }
    return found;
}

std::vector<std::string> MountTable::overlayLayers(std::string_view superOptions) {
    std::vector<std::string> layers;
    for (const std::string_view option : fields(superOptions, ",")) {
        const auto equals = option.find('=');
        if (equals == std::string_view::npos) continue;
        const std::string_view key = option.substr(0, equals);
        if (key != "lowerdir" && key != "lowerdir+" && key != "datadir+" && key != "upperdir") continue;
        for (std::string& folder : layerFolders(option.substr(equals + 1))) layers.push_back(std::move(folder));
    }
    return layers;
}

std::vector<MountEntry> MountTable::read(const std::string& path) {
    std::ifstream file(path);
    if (!file) return {};
    std::ostringstream text;
    text << file.rdbuf();
    return parse(text.str());
}

}  // namespace marlowick
