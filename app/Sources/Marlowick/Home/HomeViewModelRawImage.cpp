// Choosing an image to write over the whole drive: the file is picked, its first blocks
// read, and it is either turned away with an explanation or held, with its warnings, for
// the confirmation sheet. Only the header is read here; the write opens the file again.

#include <system_error>

#include "Diagnostics/MarlowickLog.hpp"
#include "Home/HomeViewModel.hpp"
#include "Image/CompressedRawImageSource.hpp"
#include "Image/FileRawImageSource.hpp"
#include "Image/IsoInspector.hpp"
#include "Image/RawWritePreflight.hpp"

namespace marlowick {

void HomeViewModel::beginWriteRawImage() {
    if (!diskValue) return;
    const std::optional<std::filesystem::path> file = pickRawImageFile();
    if (!file) return;
    std::error_code error;
    const std::uintmax_t bytes = std::filesystem::file_size(*file, error);
    const std::optional<std::int64_t> size =
        error ? std::nullopt : std::optional<std::int64_t>(static_cast<std::int64_t>(bytes));
    const std::string name = file->filename().string();
    MarlowickLog::imageSelected(name, size.value_or(-1));

    const std::shared_ptr<const RawImageSource> source =
        CompressedRawImageSource::forName(name, std::make_shared<FileRawImageSource>(file->string()));
    // A source that cannot be opened gives an unreadable header with the open's detail.
    const IsoHeader header = IsoInspector::readHeader(*source);
    const RawWriteRouting::Verdict verdict = RawWriteRouting::route(name, header.inspection, header.uefiBoot);
    std::vector<RawWritePreflightNotice> notices = RawWritePreflight::notices(header, source->sizeBytes());

    if (const std::optional<std::string> blocked = verdict.blockedMessage(header.bootRecord)) {
        std::string message = *blocked;
        for (const RawWritePreflightNotice& notice : notices) message += "\n\n" + notice.message();
        setRawWriteBlockedMessage(std::move(message));
        return;
    }
    if (const auto refusal = verifySelection(true)) {
        refuseOperation(HomeOperationKind::writeRawImage, *refusal);
        return;
    }
    setPendingRawImage(PendingRawImage{*file, size, verdict, std::move(notices)});
    setPendingOperation(HomeOperationKind::writeRawImage);
}

void HomeViewModel::dismissRawWriteBlocked() { setRawWriteBlockedMessage(std::nullopt); }

}  // namespace marlowick
