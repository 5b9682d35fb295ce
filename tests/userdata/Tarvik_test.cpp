// The waypoints plug-in holder against stand-in libraries built beside the
// tests: each path of loading, binding, initialising, creating, running and
// destroying, with the log lines and the library calls it makes.

#include "userdata/Tarvik.h"

#include "core/Text.h"
#include "platform/SharedLibrary.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

std::u16string pluginPath(const std::string& variant) {
    return Core::utf8ToWide(std::string(MIREL_FAKE_TARVIK_DIR) + "/" + variant + "/tarvik_win.so");
}

// The calls the variant's library recorded since the last look.
struct CallLog {
    explicit CallLog(const std::string& variant) {
        void* library = Platform::loadLibrary(pluginPath(variant));
        if (library)
            calls = reinterpret_cast<const char* (*)()>(Platform::librarySymbol(library, "FakeTarvikCalls"));
        seen = calls ? std::string(calls()).size() : 0;
    }
    std::string since() {
        const std::string all = calls ? calls() : "";
        const std::string fresh = all.substr(seen);
        seen = all.size();
        return fresh;
    }
    const char* (*calls)() = nullptr;
    std::size_t seen = 0;
};

TEST(Tarvik, CreationFailuresLeaveNoPluginAndCallOnlyWhatTheyMust) {
    TestSupport::TempDir dir;
    std::ofstream(dir.path() / "tarvik_win.so") << "not a library";
    const struct {
        std::string variant;
        std::u16string path;
        int level;
        std::string line;
        std::string calls;
    } rows[] = {
        {"", Core::utf8ToWide((dir.path() / "missing.so").string()), Log::System,
         "tarvik.dll can't be loaded (err 2): No such file or directory", ""},
        {"", Core::utf8ToWide((dir.path() / "tarvik_win.so").string()), Log::System,
         "tarvik.dll can't be loaded (err 193)", ""},
        {"no_run", pluginPath("no_run"), Log::Critical,
         "Not all required functions of tarvik.dll can be retreived - Tarvik can't be created", ""},
        {"init_fails", pluginPath("init_fails"), Log::Critical, "Can't init Tarvik library (err -5)",
         "init 3 logger;error null;"},
        {"create_fails", pluginPath("create_fails"), Log::Critical, "Can't init Tarvik (err -5)",
         "init 3 logger;create 77 /db/tarvik.db;error null;uninit;"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.line);
        CallLog calls(row.variant.empty() ? "full" : row.variant);
        TestSupport::CaptureLogger log;
        TarvikPtr tarvik;
        Tarvik::create(tarvik, row.path, 3, 77, u"/db/tarvik.db");
        EXPECT_EQ(tarvik, nullptr);
        // A Critical failure of the plug-in names its file on the next line.
        std::vector<std::string> expected{row.line};
        if (row.level == Log::Critical)
            expected.push_back("filename = '" + Core::wideToUtf8(row.path) + "'");
        EXPECT_EQ(log.linesAt(row.level), expected);
        // One alarm per failure, a missing library included.
        EXPECT_EQ(log.linesAt(Log::Critical).size() + log.linesAt(Log::System).size(), expected.size());
        if (row.level == Log::System) {
            EXPECT_EQ(log.count("filename = '" + Core::wideToUtf8(row.path) + "'"), 1u);
        }
        EXPECT_TRUE(log.contains("Creating Tarvik..."));
        EXPECT_TRUE(log.contains("Db path: /db/tarvik.db"));
        if (!row.variant.empty()) {
            EXPECT_EQ(calls.since(), row.calls);
        }
    }
}

TEST(Tarvik, RunsOnTheInstanceAndReleasesItInOrder) {
    CallLog calls("full");
    TestSupport::CaptureLogger log;
    TarvikPtr tarvik;
    Tarvik::create(tarvik, pluginPath("full"), 0, 0, u"maps/Ё/tarvik.db");
    ASSERT_NE(tarvik, nullptr);
    EXPECT_TRUE(log.linesAt(Log::Critical).empty());
    EXPECT_EQ(calls.since(), "init 0 logger;create 0 maps/?/tarvik.db;");

    EXPECT_TRUE(Tarvik::run(*tarvik, 4000000000u));
    EXPECT_TRUE(log.contains("Running Tarvik 4000000000..."));
    EXPECT_FALSE(Tarvik::run(*tarvik, 13));
    EXPECT_EQ(log.linesAt(Log::Critical),
              (std::vector<std::string>{"Can't run Tarvik (err 42)",
                                        "filename = '" + Core::wideToUtf8(pluginPath("full")) + "'"}));
    EXPECT_EQ(calls.since(), "run 4000000000;run 13;error;");

    tarvik.reset();
    EXPECT_EQ(calls.since(), "destroy;uninit;");
}

} // namespace
