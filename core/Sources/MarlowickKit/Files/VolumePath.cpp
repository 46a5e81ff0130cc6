#include "Files/VolumePath.hpp"

#include <functional>

#include "Text/UnicodeText.hpp"

namespace marlowick {
namespace {

constexpr std::string_view forbiddenCharacters = "\"*/:<>?\\|";
constexpr std::int64_t maxNameUnits = 255;

bool isValidUtf8(std::string_view text) { return repairedUtf8(text) == text; }

}  // namespace

bool VolumePath::isStorable(std::string_view name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (const char c : name) {
        // Any byte below 0x20 is a control character: UTF-8 never uses them inside a sequence.
        if (static_cast<unsigned char>(c) < 0x20) return false;
        if (forbiddenCharacters.find(c) != std::string_view::npos) return false;
    }
    // A name that is not UTF-8 has no UTF-16 form the volume could store.
    return isValidUtf8(name) && utf16Length(name) <= maxNameUnits;
}

std::optional<VolumePath> VolumePath::parse(std::string_view text) {
    if (text.empty() || text.front() != '/') return std::nullopt;
    if (text == "/") return root;
    VolumePath path;
    std::string_view rest = text.substr(1);
    while (true) {
        const std::size_t slash = rest.find('/');
        const std::string_view piece = rest.substr(0, slash);
        if (!isStorable(piece)) return std::nullopt;
        path.components.emplace_back(piece);
        if (slash == std::string_view::npos) break;
        rest = rest.substr(slash + 1);
    }
    return path;
}

std::optional<VolumePath> VolumePath::appending(std::string_view name) const {
    if (!isStorable(name)) return std::nullopt;
    VolumePath longer = *this;
    longer.components.emplace_back(name);
    return longer;
}

std::optional<VolumePath> VolumePath::parent() const {
    if (isRoot()) return std::nullopt;
    VolumePath shorter = *this;
    shorter.components.pop_back();
    return shorter;
}

std::optional<std::string> VolumePath::name() const {
    if (isRoot()) return std::nullopt;
    return components.back();
}

std::string VolumePath::string() const {
    if (isRoot()) return "/";
    std::string text;
    for (const std::string& component : components) text += "/" + component;
    return text;
}

void PrintTo(const VolumePath& path, std::ostream* os) { *os << path.string(); }

}  // namespace marlowick

std::size_t std::hash<marlowick::VolumePath>::operator()(const marlowick::VolumePath& path) const noexcept {
    std::size_t seed = std::hash<std::size_t>{}(path.components.size());
    for (const std::string& component : path.components) {
        seed ^= std::hash<std::string>{}(component) + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
    }
    return seed;
}
