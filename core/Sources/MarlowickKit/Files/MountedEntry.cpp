#include "Files/MountedEntry.hpp"

#include <algorithm>
#include <cctype>

#include "Exfat/ExfatDirectoryReader.hpp"

namespace marlowick {
namespace {

// The text after the name's last dot, lower-cased; none for a name without one or whose
// only dot starts it (".iso" is a hidden file, not an image).
std::string lowerExtension(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return {};
    std::string extension = name.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

}  // namespace

HelperImageEntry MountedEntry::helperEntry() const { return HelperImageEntry(path.string(), name(), sizeBytes, isDirectory); }

std::vector<HelperImageEntry> MountedEntry::bootableImages(const std::vector<MountedEntry>& entries) {
    std::vector<HelperImageEntry> images;
    for (const MountedEntry& entry : entries) {
        if (entry.isDirectory) continue;
        if (ExfatDirectoryReader::bootableImageExtensions.count(lowerExtension(entry.name())) == 0) continue;
        images.push_back(entry.helperEntry());
    }
    return images;
}

void PrintTo(const MountedEntry& entry, std::ostream* os) {
    *os << entry.path.string() << (entry.isDirectory ? " (folder)" : "") << ", " << entry.sizeBytes << " bytes, t="
        << std::chrono::duration_cast<std::chrono::nanoseconds>(entry.modifiedAt.time_since_epoch()).count();
}

}  // namespace marlowick
