#include "Home/DriveBrowserPresentation.hpp"

#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <memory>

#include "Image/ByteCountText.hpp"

namespace marlowick::DriveBrowserPresentation {
namespace {

constexpr std::array<std::string_view, 7> imageExtensions{"iso", "img", "wim", "vhd", "vhdx", "efi", "vtoy"};
constexpr std::array<std::string_view, 8> textExtensions{"json", "txt", "cfg", "ini", "md", "log", "xml", "conf"};

std::string lowerExtension(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    std::string extension = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

template <std::size_t N>
bool among(const std::array<std::string_view, N>& list, const std::string& value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

}  // namespace

std::string_view glyph(const MountedEntry& entry) {
    if (entry.isDirectory) return "folder.fill";
    const std::string extension = lowerExtension(entry.name());
    if (among(imageExtensions, extension)) return "opticaldisc";
    if (among(textExtensions, extension)) return "doc.text";
    return "doc";
}

std::string accessibilityLabel(const MountedEntry& entry) {
    if (entry.isDirectory) return entry.name() + ", folder";
    return entry.name() + ", " + ByteCountText::fileSize(entry.sizeBytes);
}

std::string sizeText(const MountedEntry& entry) {
    return entry.isDirectory ? std::string("—") : ByteCountText::fileSize(entry.sizeBytes);
}

std::string dateText(std::chrono::system_clock::time_point when, std::string_view locale) {
    const icu::Locale where = locale.empty() ? icu::Locale::getDefault() : icu::Locale(std::string(locale).c_str());
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<icu::DateFormat> format(
        icu::DateFormat::createInstanceForSkeleton(icu::UnicodeString("yMMMd"), where, status));
    if (U_FAILURE(status) || !format) return {};
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count();
    icu::UnicodeString text;
    format->format(static_cast<UDate>(millis), text);
    std::string utf8;
    text.toUTF8String(utf8);
    return utf8;
}

std::string selectionSummary(const std::vector<MountedEntry>& selected) {
    if (selected.empty()) return {};
    std::int64_t total = 0;
    for (const MountedEntry& entry : selected) {
        // A sum past 64 bits (never met on a real drive) stays at the largest count.
        if (__builtin_add_overflow(total, entry.sizeBytes, &total)) total = INT64_MAX;
    }
    return std::to_string(selected.size()) + " selected · " + ByteCountText::fileSize(total);
}

}  // namespace marlowick::DriveBrowserPresentation
