#pragma once
// A path on a mounted data volume as its name components, from the volume root down. Every
// component is a name the volume can store (VolumePath::isStorable), so a VolumePath never
// holds "", ".", "..", a slash or a control character, and cannot climb out of the volume.
// Its text form is "/" followed by the components joined by "/"; the root is "/".

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace marlowick {

struct VolumePath {
    std::vector<std::string> components;

    static const VolumePath root;

    // "/" is the root; otherwise the text must start with "/" and every piece between
    // slashes must be storable, so "", "a", "/a/", "/a//b" and "/a/../b" give none.
    [[nodiscard]] static std::optional<VolumePath> parse(std::string_view text);
    // A name an exFAT or FAT volume can hold: valid UTF-8, not empty, not "." or "..", at
    // most 255 UTF-16 code units, no character below U+0020 and none of " * / : < > ? \ |.
    [[nodiscard]] static bool isStorable(std::string_view name);

    // One more component; none when the name is not storable.
    [[nodiscard]] std::optional<VolumePath> appending(std::string_view name) const;
    // None for the root.
    [[nodiscard]] std::optional<VolumePath> parent() const;
    [[nodiscard]] std::optional<std::string> name() const;
    [[nodiscard]] bool isRoot() const { return components.empty(); }
    [[nodiscard]] std::string string() const;

    bool operator==(const VolumePath&) const = default;
};

inline const VolumePath VolumePath::root{};

void PrintTo(const VolumePath& path, std::ostream* os);

}  // namespace marlowick

template <>
struct std::hash<marlowick::VolumePath> {
    std::size_t operator()(const marlowick::VolumePath& path) const noexcept;
};
