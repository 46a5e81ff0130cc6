#include "TerminationSignals.hpp"

#include <gtest/gtest.h>

#include <signal.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>

namespace marlowick {
namespace {

// The three signals reach the event loop, in the order raised, and the process lives on;
// once the watcher is gone, the handlers from before it are back.
TEST(TerminationSignals, ReachTheEventLoopInsteadOfEndingTheProcess) {
    struct sigaction before {};
    ASSERT_EQ(::sigaction(SIGHUP, nullptr, &before), 0);
    {
        TerminationSignals watcher;
        ASSERT_TRUE(watcher.isWatching());
        QSignalSpy received(&watcher, &TerminationSignals::received);
        for (const int number : {SIGTERM, SIGINT, SIGHUP}) ASSERT_EQ(::raise(number), 0);
        QElapsedTimer clock;
        clock.start();
        while (received.count() < 3 && clock.elapsed() < 5000) QApplication::processEvents(QEventLoop::AllEvents, 50);
        ASSERT_EQ(received.count(), 3);
        EXPECT_EQ(received.at(0).at(0).toInt(), SIGTERM);
        EXPECT_EQ(received.at(1).at(0).toInt(), SIGINT);
        EXPECT_EQ(received.at(2).at(0).toInt(), SIGHUP);
    }
    struct sigaction after {};
    ASSERT_EQ(::sigaction(SIGHUP, nullptr, &after), 0);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
}

}  // namespace
}  // namespace marlowick
