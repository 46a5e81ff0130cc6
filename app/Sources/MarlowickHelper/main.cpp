// marlowick-helper: the privileged half of Marlowick. It runs one command per process, as
// root: one JSON command line on standard input, zero or more progress frames and then
// exactly one result frame on standard output, one line each. It reads no argument and no
// file of its own; boot files and the signed registry arrive inside the command. Of its
// environment it reads only PKEXEC_UID: started through pkexec, it opens the files the
// command names (boot files, images) with the rights of that user, never with root's; a
// plain child of root (no PKEXEC_UID) opens them as root. Exit status 1 when no command
// line arrived, else 0 whatever the result.
//
// Two threads: the main thread reads the command, runs it and writes every frame; after the
// command line, a watcher thread reads the rest of standard input and sets the cancel latch
// when the cancel line comes. The latch is the only state both touch.

#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <variant>

#include "Diagnostics/MarlowickLog.hpp"
#include "Exfat/DefaultExfatFormatter.hpp"
#include "Fat32/DefaultFat32Formatter.hpp"
#include "Format/DriveFormatter.hpp"
#include "HelperEngine/FileRawImageSourceProvider.hpp"
#include "HelperEngine/FsuidFileOpener.hpp"
#include "HelperWire/HelperCancelLatch.hpp"
#include "HelperWire/HelperEngineRunner.hpp"
#include "HelperWire/HelperLineCoding.hpp"
#include "HelperWire/HelperLineReader.hpp"
#include "HelperWire/HelperLineWriter.hpp"
#include "HelperWire/HelperWireCodec.hpp"
#include "HelperEngine/MarlowickEngineRunner.hpp"
#include "HelperWire/MarlowickHelper.hpp"
#include "HelperEngine/RawDiskBlockDeviceProvider.hpp"
#include "Block/SysfsDeviceProbe.hpp"
#include "HelperEngine/VerifyingEngineRunner.hpp"
#include "Image/RawImageWriter.hpp"
#include "Install/VentoyInstaller.hpp"

namespace {

using namespace marlowick;

constexpr std::string_view noCommandDetail = "helper received no command on stdin";

// How the files a command names are opened: with the rights of the user in PKEXEC_UID, or
// with root's own when the helper was not started through pkexec. A PKEXEC_UID that is no
// number, or names no user the system knows, leaves no rights to open with: every such
// open is refused.
std::shared_ptr<const FileOpener> callerFileOpener() {
    const char* pkexecUid = std::getenv("PKEXEC_UID");
    if (pkexecUid == nullptr) return std::make_shared<const DefaultFileOpener>();
    const std::optional<uid_t> uid = FsuidFileOpener::parseUid(pkexecUid);
    return std::make_shared<const FsuidFileOpener>(uid ? FsuidFileOpener::identityOf(*uid) : std::nullopt);
}

// The engine behind a re-identification of the target: raw disks, image files, the Ventoy
// installer, the drive formatter and the raw image writer, all writing 1024 sectors at a
// time. No source-volume probe: the check that a raw-write image does not lie on the
// target disk is the application's.
std::unique_ptr<HelperEngineRunner> makeRunner() {
    constexpr std::int64_t chunkSectors = 1024;
    const std::shared_ptr<const FileOpener> callerFiles = callerFileOpener();
    auto engine = std::make_shared<MarlowickEngineRunner>(
        std::make_shared<RawDiskBlockDeviceProvider>(), std::make_shared<FileRawImageSourceProvider>(callerFiles),
        VentoyInstaller(std::make_shared<const DefaultExfatFormatter>(),
                        std::make_shared<const DefaultFat32Formatter>(chunkSectors), chunkSectors, callerFiles),
        DriveFormatter(std::make_shared<const DefaultExfatFormatter>(), chunkSectors), RawImageWriter(chunkSectors));
    return std::make_unique<VerifyingEngineRunner>(std::move(engine), std::make_shared<SysfsDeviceProbe>(), nullptr);
}

// Writes frames to standard output, one whole line each. Once a write fails (the
// application closed its end: EPIPE, SIGPIPE being ignored), the running command is asked
// to stop, so that it ends at its next chunk and closes the drive cleanly; later frames
// are dropped. Used by the main thread only.
class FrameOutput {
public:
    void emit(const HelperWireFrame& frame) {
        if (gone) return;
        // A frame that cannot be encoded goes out as an empty line, which the application skips.
        if (writeHelperLine(STDOUT_FILENO, encodeJson(frame).value_or(std::string()))) return;
        gone = true;
        if (latch != nullptr) latch->cancel();
    }
    void cancelOnFailure(HelperCancelLatch& cancelLatch) { latch = &cancelLatch; }

private:
    bool gone = false;
    HelperCancelLatch* latch = nullptr;
};

// Reads the lines after the command; the exact cancel line sets the latch. Any other line,
// a second command included, is dropped. End of input ends the watch, latch untouched.
void watchForCancel(HelperLineReader& reader, HelperCancelLatch& latch) {
    for (;;) {
        HelperLineReadResult next = reader.next();
        if (std::holds_alternative<HelperEndOfInput>(next)) return;
        const auto* line = std::get_if<HelperLine>(&next);
        if (line != nullptr && HelperLineCoding::isCancelFrame(line->bytes)) {
            latch.cancel();
            return;
        }
    }
}

// Ends the process without running destructors: the watcher may still sit in read() on
// the reader, or be about to set the latch, and must not find them destroyed. Every frame
// went out through write(2), so nothing is buffered.
[[noreturn]] void finish(int status) { std::_Exit(status); }

}  // namespace

int main() {
    // A reader that has gone away turns a frame write into EPIPE, handled by FrameOutput.
    std::signal(SIGPIPE, SIG_IGN);

    const std::unique_ptr<HelperEngineRunner> runner = makeRunner();
    MarlowickLog::processStarted(MarlowickHelper::executableName, MarlowickHelper::version);
    HelperLineReader stdinReader(STDIN_FILENO);
    FrameOutput output;

    HelperLineReadResult first = stdinReader.next();
    const auto* commandLine = std::get_if<HelperLine>(&first);
    if (std::holds_alternative<HelperEndOfInput>(first) || (commandLine != nullptr && commandLine->bytes.empty())) {
        output.emit({HelperWireFrame::Result{
            HelperResult::failed(HelperCommandError::MalformedCommand{std::string(noCommandDetail)})}});
        finish(EXIT_FAILURE);
    }

    HelperCancelLatch cancelLatch;
    output.cancelOnFailure(cancelLatch);
    try {
        // The reader passes to the watcher here; the main thread never reads again.
        std::thread(watchForCancel, std::ref(stdinReader), std::ref(cancelLatch)).detach();
    } catch (const std::system_error&) {
        // No thread to spare: the command still runs, it just cannot be cancelled.
    }

    // A line too long to keep is no command either; it is answered as undecodable.
    const HelperResult result = HelperLineCoding::handle(
        commandLine != nullptr ? std::string_view(commandLine->bytes) : std::string_view(), *runner,
        [&output](const HelperProgress& progress) { output.emit({HelperWireFrame::Progress{progress}}); },
        [&cancelLatch] { return cancelLatch.isCancelled(); });
    output.emit({HelperWireFrame::Result{result}});
    finish(EXIT_SUCCESS);
}
