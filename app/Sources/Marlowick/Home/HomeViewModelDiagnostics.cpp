// The record of the last finished operation: the program's and the system's versions, the
// selected drive, the operation's name and outcome, and the helper's technical lines.

#include <sys/utsname.h>

#include "Diagnostics/MarlowickLog.hpp"
#include "Home/HomeViewModel.hpp"

namespace marlowick {
namespace {

constexpr std::string_view unknown = "unknown";

// The running kernel's release, such as "6.1.0-18-amd64"; the report names the system itself.
std::string kernelRelease() {
    utsname names{};
    if (uname(&names) != 0) return std::string(unknown);
    return names.release;
}

std::string buildNumber() {
#ifdef MARLOWICK_BUILD_NUMBER
    return MARLOWICK_BUILD_NUMBER;
#else
    return std::string(unknown);
#endif
}

}  // namespace

const DiagnosticReport::Environment& HomeViewModel::diagnosticEnvironment() {
    static const DiagnosticReport::Environment environment{MARLOWICK_VERSION, buildNumber(), kernelRelease()};
    return environment;
}

std::optional<DiagnosticReport::DriveSummary> HomeViewModel::driveSummary() const {
    if (!diskValue) return std::nullopt;
    const HelperDiskRef& selected = *diskValue;
    const std::string bsdName =
        TargetVerification::wholeDiskBSDName(selected.rawDevicePath).value_or(selected.rawDevicePath);
    std::optional<std::string> transport;
    for (const DiscoveredDisk& listed : availableDisksValue) {
        if (listed.bsdName == bsdName) {
            transport = listed.deviceProtocol;
            break;
        }
    }
    const std::optional<DeviceFingerprint>& fingerprint = selected.fingerprint;
    return DiagnosticReport::DriveSummary(
        bsdName, selected.sectorCount * selected.sectorSize, static_cast<int>(selected.sectorSize), transport,
        fingerprint ? fingerprint->isRemovable : false,
        fingerprint ? std::optional<DeviceFingerprint::Strength>(fingerprint->strength()) : std::nullopt);
}

void HomeViewModel::recordDiagnostics(HomeOperationKind kind, const HelperResult& result) {
    std::vector<std::string> details = result.diagnosticDetails();
    const std::string outcome = result.diagnosticOutcome();
    setLastDiagnostics(
        DiagnosticReport{diagnosticEnvironment(), std::string(diagnosticName(kind)), outcome, driveSummary(), details});
    MarlowickLog::operationFinished(diagnosticName(kind), outcome == "succeeded", details);
}

}  // namespace marlowick
