#pragma once
// A scratch folder where tests make their archives with the real tools (gzip, xz, tar)
// and read the results back, so no binary fixture is committed.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "Support/TestSupport.hpp"

namespace marlowick::test {

class ToolWorkspace {
public:
    // Runs `command` in the folder through the shell; standard error joins standard output.
    CommandOutput run(const std::string& command) const;
    // Runs `command` and fails the current test when it does not exit with 0.
    void mustRun(const std::string& command) const;

    void write(const std::string& name, const std::vector<std::uint8_t>& bytes) const;
    [[nodiscard]] std::vector<std::uint8_t> read(const std::string& name) const;
    [[nodiscard]] std::filesystem::path file(const std::string& name) const { return dir.file(name); }

private:
    TempDir dir;
};

// Bytes that compress well but not to nothing: numbered lines with a seed-dependent
// pattern, so two seeds give different data of the same length.
[[nodiscard]] std::vector<std::uint8_t> patternedBytes(std::size_t size, unsigned seed);

}  // namespace marlowick::test
