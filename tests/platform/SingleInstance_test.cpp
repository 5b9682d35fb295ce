#include "platform/SingleInstance.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using TestSupport::TempDir;

TEST(SingleInstance, SecondCopyFindsTheLockAndRaisesTheFirst) {
    TempDir dir;
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The running copy: holds the lock and ends with 7 once raised.
        Platform::SingleInstance first("mirel", dir.path().string());
        std::atomic<bool> raised = false;
        Platform::onRaiseRequest([&] { raised = true; });
        const char byte = first.acquired() ? 1 : 0;
        (void)!write(ready[1], &byte, 1);
        for (int i = 0; i < 500 && !raised; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        _exit(raised ? 7 : 1);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    EXPECT_EQ(byte, 1);

    Platform::SingleInstance second("mirel", dir.path().string());
    EXPECT_FALSE(second.acquired());
    EXPECT_TRUE(second.raiseRunningCopy());
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 7);

    // The first copy is gone: its lock went with it, and a stale pid is
    // cleared, so a new copy runs.
    Platform::SingleInstance third("mirel", dir.path().string());
    EXPECT_TRUE(third.acquired());
    EXPECT_FALSE(third.raiseRunningCopy());
    close(ready[0]);
    close(ready[1]);
}

TEST(SingleInstance, AnUnusableLockFolderDoesNotStopTheProgram) {
    Platform::SingleInstance guard("mirel", "/nonexistent/folder");
    EXPECT_TRUE(guard.acquired());
    EXPECT_FALSE(guard.raiseRunningCopy());
}

TEST(SingleInstance, GarbageInTheLockFileSignalsNobody) {
    TempDir dir;
    const auto path = dir.path() / "mirel.lock";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        Platform::SingleInstance first("mirel", dir.path().string());
        std::ofstream(path) << "not a pid";
        pause();
        _exit(0);
    }
    // Wait for the child to take the lock and spoil its pid.
    for (int i = 0; i < 500; ++i) {
        std::ifstream in(path);
        std::string text;
        if (std::getline(in, text) && text == "not a pid")
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Platform::SingleInstance second("mirel", dir.path().string());
    EXPECT_FALSE(second.acquired());
    EXPECT_FALSE(second.raiseRunningCopy());
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
}

// Where the lock lives: a given folder, the session's runtime folder, or
// /tmp under a name of the user's own (/tmp is shared by every user).
TEST(SingleInstance, TheLockIsTheUsersOwn) {
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    const std::string kept = saved ? saved : "";
    TempDir dir;
    const std::string uid = std::to_string(getuid());
    const struct {
        const char* runtime; // nullptr: unset
        std::string folder, expected;
    } rows[] = {
        {nullptr, "", "/tmp/mirel-test-lock-" + uid + ".lock"},
        {"", "", "/tmp/mirel-test-lock-" + uid + ".lock"},
        {dir.path().c_str(), "", dir.path().string() + "/mirel-test-lock.lock"},
        {dir.path().c_str(), "/somewhere", "/somewhere/mirel-test-lock.lock"},
    };
    for (const auto& row : rows) {
        if (row.runtime)
            setenv("XDG_RUNTIME_DIR", row.runtime, 1);
        else
            unsetenv("XDG_RUNTIME_DIR");
        {
            Platform::SingleInstance guard("mirel-test-lock", row.folder);
            EXPECT_EQ(guard.path(), row.expected);
        }
        if (row.expected.starts_with("/tmp/"))
            std::filesystem::remove(row.expected);
    }
    if (saved)
        setenv("XDG_RUNTIME_DIR", kept.c_str(), 1);
    else
        unsetenv("XDG_RUNTIME_DIR");
}

// A link planted at the lock's name is never followed: the program runs
// unguarded rather than write its pid through someone else's link.
TEST(SingleInstance, ALinkInPlaceOfTheLockIsNotFollowed) {
    TempDir dir;
    const auto target = dir.write("victim", "kept");
    std::filesystem::create_symlink(target, dir.path() / "mirel.lock");
    Platform::SingleInstance guard("mirel", dir.path().string());
    EXPECT_TRUE(guard.acquired());
    EXPECT_EQ(TestSupport::readAll(target), "kept");
}

} // namespace

namespace {

// The data folder's own lock: one holder at a time whatever the session's
// lock says, released with its holder; a folder that cannot be opened
// guards nothing and stops nothing.
TEST(FolderLock, OneHolderPerFolder) {
    TempDir dir;
    int ready[2], done[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(done), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        Platform::FolderLock held(dir.path().string());
        const char byte = held.acquired() ? 1 : 0;
        (void)!write(ready[1], &byte, 1);
        char wait;
        (void)!read(done[0], &wait, 1);
        _exit(0);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    EXPECT_EQ(byte, 1);
    {
        Platform::FolderLock second(dir.path().string());
        EXPECT_FALSE(second.acquired());
        TempDir other;
        EXPECT_TRUE(Platform::FolderLock(other.path().string()).acquired());
    }
    (void)!write(done[1], &byte, 1);
    ASSERT_EQ(waitpid(child, nullptr, 0), child);
    EXPECT_TRUE(Platform::FolderLock(dir.path().string()).acquired());
    EXPECT_TRUE(Platform::FolderLock("/nonexistent/folder").acquired());
    for (int fd : {ready[0], ready[1], done[0], done[1]})
        close(fd);
}

} // namespace
