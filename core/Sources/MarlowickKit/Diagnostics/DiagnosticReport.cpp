#include "Diagnostics/DiagnosticReport.hpp"

#include <cctype>

#include "Text/PlatformWording.hpp"

namespace marlowick {
namespace {

std::string driveLine(const DiagnosticReport::DriveSummary& drive) {
    std::string line = "drive: " + drive.bsdName + ", " + std::to_string(drive.capacityBytes) + " bytes, " +
                       std::to_string(drive.sectorSize) + "B sectors";
    if (drive.transport) line += ", " + *drive.transport;
    line += drive.isRemovable ? ", removable" : ", fixed";
    if (drive.identity) line += ", identity=" + std::string(rawValue(*drive.identity));
    return line;
}

}  // namespace

DiagnosticReport::DriveSummary::DriveSummary(std::string diskName, std::int64_t capacity, int bytesPerSector,
                                             std::optional<std::string> bus, bool removable,
                                             std::optional<DeviceFingerprint::Strength> strength)
    : bsdName(std::move(diskName)),
      capacityBytes(capacity),
      sectorSize(bytesPerSector),
      transport(std::move(bus)),
      isRemovable(removable),
      identity(strength) {}

DiagnosticReport::DriveSummary::DriveSummary(const DiscoveredDisk& disk)
    : DriveSummary(disk.bsdName, disk.geometry.capacityBytes, disk.geometry.sectorSize, disk.deviceProtocol,
                   disk.isRemovable, disk.fingerprint().strength()) {}

std::string DiagnosticReport::rendered(std::string_view homeDirectory) const {
    std::string text = "Marlowick diagnostics\n";
    // The system's name, where the version string alone would not say which system it is.
    text += "app: " + environment.appVersion + " (" + environment.buildNumber + ")  " +
            std::string(PlatformWording::operatingSystem) + ": " + environment.osVersion + "\n";
    text += operation ? "operation: " + *operation + " \u2014 " + outcome : "outcome: " + outcome;
    if (drive) text += "\n" + driveLine(*drive);
    if (details.empty()) {
        text += "\ndetails: none recorded";
    } else {
        text += "\ndetails:";
        for (const std::string& detail : details) text += "\n  - " + detail;
    }
    return redact(text, homeDirectory);
}

namespace {

// Whether a path that reaches `at` goes on with more of the same name there: with home
// "/home/al", "/home/alice" is somebody else's folder, "/home/al/x" and "/home/al)" are not.
bool continuesTheName(std::string_view text, std::size_t at) {
    if (at >= text.size()) return false;
    const auto c = static_cast<unsigned char>(text[at]);
    return std::isalnum(c) != 0 || c >= 0x80 || std::string_view("._-+@~#%=").find(static_cast<char>(c)) !=
                                                     std::string_view::npos;
}

}  // namespace

std::string DiagnosticReport::redact(std::string_view text, std::string_view homeDirectory) {
    if (homeDirectory.size() < 2) return std::string(text);
    std::string result;
    result.reserve(text.size());
    std::size_t from = 0;
    for (std::size_t hit = text.find(homeDirectory); hit != std::string_view::npos;
         hit = text.find(homeDirectory, hit + 1)) {
        if (hit < from || continuesTheName(text, hit + homeDirectory.size())) continue;
        result.append(text.substr(from, hit - from)).push_back('~');
        from = hit + homeDirectory.size();
    }
    result.append(text.substr(from));
    return result;
}

void PrintTo(const DiagnosticReport& report, std::ostream* os) { *os << report.rendered(""); }

}  // namespace marlowick
