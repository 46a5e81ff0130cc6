#include "HelperEngine/VerifyingEngineRunner.hpp"

#include <stdexcept>

#include "Diagnostics/MarlowickLog.hpp"
#include "HelperWire/TargetVerification.hpp"

namespace marlowick {

VerifyingEngineRunner::VerifyingEngineRunner(std::shared_ptr<HelperEngineRunner> innerRunner,
                                             std::shared_ptr<HelperDeviceProbe> deviceProbe,
                                             std::shared_ptr<HelperSourceVolumeProbe> sourceVolumeProbe)
    : inner(std::move(innerRunner)), probe(std::move(deviceProbe)), sourceProbe(std::move(sourceVolumeProbe)) {
    if (!inner || !probe) throw std::invalid_argument("VerifyingEngineRunner needs an inner runner and a probe");
}

HelperResult VerifyingEngineRunner::run(const HelperCommand& command, const HelperProgressHandler& onProgress,
                                        const HelperCancelCheck& isCancelled) {
    const std::string& rawPath = command.disk().rawDevicePath;
    const std::string name = TargetVerification::wholeDiskBSDName(rawPath).value_or(rawPath);
    MarlowickLog::helperCommand(command.diagnosticName(), name);

    const TargetVerification::Verdict verdict =
        TargetVerification::verify(command.disk(), command.writesToDevice(), *probe);
    if (!verdict.isVerified()) {
        MarlowickLog::targetRefused(name, diagnosticDescription(verdict));
        return HelperResult::failed(HelperCommandError::TargetVerificationFailed{verdict});
    }
    MarlowickLog::targetVerified(name);

    if (const std::optional<std::string> sourcePath = command.rawWriteSourcePath(); sourcePath && sourceProbe) {
        if (sourceProbe->wholeDiskBSDName(*sourcePath) == name) {
            MarlowickLog::targetRefused(name, "the raw-write source lives on the target disk");
            return HelperResult::failed(HelperCommandError::SourceOnTarget{});
        }
    }

    HelperResult result = inner->run(command, onProgress, isCancelled);
    MarlowickLog::helperResult(command.diagnosticName(), result.diagnosticOutcome());
    return result;
}

}  // namespace marlowick
