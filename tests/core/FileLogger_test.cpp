#include "core/FileLogger.h"
#include "core/Log.h"
#include "core/Text.h"
#include "platform/Error.h"
#include "tests/core/FileTestSupport.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <SDL/SDL.h>

#include <atomic>
#include <cerrno>
#include <deque>
#include <regex>
#include <sstream>
#include <thread>

namespace {

// An in-memory file that, like a real one, may disturb errno and the last
// error while writing.
class MemoryFile : public FileSystem::FileRW {
public:
    explicit MemoryFile(std::string* out, bool* destroyed = nullptr) : m_out(out), m_destroyed(destroyed) {}
    ~MemoryFile() override {
        if (m_destroyed)
            *m_destroyed = true;
    }
    bool isOpen() const override { return true; }
    int lastError() const override { return 0; }
    std::size_t read(void*, std::size_t, std::size_t) override { return 0; }
    std::size_t write(const void* buffer, std::size_t size, std::size_t count) override {
        m_out->append(static_cast<const char*>(buffer), size * count);
        errno = EIO;
        Platform::setLastError(Platform::ErrorSharingViolation);
        return count;
    }
    std::uint32_t tell() override { return static_cast<std::uint32_t>(m_out->size()); }
    bool seek(std::int32_t) override { return false; }
    bool seekRelative(std::int32_t) override { return false; }
    bool seekToEnd() override { return true; }
    void flush() override { ++flushes; }
    int flushes = 0;

private:
    std::string* m_out;
    bool* m_destroyed;
};

Positioning::DateTime fixedTime() {
    Positioning::DateTime t;
    t.year = 2026;
    t.month = 3;
    t.day = 4;
    t.hour = 5;
    t.minute = 6;
    t.second = 7;
    return t;
}

const std::string header = "---------- Log started at: 2026-03-04 05:06:07\r\nLog severity: Normal\r\n";

// Installs a FileLogger over an in-memory file with a hand-driven clock.
struct Installed {
    Installed() {
        auto logger = std::make_unique<Log::FileLogger>(std::make_unique<MemoryFile>(&text),
                                                        [this] { return ticks; }, [] { return fixedTime(); });
        this->logger = logger.get();
        Log::install(std::move(logger));
    }
    ~Installed() { Log::install(nullptr); }
    std::string text;
    std::uint32_t ticks = 1000;
    Log::FileLogger* logger;
};

} // namespace

TEST(FileLogger, HeaderAndMillisecondsSincePreviousLine) {
    Installed log;
    Log::log(Log::Normal, u"first %d", 1);
    EXPECT_EQ(log.text, header + "0ms: first 1\r\n");
    log.ticks = 1250;
    Log::log(Log::Critical, u"second");
    log.ticks = 1300;
    Log::log(Log::System, "third %s", "narrow");
    EXPECT_EQ(log.text, header + "0ms: first 1\r\n250ms: second\r\n50ms: third narrow\r\n");

    // A partial line gets one prefix; a lone surrogate becomes '?'.
    log.text.clear();
    log.logger->writeNarrow(Log::Info, "12 34 ", false);
    log.logger->writeWide(Log::Info, u"\u0416 \xD800!", true);
    EXPECT_EQ(log.text, "0ms: 12 34 \xD0\x96 ?!\r\n");

    // The tick count wraps; the difference stays right.
    log.text.clear();
    log.ticks = 0xFFFFFF00u;
    Log::log(Log::Normal, u"a");
    log.ticks = 0x100;
    Log::log(Log::Normal, u"b");
    // 0xFFFFFF00 - 1300 read as signed is -1556.
    EXPECT_EQ(log.text, "-1556ms: a\r\n512ms: b\r\n");
}

