#include "core/Shell.h"

#include "core/MainLoopWake.h"
#include "platform/Error.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <SDL/SDL.h>

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

// The main loop's side: SDL's event queue, into which the end of an opener
// pushes its wake-up.
class MainLoop {
  public:
    MainLoop() {
        SDL_Init(SDL_INIT_VIDEO | SDL_INIT_NOPARACHUTE);
        Threading::openMainLoopWakeUps();
    }
    ~MainLoop() {
        Threading::closeMainLoopWakeUps();
        SDL_Quit();
    }
    // The next wake-up, waited for as long as an opener may take.
    bool woken() {
        SDL_Event event;
        for (int waits = 0; waits < 6000; ++waits) {
            if (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_VIDEOEXPOSEMASK) > 0)
                return true;
            SDL_Delay(10);
        }
        return false;
    }
};

using Verdict = Core::ShellOpening::Verdict;

// The opener's verdict as the main loop reads it when the opener's end woke
// it: known by then, never still pending.
Verdict verdictAtEnd(MainLoop& loop, const Core::ShellOpening& opening) {
    EXPECT_TRUE(loop.woken()) << "the opener's end did not wake the main loop";
    return opening.verdict();
}

} // namespace

TEST(Shell, OpensThroughTheCommandWithoutAShell) {
    MainLoop loop;
    TestSupport::TempDir dir;
    CommandGuard guard;
    EXPECT_EQ(Platform::shellOpenCommand(), "xdg-open");
    Platform::setShellOpenCommand(fakeOpener(dir, "exit 0").string());

    // Shell characters arrive as they are: no shell sees them.
    const auto opening = Core::shellOpen(u"C:\\Карты\\read me; rm -rf $HOME `x`.txt", Patient);
    ASSERT_TRUE(opening.started());
    EXPECT_EQ(verdictAtEnd(loop, opening), Verdict::Opened);
    EXPECT_EQ(TestSupport::readAll(dir / "args.txt"), "C:/Карты/read me; rm -rf $HOME `x`.txt\n");

    EXPECT_EQ(verdictAtEnd(loop, Core::shellOpen(u"https://example.org/a\\b?q=1&r=2", Patient)), Verdict::Opened);
    EXPECT_EQ(TestSupport::readAll(dir / "args.txt"), "https://example.org/a\\b?q=1&r=2\n");

    EXPECT_EQ(verdictAtEnd(loop, Core::shellOpen(u"-n", Patient)), Verdict::Opened);
    EXPECT_EQ(TestSupport::readAll(dir / "args.txt"), "./-n\n");
}

// The opener's own verdict decides: xdg-open without a browser ends with 3
// ("no method available"), a failure the caller hears of, and the log
// once.
TEST(Shell, AnOpenerThatEndsBadlyFails) {
    const struct {
        const char* end;
        int status;
    } cases[] = {{"exit 0", 0}, {"exit 3", 3}, {"exit 1", 1}, {"kill -9 $$", 128 + 9}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.end);
        MainLoop loop;
        TestSupport::TempDir dir;
        CommandGuard guard;
        TestSupport::CaptureLogger log;
        const std::string opener = fakeOpener(dir, c.end).string();
        Platform::setShellOpenCommand(opener);
        const auto opening = Core::shellOpen(u"https://example.org/", Patient);
        EXPECT_EQ(verdictAtEnd(loop, opening), c.status == 0 ? Verdict::Opened : Verdict::Failed);
        EXPECT_EQ(opening.verdict(), c.status == 0 ? Verdict::Opened : Verdict::Failed);
        EXPECT_EQ(log.count("Can't open 'https://example.org/' with '" + opener + "': it ended with status " +
                            std::to_string(c.status)),
                  c.status != 0 ? 1u : 0u);
    }
}

// The caller never waits for the opener: its verdict is pending while it
// runs, a failure that comes after the call is heard of then, and an opener
// still running when its wait is over has shown the target itself (a
// browser in the foreground): opened, whatever its end.
TEST(Shell, TheOpenerIsNotWaitedFor) {
    for (const std::chrono::milliseconds wait : {std::chrono::milliseconds(Patient), 0ms}) {
        SCOPED_TRACE(wait.count());
        MainLoop loop;
        TestSupport::TempDir dir;
        CommandGuard guard;
        TestSupport::CaptureLogger log;
        Platform::setShellOpenCommand(
            fakeOpener(dir, "while [ ! -e \"$(dirname \"$0\")/go\" ]; do sleep 0.05; done\nexit 3").string());
        const auto opening = Core::shellOpen(u"https://example.org/", wait);
        EXPECT_EQ(opening.verdict(), wait == Patient ? Verdict::Pending : Verdict::Opened);
        dir.write("go", "");
        EXPECT_EQ(verdictAtEnd(loop, opening), wait == Patient ? Verdict::Failed : Verdict::Opened);
        EXPECT_EQ(log.contains("Can't open"), wait == Patient);
    }
}

// Nobody asks a link's opener for its verdict: the main loop's follow-up
// logs its failure, once, and forgets it.
TEST(Shell, FollowingLogsWhatNobodyAskedFor) {
    MainLoop loop;
    TestSupport::TempDir dir;
    CommandGuard guard;
    TestSupport::CaptureLogger log;
    Platform::setShellOpenCommand(fakeOpener(dir, "exit 3").string());
    Core::shellOpen(u"https://example.org/", Patient);
    ASSERT_TRUE(loop.woken());
    EXPECT_FALSE(log.contains("Can't open"));
    Core::followOpeners();
    Core::followOpeners();
    EXPECT_EQ(log.countStartingWith("Can't open 'https://example.org/'"), 1u);
}

TEST(Shell, MissingCommandFails) {
    TestSupport::TempDir dir;
    CommandGuard guard;
    TestSupport::CaptureLogger log;
    Platform::setShellOpenCommand((dir / "no-such-opener").string());
    const auto opening = Core::shellOpen(u"file.txt");
    EXPECT_EQ(Platform::lastError(), Platform::ErrorFileNotFound);
    EXPECT_FALSE(opening.started());
    EXPECT_EQ(opening.verdict(), Verdict::Failed);
    EXPECT_TRUE(log.contains("Can't open 'file.txt' with '" + (dir / "no-such-opener").string() + "' (err 2): No such file or directory"));
}
