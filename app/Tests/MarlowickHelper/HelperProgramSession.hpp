#pragma once
// The helper program started as the application's runner starts it (a plain child with
// two pipes), driven line by line: what the tests send, and every line it writes back.

#include <optional>
#include <string>
#include <vector>

#include "HelperWire/HelperLineReader.hpp"
#include "HelperClient/HelperProcess.hpp"
#include "HelperWire/HelperResult.hpp"

namespace marlowick::test {

// The built helper program, as this test binary was given it.
inline constexpr const char* helperProgramPath = MARLOWICK_HELPER_PATH;

class HelperProgramSession {
public:
    // Starts the helper; throws std::runtime_error when it cannot be started.
    HelperProgramSession();

    // Writes the bytes and one line feed in one write (two lines at once when the bytes
    // hold a line feed).
    void send(const std::string& bytes);
    // The next line the helper wrote, without its line feed; none at the end of its output.
    [[nodiscard]] std::optional<std::string> nextLine();
    // Stops reading: the helper's next write fails with EPIPE.
    void closeOutput() { process.closeOutput(); }
    // Closes the helper's input, collects the rest of its output and waits for it: the
    // remaining lines (none once the output is closed) and the exit status (−1 when it did
    // not exit normally).
    [[nodiscard]] std::vector<std::string> finish(int& exitStatus);

private:
    HelperProcess process;
    HelperLineReader reader;
};

// Every line of one run: `input` is sent (then the input closed), the exit status recorded.
struct HelperProgramRun {
    std::vector<std::string> lines;
    int exitStatus = -1;
};
[[nodiscard]] HelperProgramRun runHelperProgram(const std::string& input);
// The same through a shell pipe, for input the line writer cannot make: `printfFormat`
// (printf's escapes, \n for a line feed) exactly, then end of input.
[[nodiscard]] HelperProgramRun feedHelperProgram(const std::string& printfFormat);

// The frames of a run, in order; a line that is no frame fails the test.
[[nodiscard]] std::vector<HelperWireFrame> framesOf(const std::vector<std::string>& lines);

}  // namespace marlowick::test
