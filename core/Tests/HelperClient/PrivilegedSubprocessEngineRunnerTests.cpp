#include "HelperClient/PrivilegedSubprocessEngineRunner.hpp"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "HelperWire/HelperLineCoding.hpp"
#include "HelperWire/HelperWireCodec.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

using Elevation = PrivilegedSubprocessEngineRunner::Elevation;
using Stage = HelperProgress::Stage;

const HelperCommand detect{HelperCommand::Detect{HelperDiskRef("/dev/loop-standin", 512, 65536, std::nullopt)}};
const HelperResult notVentoy{HelperResult::Detected{HelperDriveStatus(HelperDriveStatus::NotVentoy{"blank"})}};
const HelperProgress firstProgress(Stage::writeRawImage, 512, 1024);
const HelperProgress secondProgress(Stage::verifyRawImage, 1024, 1024);

std::string line(const HelperWireFrame& frame) { return *encodeJson(frame); }
std::string progressLine(const HelperProgress& progress) { return line({HelperWireFrame::Progress{progress}}); }
std::string resultLine(const HelperResult& result) { return line({HelperWireFrame::Result{result}}); }
// A shell word that prints the frame as one line.
std::string printLine(const std::string& text) { return "printf '%s\\n' '" + text + "'\n"; }

std::string text(const std::filesystem::path& path) {
    const std::vector<std::uint8_t> bytes = test::readFile(path);
    return {bytes.begin(), bytes.end()};
}

// Stand-in helpers and pkexec: small sh scripts in a temporary folder, which record what
// they saw into files beside them.
class StandIns {
public:
    std::filesystem::path script(const std::string& name, const std::string& body, mode_t mode = 0755) const {
        const std::filesystem::path path = dir.file(name);
        const std::string whole = "#!/bin/sh\n" + body;
        test::writeFile(path, {whole.begin(), whole.end()});
        ::chmod(path.c_str(), mode);
        return path;
    }
    [[nodiscard]] std::filesystem::path file(const std::string& name) const { return dir.file(name); }
    // The file's path as the last word of a shell command: single-quoted, then a newline.
    [[nodiscard]] std::string endingIn(const std::string& name) const {
        return "'" + dir.file(name).string() + "'\n";
    }

private:
    test::TempDir dir;
};

struct Outcome {
    std::vector<HelperProgress> progress;
    HelperResult result;
};

Outcome runOnce(PrivilegedSubprocessEngineRunner& runner, const HelperCancelCheck& isCancelled = [] { return false; }) {
    Outcome outcome;
    outcome.result = runner.run(
        detect, [&](const HelperProgress& progress) { outcome.progress.push_back(progress); }, isCancelled);
    return outcome;
}

HelperResult deviceFailure(std::string detail) {
    return HelperResult::failed(HelperCommandError::CouldNotOpenDevice{std::move(detail)});
}
HelperResult noResult() {
    return HelperResult::failed(HelperCommandError::MalformedCommand{"helper closed without returning a result"});
}

TEST(PrivilegedSubprocessEngineRunner, SkipsWhatIsNoFrameAndStopsAtTheFirstResult) {
    StandIns standIns;
    const auto helper = standIns.script(
        "helper", "IFS= read -r command\nprintf '%s\\n' \"$command\" > " + standIns.endingIn("command") +
                      "echo 'starting up'\necho\n" + printLine(progressLine(firstProgress)) +
                      printLine(R"({"progress":{"_0":{"stage":"noSuchStage"}}})") + "echo '{\"bogus\":true}'\n" +
                      printLine(progressLine(secondProgress)) + printLine(resultLine(notVentoy)) +
                      printLine(progressLine(firstProgress)) + printLine(resultLine(noResult())));
    PrivilegedSubprocessEngineRunner runner(helper, Elevation::alreadyRoot);

    const Outcome outcome = runOnce(runner);

    EXPECT_EQ(outcome.result, notVentoy);
    EXPECT_EQ(outcome.progress, (std::vector<HelperProgress>{firstProgress, secondProgress}));
    EXPECT_EQ(text(standIns.file("command")), *encodeJson(detect) + "\n");
}

// Empty callbacks mean no progress wanted and never cancelled, as for the engine itself:
// calling one would end the process with std::terminate.
TEST(PrivilegedSubprocessEngineRunner, EmptyCallbacksWantNoProgressAndNeverCancel) {
    StandIns standIns;
    const auto helper = standIns.script("helper", "IFS= read -r command\n" + printLine(progressLine(firstProgress)) +
                                                      "sleep 0.2\n" + printLine(resultLine(notVentoy)));
    PrivilegedSubprocessEngineRunner runner(helper, Elevation::alreadyRoot);
    EXPECT_EQ(runner.run(detect, HelperProgressHandler{}, HelperCancelCheck{}), notVentoy);
}

// The exit status says something only when pkexec itself refused to start the helper.
struct MissingResultCase {
    const char* name;
    Elevation elevation;
    const char* pkexecBody;  // null: no pkexec at the given path
    const char* helperBody;  // null: no helper at the given path
    mode_t helperMode;
    const char* detail;
    bool couldNotOpenDevice;  // else malformedCommand
};

