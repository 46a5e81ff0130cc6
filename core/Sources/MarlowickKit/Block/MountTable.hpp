#pragma once
// The kernel's table of mounted file systems, as /proc/self/mountinfo lists it, one
// entry per mount. Each entry names the block device it stands on by device number, so
// a mount is tied to its disk even when its source text is a label, a UUID or a
// device-mapper path.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace marlowick {

struct MountEntry {
    std::int64_t mountId = 0;
    std::int64_t parentId = 0;
    unsigned int major = 0;  // device number of the file system's device
    unsigned int minor = 0;
    std::string root;        // the directory of the file system mounted here
    std::string mountPoint;  // escapes (\040 for a blank, …) undone
    std::string fsType;
    std::string source;
    // As the kernel writes them, escapes kept: a value's own commas and colons are escaped,
    // so the raw text still splits where the kernel separated.
    std::string superOptions;
    bool operator==(const MountEntry&) const = default;
};

struct MountTable {
    static constexpr std::string_view defaultPath = "/proc/self/mountinfo";

    // Undoes the kernel's octal escapes (\040 for a blank, \011, \012, \134); /proc/swaps uses them too.
    [[nodiscard]] static std::string unescape(std::string_view field);
    // The fields of one line of such a table: the text between runs of `separators`. The
    // kernel escapes those characters inside a field, and no others (a vertical tab, a form
    // feed or a carriage return in a path stays as it is and belongs to its field).
    [[nodiscard]] static std::vector<std::string_view> fields(std::string_view line, std::string_view separators = " ");
    // Lines that do not have the table's shape are skipped.
    [[nodiscard]] static std::vector<MountEntry> parse(std::string_view text);
    // The topmost mount whose mount point is `path` or a folder above it; null for a
    // relative path. Doubled slashes, "." and ".." are resolved in the text; links are not
    // followed (the kernel names files without them).
    [[nodiscard]] static const MountEntry* holding(const std::vector<MountEntry>& table, std::string_view path);
    // The folders an overlay mount stands on, from its super options: every lower layer
    // ("lowerdir", and "lowerdir+" and "datadir+" of newer kernels) and the upper one; escapes undone.
    [[nodiscard]] static std::vector<std::string> overlayLayers(std::string_view superOptions);

    // Empty when the file cannot be read.
    [[nodiscard]] static std::vector<MountEntry> read(const std::string& path = std::string(defaultPath));
};

}  // namespace marlowick
