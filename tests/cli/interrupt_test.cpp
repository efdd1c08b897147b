#include "cli/interrupt.h"

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
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

TEST(InterruptTest, FirstInterruptRequestsStopSecondGetsDefaultAction) {
    std::stop_source source;
    const auto before = CurrentSigint();
    {
        InterruptHandler handler(source);
        EXPECT_FALSE(handler.Interrupted());
        ASSERT_EQ(std::raise(SIGINT), 0);
        EXPECT_TRUE(WaitFor(source.get_token()));
        EXPECT_TRUE(handler.Interrupted());
        EXPECT_EQ(CurrentSigint(), SIG_DFL);  // one-shot: another Ctrl+C ends the process
    }
    EXPECT_EQ(CurrentSigint(), before);  // the previous handling is back
}

TEST(InterruptTest, InstallsAgainAfterRemovalRefusesTwoAtOnceAndTakesSigterm) {
    std::stop_source first;
    { InterruptHandler handler(first); }
    EXPECT_FALSE(first.stop_requested());

    std::stop_source second;
    InterruptHandler handler(second);
    EXPECT_THROW(InterruptHandler another(second), std::logic_error);
    ASSERT_EQ(std::raise(SIGTERM), 0);  // a service manager's stop is an interrupt too
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
