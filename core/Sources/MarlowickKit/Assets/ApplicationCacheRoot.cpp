#include "Assets/ApplicationCacheRoot.hpp"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "Text/ErrnoText.hpp"

namespace marlowick::ApplicationCacheRoot {
namespace {

// Relative values are ignored, as the XDG base-directory rules require: a cache must not
// move with the working directory.
std::optional<std::filesystem::path> absolute(const std::optional<std::string>& value) {
    if (!value || value->empty() || (*value)[0] != '/') return std::nullopt;
    return std::filesystem::path(*value);
}

std::optional<std::string> environmentValue(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

std::optional<std::string> accountHome() {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
        found->pw_dir == nullptr) {
        return std::nullopt;
    }
    return std::string(found->pw_dir);
}

bool isDirectory(const std::filesystem::path& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool usable(const std::filesystem::path& directory) {
    return !makePrivateDirectories(directory) && isDirectory(directory) &&
           ::access(directory.c_str(), R_OK | W_OK | X_OK) == 0;
}

}  // namespace

Environment currentEnvironment() {
    Environment environment;
    environment.xdgCacheHome = environmentValue("XDG_CACHE_HOME");
    environment.home = environmentValue("HOME");
    if (!absolute(environment.home)) environment.home = accountHome();
    environment.tmpDir = environmentValue("TMPDIR");
    return environment;
}

Result resolve(const Environment& environment) {
    if (const auto xdg = absolute(environment.xdgCacheHome)) {
        const auto root = *xdg / directoryName;
        if (usable(root)) return Resolved{root, false};
    }
    if (const auto home = absolute(environment.home); home && isDirectory(*home)) {
        const auto root = *home / ".cache" / directoryName;
        if (usable(root)) return Resolved{root, false};
    }
    // mkdtemp makes the directory with mode 0700 under a name nobody could take first.
    const auto tmp = absolute(environment.tmpDir).value_or("/tmp");
    const std::string pattern = (tmp / (std::string(directoryName) + "-XXXXXX")).string();
    std::string made = pattern;  // mkdtemp fills in the name, even when it then fails
    if (::mkdtemp(made.data()) == nullptr) {
        return Failure{"mkdtemp " + pattern + ": " + currentErrnoText()};
    }
    return Resolved{made, true};
}

std::optional<std::string> makePrivateDirectories(const std::filesystem::path& directory) {
    std::filesystem::path partial;
    for (const auto& component : directory.lexically_normal()) {
        partial /= component;
        if (component.empty() || partial == partial.root_path()) continue;
        // chmod after mkdir: a restrictive umask must not leave the owner locked out.
        if (::mkdir(partial.c_str(), privateDirectoryMode) == 0) {
            (void)::chmod(partial.c_str(), privateDirectoryMode);
            continue;
        }
        const int error = errno;
        if (error == EEXIST && isDirectory(partial)) continue;
        return "mkdir " + partial.string() + ": " + errnoText(error);
    }
    return std::nullopt;
}

}  // namespace marlowick::ApplicationCacheRoot
