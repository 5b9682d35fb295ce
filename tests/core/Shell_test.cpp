#include "core/Shell.h"

#include "platform/Error.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

// A stand-in for xdg-open that writes its arguments, one per line, beside
// itself.
std::filesystem::path fakeOpener(const TestSupport::TempDir& dir) {
    const auto script = dir.write("opener.sh", "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$(dirname \"$0\")/args.txt\"\nexit 3\n");
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    return script;
}

struct CommandGuard {
    ~CommandGuard() { Platform::setShellOpenCommand("xdg-open"); }
};

} // namespace

TEST(Shell, OpensThroughTheCommandWithoutAShell) {
    TestSupport::TempDir dir;
    CommandGuard guard;
    EXPECT_EQ(Platform::shellOpenCommand(), "xdg-open");
    Platform::setShellOpenCommand(fakeOpener(dir).string());

    Platform::ChildProcess child;
    // Shell characters arrive as they are: no shell sees them.
    ASSERT_TRUE(Core::shellOpen(u"C:\\Карты\\read me; rm -rf $HOME `x`.txt", &child));
    ASSERT_TRUE(child.started());
    EXPECT_EQ(child.exitCode.get(), 3);
    EXPECT_EQ(TestSupport::readAll(dir / "args.txt"), "C:/Карты/read me; rm -rf $HOME `x`.txt\n");

    ASSERT_TRUE(Core::shellOpen(u"https://example.org/a\\b?q=1&r=2", &child));
    EXPECT_EQ(child.exitCode.get(), 3);
    EXPECT_EQ(TestSupport::readAll(dir / "args.txt"), "https://example.org/a\\b?q=1&r=2\n");

    ASSERT_TRUE(Core::shellOpen(u"-n", &child));
    child.exitCode.wait();
    EXPECT_EQ(TestSupport::readAll(dir / "args.txt"), "./-n\n");
}

TEST(Shell, MissingCommandFails) {
    TestSupport::TempDir dir;
    CommandGuard guard;
    TestSupport::CaptureLogger log;
    Platform::setShellOpenCommand((dir / "no-such-opener").string());
    Platform::ChildProcess child;
    EXPECT_FALSE(Core::shellOpen(u"file.txt", &child));
    EXPECT_FALSE(child.started());
    EXPECT_EQ(Platform::lastError(), Platform::ErrorFileNotFound);
    EXPECT_TRUE(log.contains("Can't open 'file.txt' with '" + (dir / "no-such-opener").string() + "' (err 2): No such file or directory"));
}

TEST(Shell, SpawnReportsExitCodes) {
    auto ok = Platform::spawnDetached("sh", {"-c", "exit 0"});
    ASSERT_TRUE(ok.started());
    EXPECT_EQ(ok.exitCode.get(), 0);
    auto killed = Platform::spawnDetached("sh", {"-c", "kill -9 $$"});
    ASSERT_TRUE(killed.started());
    EXPECT_EQ(killed.exitCode.get(), 128 + 9);
}