TEST(FileLogger, SeverityFilteringAndChangeLine) {
    Installed log;
    // Before the first line a change writes nothing; the header names it.
    log.logger->setSeverity(Log::System);
    Log::log(Log::Normal, u"dropped");
    EXPECT_EQ(log.text, "");
    Log::log(Log::System, u"kept");
    EXPECT_EQ(log.text, "---------- Log started at: 2026-03-04 05:06:07\r\nLog severity: System\r\n0ms: kept\r\n");

    log.text.clear();
    Log::log(Log::Info, u"info at 1");
    log.logger->setSeverity(Log::Info);
    EXPECT_EQ(Log::currentSeverity(), Log::Info);
    Log::log(Log::Info, u"info at 3");
    Log::log(Log::AboveInfo, u"above");
    log.logger->setSeverity(9);
    Log::log(Log::AboveInfo, u"above at 9");
    EXPECT_EQ(log.text, "0ms: Log severity: Info\r\n0ms: info at 3\r\n0ms: Log severity: Above info\r\n"
                        "0ms: above at 9\r\n");

    log.text.clear();
    log.logger->setEnabled(false);
    Log::log(Log::Critical, u"disabled");
    EXPECT_EQ(log.text, "");
    log.logger->setEnabled(true);
    Log::log(Log::Critical, u"enabled");
    EXPECT_EQ(log.text, "0ms: enabled\r\n");
}

TEST(FileLogger, LongLinesComeOutWhole) {
    Installed log;
    std::u16string longText;
    for (int i = 0; i < 3000; ++i)
        longText.push_back(i % 100 == 99 ? u'\u0416' : static_cast<char16_t>(u'a' + i % 26));
    Log::log(Log::Normal, u"<%s>", longText);
    const std::string expected = header + "0ms: <" + Core::wideToUtf8(longText) + ">\r\n";
    EXPECT_EQ(log.text, expected);
    EXPECT_EQ(log.text.size(), header.size() + 5 + 2 + 3000 + 30 + 2);
}

TEST(FileLogger, LoggingKeepsLastErrorAndErrno) {
    Installed log;
    Platform::setLastError(Platform::ErrorAccessDenied);
    errno = EACCES;
    Log::log(Log::Normal, u"between a failure and its check (err %d)", Platform::lastError());
    Log::logMemoryStatus(); // only at Info
    EXPECT_EQ(Platform::lastError(), Platform::ErrorAccessDenied);
    EXPECT_EQ(errno, EACCES);
    EXPECT_EQ(log.text, header + "0ms: between a failure and its check (err 5): Permission denied\r\n");
    log.logger->setSeverity(Log::Info);
    log.logger->writeNarrow(Log::Info, "x", true);
    log.logger->setFile(std::make_unique<MemoryFile>(&log.text));
    Log::logMemoryStatus();
    const unsigned char bytes[] = {1, 2};
    Log::hexDump(bytes, sizeof bytes);
    EXPECT_EQ(Platform::lastError(), Platform::ErrorAccessDenied);
    EXPECT_EQ(errno, EACCES);
    EXPECT_TRUE(std::regex_search(log.text, std::regex("\r\n0ms: Memory: phys:[1-9]\\d*, virt:[1-9]\\d*\r\n")))
        << log.text;
}

// A line ending in "(err %d)" gets the system's text for the number after
// it; other lines, numbers without a text, and "(err" elsewhere stay.
TEST(FileLogger, ErrorNumbersAtTheEndGetTheSystemsText) {
    const struct {
        std::u16string line;
        std::string shown;
    } rows[] = {
        {u"Can't open file 'a.txt' (err 2)", "Can't open file 'a.txt' (err 2): No such file or directory"},
        {u"HttpSendRequest failed to sent message (err 12002)",
         "HttpSendRequest failed to sent message (err 12002): Timeout was reached"},
        {u"x (err 12029)", "x (err 12029): Couldn't connect to server"},
        {u"HttpSendRequest failed to sent message (err 12152)",
         "HttpSendRequest failed to sent message (err 12152): The reply was larger than 16 MiB"},
        {u"x (err 0)", "x (err 0)"},
        {u"x (err 77)", "x (err 77)"},
        {u"x (err -5)", "x (err -5)"},
        {u"x (err 2) and more", "x (err 2) and more"},
        {u"x (err )", "x (err )"},
        {u"(err 2)", "(err 2): No such file or directory"},
        {u"x (error 2)", "x (error 2)"},
    };
    for (const auto& row : rows) {
        Installed log;
        Log::log(Log::Critical, u"%s", row.line);
        Log::log(Log::Critical, "%s", Core::wideToUtf8(row.line));
        EXPECT_EQ(log.text, header + "0ms: " + row.shown + "\r\n0ms: " + row.shown + "\r\n");
    }
    // The same number read as errno (a stdio file's), as a last-error
    // number, and as a plug-in's own code, which the system has no words for.
    const struct {
        std::string shown;
        void (*log)();
    } numberings[] = {
        {"x (err 13): Permission denied", [] { Log::log(Log::Critical, u"x (err %d)", Log::Errno{EACCES}); }},
        {"x (err 21): Is a directory", [] { Log::log(Log::Critical, "x (err %d)", Log::Errno{EISDIR}); }},
        {"x (err 5): Permission denied", [] { Log::log(Log::Critical, u"x (err %d)", 5); }},
        {"x (err 5): Input/output error", [] { Log::log(Log::Critical, u"x (err %d)", Log::Errno{EIO}); }},
        {"'p' x (err 2)", [] { Log::log(Log::Critical, u"'%s' x (err %d)", u"p", Log::OwnCode{2}); }},
    };
    for (const auto& row : numberings) {
        Installed log;
        row.log();
        EXPECT_EQ(log.text, header + "0ms: " + row.shown + "\r\n");
    }
}

