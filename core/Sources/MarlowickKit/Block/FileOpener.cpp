#include "Block/FileOpener.hpp"

#include <fcntl.h>

namespace marlowick {

int DefaultFileOpener::open(const std::string& path, int flags) const { return ::open(path.c_str(), flags); }

}  // namespace marlowick
