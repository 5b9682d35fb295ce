#include "core/Shell.h"

#include "platform/Error.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using namespace std::chrono_literals;

// A stand-in for xdg-open that writes its arguments, one per line, beside
// itself, then runs the given end.
std::filesystem::path fakeOpener(const TestSupport::TempDir& dir, const std::string& end) {
    const auto script = dir.write("opener.sh", "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > "
                                               "\"$(dirname \"$0\")/args.txt\"\n" +
                                                   end + "\n");
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    return script;
}

struct CommandGuard {
    ~CommandGuard() { Platform::setShellOpenCommand("xdg-open"); }
};

// Long enough for any opener of these tests to end on a loaded machine.
constexpr auto Patient = 60s;

} // namespace

TEST(Shell, OpensThroughTheCommandWithoutAShell) {
    TestSupport::TempDir dir;
    CommandGuard guard;
    EXPECT_EQ(Platform::shellOpenCommand(), "xdg-open");
    Platform::setShellOpenCommand(fakeOpener(dir, "exit 0").string());

    Platform::ChildProcess child;
    // Shell characters arrive as they are: no shell sees them.
    ASSERT_TRUE(Core::shellOpen(u"C:\\Карты\\read me; rm -rf $HOME `x`.txt", &child, Patient));
    ASSERT_TRUE(child.started());
    EXPECT_EQ(TestSupport::readAll(dir / "args.txt"), "C:/Карты/read me; rm -rf $HOME `x`.txt\n");

    ASSERT_TRUE(Core::shellOpen(u"https://example.org/a\\b?q=1&r=2", &child, Patient));
    EXPECT_EQ(TestSupport::readAll(dir / "args.txt"), "https://example.org/a\\b?q=1&r=2\n");

    ASSERT_TRUE(Core::shellOpen(u"-n", &child, Patient));
    EXPECT_EQ(TestSupport::readAll(dir / "args.txt"), "./-n\n");
}

// The opener's own verdict decides: xdg-open without a browser ends with 3
// ("no method available"), a failure the caller hears of.
TEST(Shell, AnOpenerThatEndsBadlyFails) {
    const struct {
        const char* end;
        int status;
    } cases[] = {{"exit 0", 0}, {"exit 3", 3}, {"exit 1", 1}, {"kill -9 $$", 128 + 9}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.end);
        TestSupport::TempDir dir;
        CommandGuard guard;
        TestSupport::CaptureLogger log;
        const std::string opener = fakeOpener(dir, c.end).string();
        Platform::setShellOpenCommand(opener);
        Platform::ChildProcess child;
        EXPECT_EQ(Core::shellOpen(u"https://example.org/", &child, Patient), c.status == 0);
        EXPECT_EQ(child.exitCode.get(), c.status);
        EXPECT_EQ(log.contains("Can't open 'https://example.org/' with '" + opener +
                               "': it ended with status " + std::to_string(c.status)),
                  c.status != 0);
    }
}

// An opener that still runs when the wait is over has shown the target
// itself (a browser in the foreground): opened, and not waited for.
TEST(Shell, AnOpenerStillRunningCountsAsOpened) {
    TestSupport::TempDir dir;
    CommandGuard guard;
    TestSupport::CaptureLogger log;
    Platform::setShellOpenCommand(
        fakeOpener(dir, "while [ ! -e \"$(dirname \"$0\")/go\" ]; do sleep 0.05; done\nexit 3").string());
    Platform::ChildProcess child;
    EXPECT_TRUE(Core::shellOpen(u"https://example.org/", &child, 100ms));
    dir.write("go", "");
    EXPECT_EQ(child.exitCode.get(), 3);
    EXPECT_FALSE(log.contains("Can't open"));
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
