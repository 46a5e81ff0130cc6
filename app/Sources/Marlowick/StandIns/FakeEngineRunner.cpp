#include "StandIns/FakeEngineRunner.hpp"

#include <type_traits>

namespace marlowick {

HelperResult FakeEngineRunner::run(const HelperCommand& command, const HelperProgressHandler& onProgress,
                                   const HelperCancelCheck& isCancelled) {
    using Kind = HelperDriveOperationReport::Kind;
    return std::visit(
        [&](const auto& c) -> HelperResult {
            using C = std::decay_t<decltype(c)>;
            if constexpr (std::is_same_v<C, HelperCommand::Detect>) {
                return detect;
            } else if constexpr (std::is_same_v<C, HelperCommand::ListImages>) {
                return {HelperResult::ImageListing{listing}};
            } else if constexpr (std::is_same_v<C, HelperCommand::AddImage>) {
                for (const HelperProgress& step : writeProgress) onProgress(step);
                HelperAddImageOutcome::Success added{HelperImageEntry("/" + c.name, c.name, c.sizeBytes, false), 0,
                                                     c.sizeBytes};
                return {HelperResult::AddImage{HelperAddImageOutcome{std::move(added)}}};
            } else if constexpr (std::is_same_v<C, HelperCommand::Prepare>) {
                return driveOperation(Kind::prepare, onProgress, isCancelled);
            } else if constexpr (std::is_same_v<C, HelperCommand::Update>) {
                return driveOperation(Kind::update, onProgress, isCancelled);
            } else if constexpr (std::is_same_v<C, HelperCommand::RemoveVentoy>) {
                return driveOperation(Kind::removeVentoy, onProgress, isCancelled);
            } else {
                static_assert(std::is_same_v<C, HelperCommand::WriteRawImage>);
                return driveOperation(Kind::writeRawImage, onProgress, isCancelled);
            }
        },
        command.value);
}

HelperResult FakeEngineRunner::driveOperation(HelperDriveOperationReport::Kind kind,
                                              const HelperProgressHandler& onProgress,
                                              const HelperCancelCheck& isCancelled) const {
    for (const HelperProgress& step : writeProgress) onProgress(step);
    const bool cancelled = isCancelled();
    return {HelperResult::DriveOperation{
        HelperDriveOperationReport(kind, true, !cancelled, cancelled, {}, std::nullopt, std::nullopt)}};
}

}  // namespace marlowick
