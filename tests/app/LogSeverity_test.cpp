// The log tells the truth about its severity: from the header on, and from
// each "Log severity: %s" line on, every line written is one that severity
// admits, whatever log_severity the settings hold.

#include "app/fdEngine.h"
#include "core/AnsiFile.h"
#include "core/FileLogger.h"
#include "core/Log.h"
#include "core/Text.h"
#include "tests/support/FirstRunData.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// The program's file logger over log.txt, watched: it follows which
// severity the file states (the header names the severity in force at the
// first line; a change after it writes its own line) and notes each line
// written at a level that severity does not admit.
class WatchedLogger : public Log::Logger {
  public:
    explicit WatchedLogger(const fs::path& file)
        : m_inner(std::make_unique<FileSystem::AnsiFile>(Core::utf8ToWide(file.string()), u"ab+")) {}

    void setEnabled(bool enabled) override { m_inner.setEnabled(enabled); }
    bool isOpen() const override { return m_inner.isOpen(); }
    void setFile(std::unique_ptr<FileSystem::FileRW> file) override { m_inner.setFile(std::move(file)); }
    int severity() const override { return m_inner.severity(); }
    void setSeverity(int level) override {
        m_inner.setSeverity(level);
        if (m_started) m_stated = level;
    }
    void write(int level, std::u16string_view text) override {
        note(level, Core::wideToUtf8(text));
        m_inner.write(level, text);
    }
    void writeWide(int level, std::u16string_view text, bool endLine) override {
        note(level, Core::wideToUtf8(text));
        m_inner.writeWide(level, text, endLine);
    }
    void writeNarrow(int level, std::string_view text, bool endLine) override {
        note(level, std::string(text));
        m_inner.writeNarrow(level, text, endLine);
    }

    std::vector<std::string> beyondStated;

  private:
    void note(int level, const std::string& text) {
        if (!m_started) {
            m_started = true;
            m_stated = m_inner.severity();
        }
        if (level > m_stated)
            beyondStated.push_back("level " + std::to_string(level) + " under \"" +
                                   Log::severityName(m_stated) + "\": " + text);
    }

    Log::FileLogger m_inner;
    bool m_started = false;
    int m_stated = 0;
};

} // namespace

TEST(LogSeverity, NoLineBelowTheStatedSeverityFollowsIt) {
    const fs::path data = fs::path(MIREL_PROGRAM_DIR) / "data";
    for (const int setting : {-1, 0, 1, 2, 3, 4}) {
        SCOPED_TRACE(setting);
        TestSupport::TempDir program;
        TestSupport::copyFirstRunData(data, program / "data");
        for (const auto& entry : fs::directory_iterator(program / "data" / "maps"))
            if (entry.path().filename() != "demo") fs::remove_all(entry.path());
        // The first start takes the setting from the first-run file (lines
        // about the missing config.xml come before it); the second reads it
        // from the config.xml the first one saved.
        std::ofstream(program / "data" / "config.default.xml", std::ios::trunc)
            << "<config version=\"2\">\n<var name=\"log_severity\" value=\"" << setting
            << "\" />\n</config>\n";
        const fs::path logFile = program / "log.txt";
        for (int start = 0; start < 2; ++start) {
            auto logger = std::make_unique<WatchedLogger>(logFile);
            WatchedLogger* watched = logger.get();
            Log::install(std::move(logger));
            {
                engine::fdEngine e(Core::utf8ToWide(program.path().string() + "/"));
                ASSERT_EQ(e.init(), 0);
                // A Critical line is kept at every setting, as the log says.
                Log::log(Log::Critical, "probe %d", start);
                e.shutdown();
            }
            EXPECT_EQ(watched->beyondStated, std::vector<std::string>{}) << "start " << start;
            Log::install(nullptr);
        }
        const std::string text = TestSupport::readAll(logFile);
        const std::string name = Log::severityName(setting < 0 ? 0 : setting);
        // The severity the log names last is the setting's, and what came
        // after it was written.
        const std::size_t stated = text.rfind("Log severity: ");
        ASSERT_NE(stated, std::string::npos) << text;
        EXPECT_EQ(text.substr(stated, text.find('\r', stated) - stated), "Log severity: " + name) << text;
        EXPECT_NE(text.find("probe 0"), std::string::npos) << text;
        EXPECT_NE(text.find("probe 1", stated), std::string::npos) << text;
    }
}
