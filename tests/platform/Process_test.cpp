#include "platform/Process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>

using namespace std::chrono_literals;

TEST(Process, SpawnReportsExitCodes) {
    auto ok = Platform::spawnDetached("sh", {"-c", "exit 0"});
    ASSERT_TRUE(ok.started());
    EXPECT_EQ(ok.exitCode.get(), 0);
    auto killed = Platform::spawnDetached("sh", {"-c", "kill -9 $$"});
    ASSERT_TRUE(killed.started());
    EXPECT_EQ(killed.exitCode.get(), 128 + 9);
}

// Whoever the end's call wakes finds the exit code readable: a tick woken
// before it read "still running", and no second wake came.
TEST(Process, TheEndIsToldOnceItsCodeIsReadable) {
    // The call waits for the test to hand it the child's exit code.
    auto handed = std::make_shared<std::promise<std::shared_future<int>>>();
    auto readable = std::make_shared<std::promise<bool>>();
    auto child = Platform::spawnDetached("sh", {"-c", "exit 7"},
                                         [handed, readable, code = handed->get_future().share()](int status) {
                                             const std::shared_future<int> exitCode = code.get();
                                             readable->set_value(status == 7 &&
                                                                 exitCode.wait_for(0s) == std::future_status::ready);
                                         });
    ASSERT_TRUE(child.started());
    handed->set_value(child.exitCode);
    EXPECT_TRUE(readable->get_future().get());
    EXPECT_EQ(child.exitCode.get(), 7);
}
