#pragma once
// One running helper program, joined to this process by a pipe to its standard input and
// a pipe from its standard output. Owns both ends and the child: the destructor closes
// what is still open and reaps the child, so no run leaves a descriptor or a zombie behind.
//
// Writes never raise SIGPIPE: the writing thread blocks it for the duration of the write
// and swallows the one the write itself caused, so a helper that has gone away shows up as
// a failed write and the caller's process needs no process-wide signal setting.
//
// The output end belongs to one reading thread; the input end to one writing thread at a
// time. Neither is guarded.

#include <string>
#include <string_view>
#include <sys/types.h>
#include <variant>
#include <vector>

namespace marlowick {

class HelperProcess {
public:
    // arguments[0] is the program to run; an errno value when it cannot be started.
    [[nodiscard]] static std::variant<HelperProcess, int> launch(const std::vector<std::string>& arguments);

    HelperProcess(HelperProcess&& other) noexcept;
    HelperProcess& operator=(HelperProcess&&) = delete;
    HelperProcess(const HelperProcess&) = delete;
    HelperProcess& operator=(const HelperProcess&) = delete;
    ~HelperProcess();

    // Writes the line and one 0x0A, all of it, blocking while the pipe is full. False when
    // the helper no longer reads (EPIPE) or the input is closed.
    [[nodiscard]] bool writeLine(std::string_view line);

    enum class LineDelivery { written, wouldBlock, failed };
    // One non-blocking write of the line and its 0x0A. A line of up to PIPE_BUF bytes goes
    // whole or not at all, so a retry after wouldBlock never sends half a line twice.
    [[nodiscard]] LineDelivery tryWriteLine(std::string_view line);

    // The read end of the helper's standard output; −1 once closed.
    [[nodiscard]] int outputDescriptor() const { return output; }

    // Each closes its end once; later calls do nothing. Closing the output gives a helper
    // that still writes EPIPE (or SIGPIPE), so it cannot block forever on a full pipe.
    void closeInput();
    void closeOutput();

    // Closes both ends, then waits for the child to end; the wait status, once reaped.
    // Returns the same status on later calls.
    [[nodiscard]] int wait();

    [[nodiscard]] pid_t processId() const { return pid; }

private:
    HelperProcess(pid_t childId, int inputEnd, int outputEnd) : pid(childId), input(inputEnd), output(outputEnd) {}

    pid_t pid;
    int input;
    int output;
    bool reaped = false;
    int status = 0;
};

}  // namespace marlowick
