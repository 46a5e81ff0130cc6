#pragma once
// A system user made for one test, with no home and no shell, together with a group of its
// own that it belongs to as a supplementary member; both are removed with the object.
// Root only: useradd, groupadd, userdel and groupdel.

#include <sys/types.h>

#include <memory>
#include <string>

namespace marlowick::test {

class SystemUser {
public:
    // Nothing, with the reason, without root or the tools.
    static std::unique_ptr<SystemUser> create(std::string& whyNot);
    SystemUser(const SystemUser&) = delete;
    SystemUser& operator=(const SystemUser&) = delete;
    ~SystemUser();

    [[nodiscard]] const std::string& name() const { return userName; }
    [[nodiscard]] uid_t uid() const { return userId; }
    [[nodiscard]] gid_t gid() const { return primaryGroup; }
    // The group the user is only a supplementary member of.
    [[nodiscard]] gid_t supplementaryGid() const { return extraGroup; }

private:
    SystemUser() = default;
    std::string userName;
    std::string extraGroupName;
    bool userMade = false;
    bool groupMade = false;
    uid_t userId = 0;
    gid_t primaryGroup = 0;
    gid_t extraGroup = 0;
};

}  // namespace marlowick::test
