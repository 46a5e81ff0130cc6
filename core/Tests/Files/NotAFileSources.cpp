#include "Files/NotAFileSources.hpp"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <future>
#include <thread>

namespace marlowick::test {

bool makeSocketNode(const std::filesystem::path& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string text = path.string();
    if (text.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

std::vector<NotAFileSource> makeNotAFileSources(const std::filesystem::path& folder) {
    const std::vector<NotAFileSource> sources{
        {"fifo", folder / "fifo.iso", "a FIFO"},
        {"characterDevice", "/dev/null", "a character device"},
        {"directory", folder / "folder.iso", "a directory"},
        {"socket", folder / "socket.iso", "a socket"},
    };
    std::error_code error;
    const bool made = ::mkfifo(sources[0].path.c_str(), 0644) == 0 &&
                      std::filesystem::create_directory(sources[2].path, error) && makeSocketNode(sources[3].path);
    return made ? sources : std::vector<NotAFileSource>{};
}

bool finishesWithin(std::chrono::seconds limit, const std::function<void()>& work,
                    const std::vector<NotAFileSource>& sources) {
    std::packaged_task<void()> task(work);
    std::future<void> done = task.get_future();
    std::thread runner(std::move(task));
    const bool finished = done.wait_for(limit) == std::future_status::ready;
    // The work may open a FIFO more than once: each open stuck on one is let go in turn.
    while (done.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
        for (const NotAFileSource& source : sources) {
            struct stat status {};
            if (::stat(source.path.c_str(), &status) != 0 || !S_ISFIFO(status.st_mode)) continue;
            const int writer = ::open(source.path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (writer >= 0) ::close(writer);
        }
    }
    runner.join();
    return finished;
}

}  // namespace marlowick::test