TEST(FileLogger, NewFileStartsWithHeader) {
    std::string first, second;
    bool firstDestroyed = false;
    std::uint32_t ticks = 10;
    Log::FileLogger logger(std::make_unique<MemoryFile>(&first, &firstDestroyed), [&] { return ticks; },
                           [] { return fixedTime(); });
    EXPECT_TRUE(logger.isOpen());
    logger.writeNarrow(0, "one", true);
    logger.writeNarrow(0, "unfinished", false);
    ticks = 20;
    logger.setFile(std::make_unique<MemoryFile>(&second));
    EXPECT_TRUE(firstDestroyed);
    logger.writeNarrow(0, "two", true);
    EXPECT_EQ(first, header + "0ms: one\r\n0ms: unfinished");
    EXPECT_EQ(second, header + "0ms: two\r\n");

    logger.setFile(nullptr);
    EXPECT_FALSE(logger.isOpen());
    logger.writeNarrow(0, "nowhere", true); // dropped silently
    EXPECT_EQ(second, header + "0ms: two\r\n");
}

TEST(FileLogger, ThreadsNeverShareALine) {
    Installed log;
    log.logger->setSeverity(Log::Info);
    const int threads = 4, lines = 200;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([t] {
            for (int i = 0; i < lines; ++i)
                Log::log(Log::Info, u"thread %d line %d %s", t, i, u"................................");
        });
    for (auto& w : workers)
        w.join();
    std::istringstream in(log.text);
    std::string line;
    std::getline(in, line);
    std::getline(in, line); // the header's two lines
    const std::regex shape(R"(0ms: thread (\d) line (\d+) \.{32}\r)");
    std::vector<int> next(threads, 0);
    int count = 0;
    while (std::getline(in, line)) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, shape)) << line;
        const int t = std::stoi(m[1]);
        EXPECT_EQ(std::stoi(m[2]), next[t]++); // each thread's lines in order
        ++count;
    }
    EXPECT_EQ(count, threads * lines);
}

// A thread that was abandoned, not killed (a port probe past its time
// limit), may log while the logger is replaced: the line goes whole to the
// old logger or the new one, and the old one goes only after it.
TEST(FileLogger, ALoggerReplacedWhileAThreadLogsLosesNoLine) {
    std::deque<std::string> files;
    const auto installNew = [&files] {
        files.emplace_back();
        auto logger = std::make_unique<Log::FileLogger>(std::make_unique<MemoryFile>(&files.back()),
                                                        [] { return 0u; }, [] { return fixedTime(); });
        logger->setSeverity(Log::Info);
        Log::install(std::move(logger));
    };
    installNew();
    std::atomic<bool> done = false;
    std::atomic<int> written = 0;
    std::thread writer([&] {
        for (; !done; ++written)
            Log::log(Log::Info, u"line %d", written.load());
    });
    // Each logger is replaced only after the thread wrote through it (or
    // the one before): on a loaded machine the thread may not have run at
    // all yet, and no line in no file would pass.
    for (int i = 0; i < 300; ++i) {
        for (const int before = written; written == before;)
            std::this_thread::yield();
        installNew();
    }
    done = true;
    writer.join();
    Log::install(nullptr);
    int lines = 0;
    for (const std::string& file : files)
        for (std::size_t at = file.find("ms: line "); at != std::string::npos; at = file.find("ms: line ", at + 1))
            ++lines;
    EXPECT_EQ(lines, written);
}

