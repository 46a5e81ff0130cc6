#pragma once
// How a file that a request names is opened: with the rights of this process, or, in the
// helper running for another user, with that user's. Only the open is the opener's: what
// is done with the descriptor afterwards needs no rights of its own.

#include <string>

namespace marlowick {

class FileOpener {
public:
    virtual ~FileOpener() = default;
    // open(2) of the path with the flags: a descriptor, or -1 with errno set.
    [[nodiscard]] virtual int open(const std::string& path, int flags) const = 0;
};

// With this process's own rights.
class DefaultFileOpener final : public FileOpener {
public:
    [[nodiscard]] int open(const std::string& path, int flags) const override;
};

}  // namespace marlowick
