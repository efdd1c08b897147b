#include "cli/platform/interrupt.h"

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <cstdlib>
#include <signal.h>
#endif

namespace cli {
namespace {

bool WaitFor(const std::stop_token& token) {
    for (int i = 0; i < 500 && !token.stop_requested(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return token.stop_requested();
}

#ifndef _WIN32

void (*CurrentSigint())(int) {
    struct sigaction current {};
    sigaction(SIGINT, nullptr, &current);
    return current.sa_handler;
}

TEST(InterruptTest, FirstRequestStopsTheRunAndTheHandlerIsRemovedAfterwards) {
    std::stop_source source;
    const auto before = CurrentSigint();
    {
        InterruptHandler handler(source);
        EXPECT_FALSE(handler.Interrupted());
        ASSERT_EQ(std::raise(SIGINT), 0);
        EXPECT_TRUE(WaitFor(source.get_token()));
        EXPECT_TRUE(handler.Interrupted());
        EXPECT_NE(CurrentSigint(), SIG_DFL);  // still ours: a second request of any kind is seen
    }
    EXPECT_EQ(CurrentSigint(), before);  // the previous handling is back
}

// After a first stop request of any kind, any second one ends the process at once.
TEST(InterruptTest, AnySecondRequestEndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const auto& [first, second] : {std::pair{SIGTERM, SIGINT}, std::pair{SIGINT, SIGINT},
                                        std::pair{SIGHUP, SIGTERM}, std::pair{SIGINT, SIGHUP}}) {
        EXPECT_EXIT(
            {
                std::stop_source source;
                const InterruptHandler handler(source);
                std::raise(first);
                if (!WaitFor(source.get_token())) std::_Exit(1);
                std::raise(second);
                std::this_thread::sleep_for(std::chrono::seconds(5));
                std::_Exit(2);  // the second request did not end it
            },
            ::testing::KilledBySignal(second), "")
            << first << " then " << second;
    }
}

TEST(InterruptTest, InstallsAgainAfterRemovalRefusesTwoAtOnceAndTakesSighup) {
    std::stop_source first;
    { InterruptHandler handler(first); }
    EXPECT_FALSE(first.stop_requested());

    std::stop_source second;
    InterruptHandler handler(second);
    EXPECT_THROW(InterruptHandler another(second), std::logic_error);
    ASSERT_EQ(std::raise(SIGHUP), 0);  // a closed terminal or lost SSH session stops too
    EXPECT_TRUE(WaitFor(second.get_token()));
    EXPECT_FALSE(first.stop_requested());
}

#else

TEST(InterruptTest, CtrlCRequestsStop) {
    AllocConsole();  // the tests may run without a console of their own
    std::stop_source source;
    InterruptHandler handler(source);
    EXPECT_THROW(InterruptHandler another(source), std::logic_error);
    if (!GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) {
        GTEST_SKIP() << "no console to send Ctrl+C to";
    }
    EXPECT_TRUE(WaitFor(source.get_token()));
    EXPECT_TRUE(handler.Interrupted());
}

#endif

}  // namespace
}  // namespace cli
