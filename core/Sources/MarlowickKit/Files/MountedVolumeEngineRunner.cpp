#include "Files/MountedVolumeEngineRunner.hpp"

#include "Files/AddImageMessages.hpp"
#include "Files/MountedVolumeResolver.hpp"
#include "Exfat/ExfatWriteErrorText.hpp"

namespace marlowick {
namespace {

using Outcome = HelperAddImageOutcome;

HelperResult added(Outcome::Case outcome) { return {HelperResult::AddImage{Outcome{std::move(outcome)}}}; }

HelperResult invalid(std::string reason) { return added(Outcome::Invalid{std::move(reason)}); }

}  // namespace

HelperResult MountedVolumeEngineRunner::run(const HelperCommand& command, const HelperProgressHandler& onProgress,
                                            const HelperCancelCheck& isCancelled) {
    if (const auto* add = std::get_if<HelperCommand::AddImage>(&command.value)) {
        return addImage(*add, onProgress, isCancelled);
    }
    return privileged->run(command, onProgress, isCancelled);
}

HelperResult MountedVolumeEngineRunner::addImage(const HelperCommand::AddImage& command,
                                                 const HelperProgressHandler& onProgress,
                                                 const HelperCancelCheck& isCancelled) {
    const std::string& style = command.ventoyLayout.partitionStyle;
    if (style != "mbr" && style != "gpt") {
        return HelperResult::failed(HelperCommandError::MalformedCommand{"unknown partition style \"" + style + "\""});
    }
    const std::optional<VentoyLayout> layout = command.ventoyLayout.ventoyLayout();
    if (!layout) {
        return HelperResult::failed(HelperCommandError::MalformedCommand{"the layout's sector size is out of range"});
    }
    // Before the drive is touched: a source that is gone, or is no file at all, is not
    // worth a mount.
    if (const std::optional<MountedImageCopyResult> refused = MountedImageCopier::sourceRefusal(command.sourcePath)) {
        return result(*refused, command.name, command.sourcePath);
    }

    const MountedVolumeResolution resolution =
        MountedVolumeResolver::resolve(command.disk, *layout, *deviceProbe, *volumeProbe);
    if (const auto* refused = std::get_if<MountedVolumeResolution::Refused>(&resolution.value)) {
        return result(refused->refusal);
    }
    const MountedVolume& volume = std::get<MountedVolume>(resolution.value);

    const auto report = [&onProgress](HelperProgress::Stage stage) {
        return [&onProgress, stage](const ByteProgress& progress) {
            if (onProgress) onProgress(HelperProgress(stage, progress.currentBytes, progress.totalBytes));
        };
    };
    const MountedImageCopyResult copied =
        copier.copy(command.sourcePath, command.name, command.sizeBytes, volume.mountPoint, command.verifyContentHash,
                    report(HelperProgress::Stage::copyImage), report(HelperProgress::Stage::verifyImage), isCancelled);
    return result(copied, command.name, command.sourcePath);
}

HelperResult MountedVolumeEngineRunner::result(const MountedVolumeRefusal& refusal) {
    if (const auto* target = std::get_if<MountedVolumeRefusal::Target>(&refusal.value)) {
        return HelperResult::failed(HelperCommandError::TargetVerificationFailed{target->verdict});
    }
    if (std::holds_alternative<MountedVolumeRefusal::NotExfat>(refusal.value)) return added(Outcome::NotExfat{});
    return added(Outcome::VolumeUnavailable{render(refusal)});
}

HelperResult MountedVolumeEngineRunner::result(const MountedImageCopyResult& copy, const std::string& name,
                                               const std::string& sourcePath) {
    using R = MountedImageCopyResult;
    struct Mapper {
        const std::string& name;
        const std::string& sourcePath;
        HelperResult operator()(const R::Copied& c) const {
            return added(Outcome::Success{HelperImageEntry("/" + name, name, c.sizeBytes, false), c.freeBytesAfter,
                                          c.totalBytes});
        }
        HelperResult operator()(const R::SourceUnreadable&) const {
            return HelperResult::failed(HelperCommandError::CouldNotOpenSource{sourcePath});
        }
        HelperResult operator()(const R::SourceNotAFile& c) const {
            return invalid(AddImageMessages::notAFile(name, c.kind));
        }
        HelperResult operator()(const R::Rejected& c) const { return invalid(userMessage(c.error)); }
        HelperResult operator()(const R::NotEnoughSpace& c) const {
            return added(Outcome::NotEnoughSpace{c.bytesNeeded, c.bytesFree});
        }
        HelperResult operator()(const R::TooLargeForFilesystem&) const {
            return invalid(AddImageMessages::tooLargeForFat32());
        }
        HelperResult operator()(const R::SourceTooShort&) const { return invalid(AddImageMessages::sourceTooShort()); }
        HelperResult operator()(const R::SourceSizeMismatch&) const {
            return invalid(AddImageMessages::sourceSizeChanged());
        }
        HelperResult operator()(const R::IoFailed& c) const {
            return added(Outcome::WriteFailed{
                c.stage, HelperBlockError(BlockError{BlockError::DeviceFailure{c.operation, c.detail}})});
        }
        HelperResult operator()(const R::VerificationFailed& c) const {
            return added(Outcome::VerificationFailed{c.reason});
        }
        HelperResult operator()(const R::NameNotStorable&) const { return invalid(AddImageMessages::nameNotStorable()); }
        HelperResult operator()(const R::AlreadyExists&) const { return invalid(AddImageMessages::alreadyExists(name)); }
        HelperResult operator()(const R::Cancelled&) const { return added(Outcome::Cancelled{}); }
    };
    return std::visit(Mapper{name, sourcePath}, copy.value);
}

}  // namespace marlowick
