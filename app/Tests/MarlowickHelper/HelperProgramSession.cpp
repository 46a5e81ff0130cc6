#include "HelperProgramSession.hpp"

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <variant>

#include "HelperWire/HelperWireCodec.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick::test {
namespace {

HelperProcess launchHelper() {
    auto launched = HelperProcess::launch({helperProgramPath});
    if (auto* error = std::get_if<int>(&launched)) {
        throw std::runtime_error("cannot start " + std::string(helperProgramPath) + ": errno " + std::to_string(*error));
    }
    return std::move(std::get<HelperProcess>(launched));
}

}  // namespace

HelperProgramSession::HelperProgramSession() : process(launchHelper()), reader(process.outputDescriptor()) {}

void HelperProgramSession::send(const std::string& bytes) {
    if (!process.writeLine(bytes)) ADD_FAILURE() << "the helper no longer reads its input";
}

std::optional<std::string> HelperProgramSession::nextLine() {
    HelperLineReadResult next = reader.next();
    if (auto* line = std::get_if<HelperLine>(&next)) return std::move(line->bytes);
    if (std::holds_alternative<HelperLineTooLong>(next)) ADD_FAILURE() << "the helper wrote an over-long line";
    return std::nullopt;
}

std::vector<std::string> HelperProgramSession::finish(int& exitStatus) {
    process.closeInput();
    std::vector<std::string> lines;
    while (process.outputDescriptor() >= 0) {
        auto line = nextLine();
        if (!line) break;
        lines.push_back(std::move(*line));
    }
    const int status = process.wait();
    exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return lines;
}

HelperProgramRun runHelperProgram(const std::string& input) {
    HelperProgramSession session;
    session.send(input);
    HelperProgramRun run;
    run.lines = session.finish(run.exitStatus);
    return run;
}

HelperProgramRun feedHelperProgram(const std::string& printfFormat) {
    const CommandOutput output =
        runCommand("printf '" + printfFormat + "' | '" + std::string(helperProgramPath) + "'; echo \"exit=$?\"");
    HelperProgramRun run;
    std::size_t at = 0;
    for (std::size_t end = output.output.find('\n'); end != std::string::npos;
         at = end + 1, end = output.output.find('\n', at)) {
        run.lines.push_back(output.output.substr(at, end - at));
    }
    if (!run.lines.empty() && run.lines.back().rfind("exit=", 0) == 0) {
        run.exitStatus = std::stoi(run.lines.back().substr(5));
        run.lines.pop_back();
    }
    return run;
}

std::vector<HelperWireFrame> framesOf(const std::vector<std::string>& lines) {
    std::vector<HelperWireFrame> frames;
    for (const std::string& line : lines) {
        auto frame = HelperLineCoding::decodeFrame(line);
        if (!frame) {
            ADD_FAILURE() << "not a frame: " << line;
            continue;
        }
        frames.push_back(std::move(*frame));
    }
    return frames;
}

}  // namespace marlowick::test