class PrivilegedSubprocessEngineRunnerWithoutResult : public ::testing::TestWithParam<MissingResultCase> {};

TEST_P(PrivilegedSubprocessEngineRunnerWithoutResult, ReportsWhy) {
    const MissingResultCase& c = GetParam();
    StandIns standIns;
    const auto helper = c.helperBody != nullptr ? standIns.script("helper", c.helperBody, c.helperMode)
                                                : standIns.file("no-such-helper");
    const auto pkexec = c.pkexecBody != nullptr ? standIns.script("pkexec", c.pkexecBody) : standIns.file("no-pkexec");
    PrivilegedSubprocessEngineRunner runner(helper, c.elevation, pkexec);

    const HelperResult expected = c.couldNotOpenDevice
                                      ? deviceFailure(c.detail)
                                      : HelperResult::failed(HelperCommandError::MalformedCommand{c.detail});
    EXPECT_EQ(runOnce(runner).result, expected);
}

constexpr const char* execArguments = "exec \"$@\"\n";
constexpr const char* silentExit = "echo 'not a frame'\nexit 0\n";
constexpr const char* helperExit126 = "exit 126\n";
constexpr const char* noResultText = "helper closed without returning a result";

INSTANTIATE_TEST_SUITE_P(
    Runs, PrivilegedSubprocessEngineRunnerWithoutResult,
    ::testing::Values(
        MissingResultCase{"silentHelper", Elevation::alreadyRoot, nullptr, silentExit, 0755, noResultText, false},
        MissingResultCase{"plainHelperExit126", Elevation::alreadyRoot, nullptr, helperExit126, 0755, noResultText,
                          false},
        MissingResultCase{"silentHelperThroughPkexec", Elevation::adminPrompt, execArguments, silentExit, 0755,
                          noResultText, false},
        MissingResultCase{"pkexecDismissed", Elevation::adminPrompt, "exit 126\n", silentExit, 0755,
                          "administrator authorization was cancelled", true},
        MissingResultCase{"pkexecRefused", Elevation::adminPrompt, "exit 127\n", silentExit, 0755,
                          "administrator authorization failed (pkexec exit 127)", true},
        MissingResultCase{"missingHelper", Elevation::alreadyRoot, nullptr, nullptr, 0755,
                          "could not launch helper: No such file or directory", true},
        MissingResultCase{"helperNotExecutable", Elevation::alreadyRoot, nullptr, silentExit, 0644,
                          "could not launch helper: Permission denied", true},
        MissingResultCase{"missingPkexec", Elevation::adminPrompt, nullptr, silentExit, 0755,
                          "could not launch helper: No such file or directory", true}),
    test::CaseName{});

TEST(PrivilegedSubprocessEngineRunner, AdminPromptHandsPkexecOnlyTheHelperPath) {
    StandIns standIns;
    const auto pkexec =
        standIns.script("pkexec", "printf '%s|%s\\n' \"$#\" \"$1\" > " + standIns.endingIn("arguments") + execArguments);
    const auto helper = standIns.script("helper", "printf '%s\\n' \"$#\" > " + standIns.endingIn("helperArguments") +
                                                      "IFS= read -r command\n" + printLine(progressLine(firstProgress)) +
                                                      printLine(resultLine(notVentoy)));
    PrivilegedSubprocessEngineRunner runner(helper, Elevation::adminPrompt, pkexec);

    const Outcome outcome = runOnce(runner);

    EXPECT_EQ(outcome.result, notVentoy);
    EXPECT_EQ(outcome.progress, std::vector<HelperProgress>{firstProgress});
    EXPECT_EQ(text(standIns.file("arguments")), "1|" + helper.string() + "\n");
    EXPECT_EQ(text(standIns.file("helperArguments")), "0\n");
}

// The stand-in records every byte of its input until the runner closes it, so a second
// cancel line, or one written after the result, would show. It takes its time to answer
// the cancel line, as a helper finishing its current chunk does, so a watcher that kept
// writing would get the chance.
struct CancelCase {
    const char* name;
    bool cancelledFromTheStart;
};

class PrivilegedSubprocessEngineRunnerCancel : public ::testing::TestWithParam<CancelCase> {};

TEST_P(PrivilegedSubprocessEngineRunnerCancel, SendsExactlyOneCancelLine) {
    StandIns standIns;
    const HelperResult cancelled = notVentoy;
    const auto helper = standIns.script(
        "helper", "IFS= read -r command\nprintf '%s\\n' \"$command\" > " + standIns.endingIn("input") +
                      printLine(progressLine(firstProgress)) + "IFS= read -r cancel\nprintf '%s\\n' \"$cancel\" >> " +
                      standIns.endingIn("input") + "sleep 0.2\n" + printLine(resultLine(cancelled)) + "cat >> " +
                      standIns.endingIn("input"));
    PrivilegedSubprocessEngineRunner runner(helper, Elevation::alreadyRoot);
    std::atomic<bool> progressSeen{false};
    std::atomic<int> polls{0};
    const bool fromStart = GetParam().cancelledFromTheStart;

    HelperResult result = runner.run(
        detect, [&](const HelperProgress&) { progressSeen = true; },
        [&] {
            ++polls;
            return fromStart || progressSeen.load();
        });

    EXPECT_EQ(result, cancelled);
    EXPECT_EQ(text(standIns.file("input")), *encodeJson(detect) + "\n" + std::string(HelperLineCoding::cancelFrame) + "\n");
    // Polling stopped with the run: nothing asks or writes once run has returned.
    const int pollsAtReturn = polls.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    EXPECT_EQ(polls.load(), pollsAtReturn);
}

