#include "Support/CheckerRun.hpp"

namespace marlowick::test {

CommandOutput runChecker(const std::string& command, const std::string& path, const std::string& placeholder) {
    CommandOutput result = runCommand(command + " '" + path + "'");
    for (std::size_t at = result.output.find(path); at != std::string::npos;
         at = result.output.find(path, at + placeholder.size())) {
        result.output.replace(at, path.size(), placeholder);
    }
    return result;
}

}  // namespace marlowick::test
