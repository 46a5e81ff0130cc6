#pragma once
// What the drive browser window writes for each entry and for the selection, decided here
// so that the window only shows it: the row's symbol, its spoken label, its size and date
// texts, and the footer's summary of the selection. Plain values; no I/O.

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "Files/MountedEntry.hpp"

namespace marlowick::DriveBrowserPresentation {

// "folder.fill" for a folder; for a file by its extension, whatever its letter case:
// "opticaldisc" for a bootable image, "doc.text" for a text or settings file, else "doc".
[[nodiscard]] std::string_view glyph(const MountedEntry& entry);
// "tools, folder" or "a.iso, 4.7 GB".
[[nodiscard]] std::string accessibilityLabel(const MountedEntry& entry);
// "—" for a folder, the file size otherwise.
[[nodiscard]] std::string sizeText(const MountedEntry& entry);
// Year, abbreviated month and day, no time, in the user's locale and time zone ("Dec 11,
// 2026"); `locale` is an ICU locale name, empty for the user's own.
[[nodiscard]] std::string dateText(std::chrono::system_clock::time_point when, std::string_view locale = {});
// Empty when nothing is selected, else "2 selected · 3 MB" (folders count no bytes).
[[nodiscard]] std::string selectionSummary(const std::vector<MountedEntry>& selected);

}  // namespace marlowick::DriveBrowserPresentation
