#pragma once
// The one door to the system log. Every log line of either program goes through one
// of these event functions, each of which fixes the category, the level, the exact
// text and which values are private. Callers never compose log text of their own.
//
// Private values read "<private>" unless setShowsPrivateData(true) was called.
// Records go to the process-wide sink: syslog unless a test or a program set another.
// Nothing here writes to standard output or standard error. Safe from any thread.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Block/DeviceFingerprint.hpp"
#include "Block/DriveVisibility.hpp"
#include "Diagnostics/LogRecord.hpp"

namespace marlowick::MarlowickLog {

void processStarted(std::string_view process, std::string_view version);
void ventoyRegistryRefreshed(std::string_view outcome);
void enumerated(std::int64_t total, std::int64_t eligible, DriveVisibility visibility);
void selectedDrive(std::string_view bsdName, std::int64_t capacityBytes,
                   DeviceFingerprint::Strength fingerprintStrength);
void detected(std::string_view bsdName, std::string_view outcome);
void operationRequested(std::string_view operation, std::string_view bsdName);
// Success logs only the operation; failure joins the details with " | ".
void operationFinished(std::string_view operation, bool succeeded, const std::vector<std::string>& details);
// The file name is private; sizeBytes is −1 when the size is unknown.
void imageSelected(std::string_view name, std::int64_t sizeBytes);
void helperCommand(std::string_view command, std::string_view bsdName);
void helperResult(std::string_view command, std::string_view outcome);
// The reason is public, the detail private.
void assetFailure(std::string_view reason, std::string_view detail);
void targetRefused(std::string_view bsdName, std::string_view reason);
void targetVerified(std::string_view bsdName);

// Replaces the process-wide sink; null restores the system log.
void setSink(std::shared_ptr<Sink> sink);
[[nodiscard]] std::shared_ptr<Sink> currentSink();
// Off by default: private values are written as "<private>".
void setShowsPrivateData(bool shows);
[[nodiscard]] bool showsPrivateData();

}  // namespace marlowick::MarlowickLog
