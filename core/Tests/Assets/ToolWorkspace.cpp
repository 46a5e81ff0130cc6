#include "Assets/ToolWorkspace.hpp"

#include <gtest/gtest.h>

namespace marlowick::test {

CommandOutput ToolWorkspace::run(const std::string& command) const {
    return runCommand("cd '" + dir.path().string() + "' && " + command);
}

void ToolWorkspace::mustRun(const std::string& command) const {
    const CommandOutput output = run(command);
    ASSERT_EQ(output.exitCode, 0) << command << "\n" << output.output;
}

void ToolWorkspace::write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
    std::filesystem::create_directories(dir.file(name).parent_path());
    writeFile(dir.file(name), bytes);
}

std::vector<std::uint8_t> ToolWorkspace::read(const std::string& name) const { return readFile(dir.file(name)); }

std::vector<std::uint8_t> patternedBytes(std::size_t size, unsigned seed) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(size);
    for (unsigned line = 0; bytes.size() < size; ++line) {
        const std::string text = "line " + std::to_string(line * 2654435761u ^ seed) + " of seed " +
                                 std::to_string(seed) + "\n";
        bytes.insert(bytes.end(), text.begin(), text.end());
    }
    bytes.resize(size);
    return bytes;
}

}  // namespace marlowick::test
