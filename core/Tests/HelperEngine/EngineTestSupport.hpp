#pragma once
// What the engine tests put around MarlowickEngineRunner: a device provider that hands out
// one medium (which outlives every command) and records each open, its access mode and
// each close; an engine with the real operations; boot files of a made-up release that a
// registry signed with the tests' key vouches for; and the stage names a run reported.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "HelperEngine/HelperBlockDeviceProvider.hpp"
#include "HelperEngine/MarlowickEngineRunner.hpp"
#include "Install/VentoyInstallFixture.hpp"

namespace marlowick::test {

class RecordingDeviceProvider final : public HelperBlockDeviceProvider {
public:
    explicit RecordingDeviceProvider(std::shared_ptr<BlockDevice> medium) : mediumDevice(std::move(medium)) {}

    // Hands out a view of the medium that refuses writes when opened read-only and every
    // operation once closed; closing it does not close the medium.
    [[nodiscard]] HelperDeviceOpenResult open(const HelperDiskRef& disk, BlockAccessMode access) override;

    [[nodiscard]] const std::vector<BlockAccessMode>& opens() const { return openLog; }
    [[nodiscard]] int closes() const { return *closeCount; }
    // Every later open fails with this error.
    void failOpens(HelperCommandError error) { openFailure = std::move(error); }

private:
    std::shared_ptr<BlockDevice> mediumDevice;
    std::vector<BlockAccessMode> openLog;
    std::shared_ptr<int> closeCount = std::make_shared<int>(0);
    std::optional<HelperCommandError> openFailure;
};

// A reference to a drive of the medium's geometry, without a fingerprint.
[[nodiscard]] HelperDiskRef diskOf(const BlockDevice& medium);

// The real installer, formatter and writer; images come from files unless told otherwise.
[[nodiscard]] MarlowickEngineRunner engineWith(std::shared_ptr<RecordingDeviceProvider> devices,
                                               std::shared_ptr<HelperRawImageSourceProvider> images = nullptr);

// A made-up release the built-in list does not hold.
inline constexpr const char* registryOnlyVersion = "1.1.90";

struct TrustedBootFiles {
    std::unique_ptr<VentoyFixture> fixture;
    HelperAssetRefSet assets;  // the fixture's files, with a registry that vouches for them
};

// Nothing, with the reason to skip, when the fixture's tools are missing or this build
// does not trust the tests' registry key (scripts/test.sh configures it to).
[[nodiscard]] std::optional<TrustedBootFiles> trustedBootFiles(std::string& skipReason);

// Collects what a run reports.
struct ProgressLog {
    std::vector<HelperProgress> records;
    [[nodiscard]] HelperProgressHandler handler() {
        return [this](const HelperProgress& progress) { records.push_back(progress); };
    }
    // The wire stage names in the order they were first reported, repeats folded.
    [[nodiscard]] std::vector<std::string> stageNames() const;
};

}  // namespace marlowick::test