TEST(FileLogger, InstallsOverLogTxt) {
    TestSupport::TempDir dir;
    const std::u16string path = FileTests::wide(dir / "log.txt");
    dir.write("log.txt", "earlier run\r\n");
    ASSERT_TRUE(Log::installFileLogger(path));
    Log::log(Log::Normal, u"started");
    Log::log(Log::Info, u"too detailed");
    Log::install(nullptr);
    ASSERT_TRUE(Log::installFileLogger(path));
    Log::log(Log::Critical, u"again");
    Log::install(nullptr);
    EXPECT_EQ(Log::currentSeverity(), 0) << "no logger, no severity";
    const std::string text = TestSupport::readAll(dir / "log.txt");
    const std::regex shape("earlier run\r\n"
                           "---------- Log started at: \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\r\n"
                           "Log severity: Normal\r\n0ms: started\r\n"
                           "---------- Log started at: \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\r\n"
                           "Log severity: Normal\r\n0ms: again\r\n");
    EXPECT_TRUE(std::regex_match(text, shape)) << text;

    EXPECT_FALSE(Log::installFileLogger(FileTests::wide(dir.path())));
    EXPECT_EQ(Log::installed(), nullptr);
    EXPECT_EQ(Log::defaultLogPath().substr(Log::defaultLogPath().size() - 8), u"/log.txt");
}

// Past its bound the log rolls over: log.txt becomes log.old.txt (an older
// one is replaced, counting what log.txt held before the run) and a new
// log.txt starts with a header; neither grows much past the bound.
TEST(FileLogger, TheLogRollsToLogOldPastItsBound) {
    TestSupport::TempDir dir;
    const std::u16string path = FileTests::wide(dir / "log.txt");
    dir.write("log.old.txt", "a much older run\r\n");
    dir.write("log.txt", std::string(150, 'e') + "\r\n");
    ASSERT_TRUE(Log::installFileLogger(path, 400));
    // About 60 bytes a line: the bound is passed once, within the first
    // five lines.
    for (int i = 0; i < 8; ++i)
        Log::log(Log::Critical, u"line %.2d of a run that logs more than its bound", i);
    Log::install(nullptr);
    const std::string text = TestSupport::readAll(dir / "log.txt");
    const std::string old = TestSupport::readAll(dir / "log.old.txt");
    EXPECT_EQ(old.find("a much older run"), std::string::npos);
    EXPECT_LE(old.size(), 400u + 80u);
    EXPECT_LE(text.size(), 400u + 80u);
    EXPECT_TRUE(old.starts_with(std::string(150, 'e'))) << old;
    EXPECT_TRUE(text.starts_with("---------- Log started at: ")) << text;
    // Every line is in one of the two files, in order.
    for (int i = 0; i < 8; ++i) {
        const std::string line = Core::format("line %.2d ", i);
        EXPECT_NE((old + text).find(line), std::string::npos) << i;
        EXPECT_TRUE(old.find(line) == std::string::npos || text.find(line) == std::string::npos) << i;
    }
    EXPECT_NE(text.find("0ms: line "), std::string::npos) << text;
}

TEST(FileLogger, DefaultClockIgnoresSdlStart) {
    // The engine installs the logger before it starts SDL; starting SDL must
    // not show up as a jump in the line times.
    std::string text;
    Log::FileLogger logger(std::make_unique<MemoryFile>(&text));
    logger.writeNarrow(Log::Critical, "before", true);
    ASSERT_EQ(SDL_Init(SDL_INIT_TIMER | SDL_INIT_NOPARACHUTE), 0);
    logger.writeNarrow(Log::Critical, "after", true);
    SDL_Quit();
    EXPECT_TRUE(std::regex_search(text, std::regex("\r\n0ms: before\r\n\\d{1,3}ms: after\r\n$"))) << text;
}

