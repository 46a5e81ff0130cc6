#pragma once
// Opens files with the rights of another user: the helper, running as root for the user who
// started it through pkexec, opens the files that user names (boot files, images) as that
// user would, so that it never reads for them what they could not read themselves. Around
// each open, and on the calling thread only, it takes the user's filesystem uid and gid
// (setfsuid, setfsgid) and supplementary groups (the setgroups system call itself: the C
// library's wrapper would change every thread), and gives this thread its own back after.
// Only root can do this; anywhere else every open is refused.

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Block/FileOpener.hpp"

namespace marlowick {

class FsuidFileOpener final : public FileOpener {
public:
    struct Identity {
        uid_t uid = 0;
        gid_t gid = 0;
        std::vector<gid_t> groups;  // supplementary groups
        bool operator==(const Identity&) const = default;
    };

    // Without an identity every open is refused with EACCES.
    explicit FsuidFileOpener(std::optional<Identity> identity) : user(std::move(identity)) {}

    // The user of the uid as the user database knows them: primary group and every group
    // that lists them. None for a uid the database does not know.
    [[nodiscard]] static std::optional<Identity> identityOf(uid_t uid);
    // The uid pkexec puts in PKEXEC_UID: decimal digits only, within uid_t, not the
    // reserved (uid_t)-1. None otherwise.
    [[nodiscard]] static std::optional<uid_t> parseUid(std::string_view text);

    // A failed switch refuses the open (its errno) and leaves this thread as it was.
    [[nodiscard]] int open(const std::string& path, int flags) const override;

    [[nodiscard]] const std::optional<Identity>& identity() const { return user; }

private:
    std::optional<Identity> user;
};

}  // namespace marlowick
