#include "HelperWire/HelperLineReader.hpp"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <thread>
#include <vector>

#include "HelperWire/HelperCancelLatch.hpp"
#include "HelperWire/HelperLineCoding.hpp"
#include "HelperWire/HelperLineWriter.hpp"

namespace marlowick {
namespace {

// A real pipe whose write end is fed, chunk by chunk, by a writer thread and closed after
// the last chunk; the test reads the other end.
class PipeFeed {
public:
    explicit PipeFeed(std::vector<std::string> chunks) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
        readEnd = fds[0];
        writer = std::thread([writeEnd = fds[1], parts = std::move(chunks)] {
            for (const std::string& part : parts) {
                std::size_t done = 0;
                while (done < part.size()) {
                    const ssize_t put = ::write(writeEnd, part.data() + done, part.size() - done);
                    if (put <= 0) break;
                    done += static_cast<std::size_t>(put);
                }
                std::this_thread::yield();
            }
            ::close(writeEnd);
        });
    }
    ~PipeFeed() {
        writer.join();
        ::close(readEnd);
    }
    PipeFeed(const PipeFeed&) = delete;
    PipeFeed& operator=(const PipeFeed&) = delete;
    [[nodiscard]] int fd() const { return readEnd; }

private:
    int readEnd = -1;
    std::thread writer;
};

std::vector<HelperLineReadResult> readAll(HelperLineReader& reader) {
    std::vector<HelperLineReadResult> results;
    for (;;) {
        results.push_back(reader.next());
        if (std::holds_alternative<HelperEndOfInput>(results.back())) return results;
    }
}

HelperLineReadResult line(std::string bytes) { return HelperLine{std::move(bytes)}; }

struct FramingCase {
    const char* name;
    std::vector<std::string> chunks;
    std::vector<HelperLineReadResult> expected;  // without the final end of input
};

class HelperLineReaderFraming : public ::testing::TestWithParam<FramingCase> {};

TEST_P(HelperLineReaderFraming, SplitsAtEveryNewline) {
    const FramingCase& c = GetParam();
    PipeFeed feed(c.chunks);
    HelperLineReader reader(feed.fd(), 64);
    std::vector<HelperLineReadResult> results = readAll(reader);
    ASSERT_TRUE(std::holds_alternative<HelperEndOfInput>(results.back()));
    results.pop_back();
    EXPECT_EQ(results, c.expected);
    // After the end it keeps saying so.
    EXPECT_EQ(reader.next(), HelperLineReadResult(HelperEndOfInput{}));
}

const std::string long64(64, 'x');
const std::string long65(65, 'y');

INSTANTIATE_TEST_SUITE_P(
    Pipes, HelperLineReaderFraming,
    ::testing::Values(
        FramingCase{"lastLineWithoutNewline", {"a\nb"}, {line("a"), line("b")}},
        FramingCase{"twoEmptyLines", {"\n\n"}, {line(""), line("")}},
        FramingCase{"nothing", {}, {}},
        FramingCase{"carriageReturnKept", {"a\r\n"}, {line("a\r")}},
        FramingCase{"chunkedMidLine", {"{\"can", "cel\":", "true}\n{", "}\n"}, {line("{\"cancel\":true}"), line("{}")}},
        FramingCase{"byteByByte", {"a", "b", "\n", "\n", "c"}, {line("ab"), line(""), line("c")}},
        FramingCase{"lineAtTheCap", {long64 + "\n"}, {line(long64)}},
        FramingCase{"overLongLineDroppedThenReadingGoesOn",
                    {long65.substr(0, 30), long65.substr(30) + "\nnext\n"},
                    {HelperLineTooLong{64}, line("next")}},
        FramingCase{"overLongAcrossManyChunks",
                    {long65, long65, long65, "tail\nafter"},
                    {HelperLineTooLong{64}, line("after")}},
        FramingCase{"overLongLastLine", {"ok\n", long65 + long65}, {line("ok"), HelperLineTooLong{64}}},
        FramingCase{"nulBytesKept", {std::string("a\0b\n", 4)}, {line(std::string("a\0b", 3))}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HelperLineReader, ReturnsLinesLongerThanOneReadWhole) {
    const std::string big(3 * 4096 + 17, 'z');
    PipeFeed feed({big + "\n", big});
    HelperLineReader reader(feed.fd());
    EXPECT_EQ(reader.next(), line(big));
    EXPECT_EQ(reader.next(), line(big));
    EXPECT_EQ(reader.next(), HelperLineReadResult(HelperEndOfInput{}));
}

void ignoreSignal(int) {}

TEST(HelperLineReader, ASignalDuringReadIsNoEndOfInput) {
    // Without SA_RESTART, a signal makes read() fail with EINTR; the reader must read on.
    struct sigaction action {};
    struct sigaction previous {};
    action.sa_handler = ignoreSignal;
    sigemptyset(&action.sa_mask);
    ASSERT_EQ(::sigaction(SIGUSR1, &action, &previous), 0);

    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    std::atomic<bool> done{false};
    const pthread_t readerThread = ::pthread_self();
    std::thread poker([&] {
        // Interrupt the blocked read several times before any byte arrives.
        for (int i = 0; i < 5; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            ::pthread_kill(readerThread, SIGUSR1);
        }
        const std::string text = "late\n";
        EXPECT_EQ(::write(fds[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
        ::close(fds[1]);
        done = true;
    });
    HelperLineReader reader(fds[0]);
    EXPECT_EQ(reader.next(), line("late"));
    EXPECT_EQ(reader.next(), HelperLineReadResult(HelperEndOfInput{}));
    poker.join();
    ::close(fds[0]);
    ::sigaction(SIGUSR1, &previous, nullptr);
    EXPECT_TRUE(done);
}

TEST(HelperLineCoding, CancelLineIsExactlyFifteenBytes) {
    EXPECT_EQ(HelperLineCoding::cancelFrame, std::string_view("{\"cancel\":true}"));
    EXPECT_EQ(HelperLineCoding::cancelFrame.size(), 15u);
    EXPECT_TRUE(HelperLineCoding::isCancelFrame("{\"cancel\":true}"));
    for (const char* other : {"{ \"cancel\": true}", "{\"cancel\":true}\r", "{\"cancel\":true} ", "{\"cancel\":false}",
                              "{\"Cancel\":true}", ""}) {
        EXPECT_FALSE(HelperLineCoding::isCancelFrame(other)) << other;
    }

    // Through a real pipe: the cancel line arrives after a command line.
    PipeFeed feed({"{\"x\":1}\n", std::string(HelperLineCoding::cancelFrame), "\n"});
    HelperLineReader reader(feed.fd());
    HelperCancelLatch latch;
    for (auto result = reader.next(); !std::holds_alternative<HelperEndOfInput>(result); result = reader.next()) {
        if (const auto* got = std::get_if<HelperLine>(&result); got && HelperLineCoding::isCancelFrame(got->bytes)) {
            latch.cancel();
        }
    }
    EXPECT_TRUE(latch.isCancelled());
}

TEST(HelperLineCoding, EncodesOneLineAndDecodesOnlyWholeValues) {
    const auto encoded = HelperLineCoding::encodeLine(std::vector<std::string>{"a\nb", "/dev/sdb"});
    ASSERT_TRUE(encoded.has_value());
    EXPECT_EQ(encoded->back(), '\n');
    EXPECT_EQ(encoded->find('\n'), encoded->size() - 1);
    const auto decoded = HelperLineCoding::decodeLine<std::vector<std::string>>(
        std::string_view(*encoded).substr(0, encoded->size() - 1));
    EXPECT_EQ(decoded, (std::vector<std::string>{"a\nb", "/dev/sdb"}));
    EXPECT_EQ(HelperLineCoding::decodeLine<std::vector<std::string>>("[\"a\",1]"), std::nullopt);
    EXPECT_EQ(HelperLineCoding::encodeLine(std::string("\xff")), std::nullopt);
}

TEST(HelperLineWriter, WritesWholeLinesThatTheReaderSplitsBack) {
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    const std::string big(200 * 1024, 'q');  // more than the pipe holds: the writer must go on after short writes
    std::thread writer([&] {
        EXPECT_TRUE(writeHelperLine(fds[1], std::string(HelperLineCoding::cancelFrame)));
        EXPECT_TRUE(writeHelperLine(fds[1], big));
        EXPECT_TRUE(writeHelperLine(fds[1], ""));
        ::close(fds[1]);
    });
    HelperLineReader reader(fds[0]);
    EXPECT_EQ(reader.next(), line(std::string(HelperLineCoding::cancelFrame)));
    EXPECT_EQ(reader.next(), line(big));
    EXPECT_EQ(reader.next(), line(""));
    EXPECT_EQ(reader.next(), HelperLineReadResult(HelperEndOfInput{}));
    writer.join();
    ::close(fds[0]);

    // The reader's end is gone: the write fails instead of reporting success.
    int gone[2];
    ASSERT_EQ(::pipe2(gone, O_CLOEXEC), 0);
    ::close(gone[0]);
    const auto previous = ::signal(SIGPIPE, SIG_IGN);
    EXPECT_FALSE(writeHelperLine(gone[1], "lost"));
    ::signal(SIGPIPE, previous);
    ::close(gone[1]);
}

TEST(HelperCancelLatch, StaysSetOnceSetFromAnotherThread) {
    HelperCancelLatch fresh;
    EXPECT_FALSE(fresh.isCancelled());
    HelperCancelLatch latch;
    std::thread setter([&] {
        latch.cancel();
        latch.cancel();
    });
    setter.join();
    EXPECT_TRUE(latch.isCancelled());
    EXPECT_FALSE(fresh.isCancelled());
}

}  // namespace
}  // namespace marlowick