TEST(FileLogger, HexDumpRows) {
    Installed log;
    unsigned char bytes[20];
    for (int i = 0; i < 20; ++i)
        bytes[i] = static_cast<unsigned char>(0x3C + i);
    bytes[0] = 0x00;
    bytes[1] = 0x1F;
    bytes[17] = 0xC6; // code page 1251: U+0416
    Log::hexDump(bytes, sizeof bytes);
    EXPECT_EQ(log.text, ""); // only at severity 3 or more
    log.logger->setSeverity(Log::Info);
    Log::hexDump(bytes, sizeof bytes);
    const std::string fullRow = "00 1f 3e 3f 40 41 42 43 44 45 46 47 48 49 4a 4b ..>?@ABCDEFGHIJK";
    const std::string lastRow = "4c c6 4e 4f " + std::string(36, ' ') + "L\xD0\x96NO";
    EXPECT_EQ(log.text, header.substr(0, header.size() - 8) + "Info\r\n0ms: " + fullRow + "\r\n0ms: " + lastRow +
                            "\r\n");
    log.text.clear();
    Log::hexDump(bytes, 16); // exactly one row, no padding
    Log::hexDump(bytes, 0);
    Log::hexDump(nullptr, 5);
    EXPECT_EQ(log.text, "0ms: " + fullRow + "\r\n");
    // A secret is hidden in the bytes, not in the rows: cut in two by a
    // row's end it would show.
    log.text.clear();
    const std::string message = "<mct password=\"ab\"/>";
    Log::hexDump(message.data(), message.size());
    EXPECT_EQ(log.text, "0ms: 3c 6d 63 74 20 70 61 73 73 77 6f 72 64 3d 22 2a <mct password=\"*\r\n"
                        "0ms: 2a 2a 22 2f 3e " + std::string(33, ' ') + "**\"/>\r\n");
}

// Paths reach the log with the system's separators, whatever form the
// program keeps them in; the format's own text is written as it is, and
// other arguments are untouched.
TEST(FileLogger, PathArgumentsShowTheSystemsSeparators) {
    TestSupport::CaptureLogger log;
    const std::u16string wide = u"\\tmp\\x\\data\\config.xml";
    const std::string narrow = "maps\\monaco";
    const char16_t* none = nullptr;
    Log::log(Log::Critical, u"Can't open config file '%s' (err %d)", wide, 2);
    Log::log(Log::Critical, "a\\b %s %hs %s %c", narrow, "c:\\x", std::string_view("y\\z"), 'q');
    Log::log(Log::Critical, u"%s|%s|%hs", u"\\v", none, "w\\");
    // Control characters of an argument (a hostile server's reply) cannot
    // end the line or forge another one.
    Log::log(Log::Critical, "reply: %s", std::string("ok\r\nc 0ms: forged\x1b[2J\x7f\0end", 26));
    Log::log(Log::Critical, u"%s", u"\u00e9\t\u0442");
    // Nor can an argument bring a secret in, wide or narrow.
    Log::log(Log::Critical, u"%s %hs", u"<x pwd='a'/>", std::string("see http://u:b@h/?session=c"));
    EXPECT_EQ(log.lines(),
              (std::vector<std::string>{"Can't open config file '/tmp/x/data/config.xml' (err 2): No such file or directory",
                                        "a\\b maps/monaco c:/x y/z q", "/v|(null)|w/",
                                        "reply: ok\\x0D\\x0Ac 0ms: forged\\x1B[2J\\x7F\\x00end",
                                        "\u00e9\\x09\u0442", "<x pwd='***'/> see http://***@h/?session=***"}));
}

// A failed start shows the last Critical lines logged since it began: none
// of an earlier start's, even when lines have rolled out of the few kept.
TEST(FileLogger, RecentCriticalLinesAreThoseSinceTheCountGiven) {
    TestSupport::CaptureLogger quiet;
    Log::log(Log::Critical, "an earlier start's line");
    const std::uint64_t start = Log::criticalLineCount();
    EXPECT_EQ(Log::recentCriticalLines(start), std::vector<std::string>{});
    for (int i = 1; i <= 8; ++i) {
        Log::log(Log::Normal, "not critical %d", i);
        Log::log(Log::Critical, "line %d", i);
    }
    EXPECT_EQ(Log::criticalLineCount(), start + 8);
    const std::vector<std::string> last = {"line 3", "line 4", "line 5", "line 6", "line 7", "line 8"};
    EXPECT_EQ(Log::recentCriticalLines(start), last) << "the six kept";
    EXPECT_EQ(Log::recentCriticalLines(start + 6), (std::vector<std::string>{"line 7", "line 8"}));
    EXPECT_EQ(Log::recentCriticalLines(start + 8), std::vector<std::string>{});
    EXPECT_EQ(Log::recentCriticalLines(), last);
}
