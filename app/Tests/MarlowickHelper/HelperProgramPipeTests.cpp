// The helper program's standard input and output, as the application sees them: what
// arrives on stdin decides the frames on stdout and the exit status.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "HelperWire/HelperLineCoding.hpp"
#include "HelperWire/HelperWireCodec.hpp"
#include "HelperProgramSession.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

std::string malformedFrame(const std::string& detail) {
    return *encodeJson(HelperWireFrame{
        HelperWireFrame::Result{HelperResult::failed(HelperCommandError::MalformedCommand{detail})}});
}

struct NoCommandCase {
    const char* name;
    const char* input;
    const char* detail;
    int exitStatus;
};

class HelperProgramWithoutCommand : public ::testing::TestWithParam<NoCommandCase> {};

// Exactly one line comes back, the failed result frame.
TEST_P(HelperProgramWithoutCommand, AnswersWithOneFailedFrame) {
    const NoCommandCase& c = GetParam();
    const test::HelperProgramRun run = test::feedHelperProgram(c.input);
    EXPECT_EQ(run.lines, std::vector<std::string>{malformedFrame(c.detail)});
    EXPECT_EQ(run.exitStatus, c.exitStatus);
}

constexpr const char* noCommand = "helper received no command on stdin";
constexpr const char* undecodable = "helper received undecodable command bytes";

INSTANTIATE_TEST_SUITE_P(
    Stdin, HelperProgramWithoutCommand,
    ::testing::Values(NoCommandCase{"emptyInput", "", noCommand, 1},
                      NoCommandCase{"bareNewline", "\\n", noCommand, 1},
                      NoCommandCase{"bareNewlineThenCommand", "\\n{\"cancel\":true}\\n", noCommand, 1},
                      NoCommandCase{"notJson", "not a command\\n", undecodable, 0},
                      NoCommandCase{"notJsonWithoutNewline", "not a command", undecodable, 0},
                      NoCommandCase{"cancelLineFirst", "{\"cancel\":true}\\n", undecodable, 0}),
    test::CaseName{});

}  // namespace
}  // namespace marlowick
