#pragma once
// Where the application keeps what it may throw away and fetch again: the boot-file
// cache ("ventoy-assets/") and the registry cache ("ventoy-registry/") live below it.
//
// The root is "$XDG_CACHE_HOME/Marlowick", or "~/.cache/Marlowick" when that variable is
// unset, empty or not an absolute path. Every directory made on the way is private (0700).
// When no home can be used, a fresh private directory made by mkdtemp stands in; never a
// fixed name under /tmp, which another user could create first and so control.
//
// The environment comes in as a value so that tests can drive every branch; the
// application reads its own once with currentEnvironment().

#include <filesystem>
#include <optional>
#include <string>
#include <variant>

namespace marlowick::ApplicationCacheRoot {

inline constexpr const char* directoryName = "Marlowick";
// Permission bits of every directory made here and below the root.
inline constexpr unsigned privateDirectoryMode = 0700;

struct Environment {
    std::optional<std::string> xdgCacheHome;  // $XDG_CACHE_HOME
    std::optional<std::string> home;          // $HOME, or the account's home directory
    std::optional<std::string> tmpDir;        // $TMPDIR; "/tmp" when unset or not absolute
};

// This process's environment; `home` falls back to the password database when $HOME is
// unset or not absolute.
[[nodiscard]] Environment currentEnvironment();

struct Resolved {
    std::filesystem::path path;
    bool temporary = false;  // a mkdtemp directory stands in; it is not kept between runs
    bool operator==(const Resolved&) const = default;
};

struct Failure {
    std::string detail;  // why even the temporary stand-in could not be made
    bool operator==(const Failure&) const = default;
};

using Result = std::variant<Resolved, Failure>;

// Tries, in order, "<$XDG_CACHE_HOME>/Marlowick" (when absolute) and
// "<home>/.cache/Marlowick" (when the home is absolute and already a directory: a home is
// never created), and returns the first that can be made and that this user can read,
// write and enter. When neither can, makes the stand-in "<tmp>/Marlowick-XXXXXX".
[[nodiscard]] Result resolve(const Environment& environment);

// Creates `directory` and any missing parents, each with mode 0700 (existing ones are
// left as they are). nullopt on success, else what failed: "mkdir <path>: errno 13 (…)".
[[nodiscard]] std::optional<std::string> makePrivateDirectories(const std::filesystem::path& directory);

}  // namespace marlowick::ApplicationCacheRoot