INSTANTIATE_TEST_SUITE_P(Runs, PrivilegedSubprocessEngineRunnerCancel,
                         ::testing::Values(CancelCase{"afterFirstProgress", false}, CancelCase{"withTheCommand", true}),
                         test::CaseName{});

// A helper that closed its input cannot take the cancel line: the failed write must not
// kill the caller with SIGPIPE, and the helper's result still arrives.
TEST(PrivilegedSubprocessEngineRunner, SurvivesAHelperThatClosedItsInput) {
    StandIns standIns;
    const auto helper = standIns.script("helper", "exec 0<&-\n" + printLine(progressLine(firstProgress)) +
                                                      "sleep 0.2\n" + printLine(resultLine(notVentoy)));
    PrivilegedSubprocessEngineRunner runner(helper, Elevation::alreadyRoot);
    std::atomic<bool> progressSeen{false};

    const HelperResult result = runner.run(
        detect, [&](const HelperProgress&) { progressSeen = true; }, [&] { return progressSeen.load(); });

    EXPECT_EQ(result, notVentoy);
}

// The helper never reads its input and keeps writing after its result. Once the runner has
// stopped reading, the helper must die of the broken pipe (even when the caller blocks
// SIGPIPE), be reaped, and have seen none of the caller's other descriptors.
TEST(PrivilegedSubprocessEngineRunner, ReapsTheHelperAndLeaksNoDescriptor) {
    StandIns standIns;
    const int leaked = ::open(standIns.file("leak-marker").c_str(), O_RDWR | O_CREAT, 0600);  // no O_CLOEXEC
    ASSERT_GE(leaked, 0);
    const auto helper =
        standIns.script("helper", "echo $$ > " + standIns.endingIn("pid") + "ls -l /proc/$$/fd > " +
                                      standIns.endingIn("descriptors") + printLine(resultLine(notVentoy)) +
                                      "while echo 'after the result'; do :; done\necho survived > " +
                                      standIns.endingIn("survived"));
    PrivilegedSubprocessEngineRunner runner(helper, Elevation::alreadyRoot);

    sigset_t pipeOnly;
    sigset_t previous;
    sigemptyset(&pipeOnly);
    sigaddset(&pipeOnly, SIGPIPE);
    ASSERT_EQ(::pthread_sigmask(SIG_BLOCK, &pipeOnly, &previous), 0);
    const Outcome outcome = runOnce(runner);
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    ::close(leaked);

    EXPECT_EQ(outcome.result, notVentoy);
    const pid_t pid = std::stoi(text(standIns.file("pid")));
    EXPECT_EQ(::waitpid(pid, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    EXPECT_EQ(::kill(pid, 0), -1) << "the helper is still there, or a zombie";
    EXPECT_FALSE(std::filesystem::exists(standIns.file("survived")));
    EXPECT_EQ(text(standIns.file("descriptors")).find("leak-marker"), std::string::npos);
}

TEST(PrivilegedSubprocessEngineRunner, RunsOneHelperAtATime) {
    StandIns standIns;
    const auto helper = standIns.script("helper", "echo \"start $$\" >> " + standIns.endingIn("log") + "sleep 0.1\n" +
                                                      "echo \"end $$\" >> " + standIns.endingIn("log") +
                                                      printLine(resultLine(notVentoy)));
    PrivilegedSubprocessEngineRunner runner(helper, Elevation::alreadyRoot);

    std::vector<HelperResult> results(3);
    {
        std::vector<std::jthread> callers;
        for (HelperResult& result : results) {
            callers.emplace_back([&runner, &result] { result = runner.run(detect); });
        }
    }

    EXPECT_EQ(results, std::vector<HelperResult>(3, notVentoy));
    std::vector<std::string> entries;
    const std::string log = text(standIns.file("log"));
    for (std::size_t at = 0; at < log.size();) {
        const std::size_t end = log.find('\n', at);
        entries.push_back(log.substr(at, end - at));
        at = end + 1;
    }
    ASSERT_EQ(entries.size(), 6U) << log;
    for (std::size_t i = 0; i < entries.size(); i += 2) {
        EXPECT_EQ(entries[i].substr(0, 6), "start ") << log;
        EXPECT_EQ(entries[i + 1], "end " + entries[i].substr(6)) << log;
    }
}

}  // namespace
}  // namespace marlowick
