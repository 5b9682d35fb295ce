#include "core/LoggedText.h"

#include "core/MessageBox.h"
#include "core/Text.h"
#include "tests/support/CaptureLogger.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

TEST(LoggedText, SecretsAreMaskedWithAFixedString) {
    const struct {
        std::string text;
        std::string shown;
    } rows[] = {
        {"<mct user=\"u\" password=\"p\" />", "<mct user=\"u\" password=\"***\" />"},
        {"<mct user=\"u\" password=\"a much longer password\" />", "<mct user=\"u\" password=\"***\" />"},
        {"<mcr token=\"s1\"/><mfi token=\"\"/>", "<mcr token=\"***\"/><mfi token=\"***\"/>"},
        {"<x token=\"cut", "<x token=\"***"},
        {"<mcr token=", "<mcr token="},
        {"user=\"password\" name=\"token\"", "user=\"password\" name=\"token\""},
        {"", ""},
        // However XML writes an attribute: single quotes, white space around
        // the '=', a quote of the other kind inside the value.
        {"<mcr token='s1' password='p'/>", "<mcr token='***' password='***'/>"},
        {"<mcr token = \"s1\" />", "<mcr token = \"***\" />"},
        {"<mcr token\t=\r\n's\"1'/>", "<mcr token\t=\r\n'***'/>"},
        {"<mcr password=\"a'b\" token='c\"d'/>", "<mcr password=\"***\" token='***'/>"},
        {"<x token = 'cut", "<x token = '***"},
        {"<mcr TOKEN='s1' Access_Token=\"s2\"/>", "<mcr TOKEN='***' Access_Token=\"***\"/>"},
        // Any name that holds one of the words, anywhere in it.
        {"<x pwd=\"a\" session=\"b\" secret='c' sessionId=\"d\" tokens='e' passwordHint = \"f\" "
         "db-passwd=g />",
         "<x pwd=\"***\" session=\"***\" secret='***' sessionId=\"***\" tokens='***' passwordHint = \"***\" "
         "db-passwd=*** />"},
        {"<x token>c</x> <y user=\"ann\" session_count/>", "<x token>c</x> <y user=\"ann\" session_count/>"},
        // A URL's query.
        {"/POST.php?user=ann&password=pw&session_token=t1#top", "/POST.php?user=ann&password=***&session_token=***#top"},
        {"/p?token=&password", "/p?token=&password"},
        // key: "v" and JSON, whose strings escape their quotes.
        {"{\"token\": \"T\", \"password\": \"P\"}", "{\"token\": \"***\", \"password\": \"***\"}"},
        {"{'Secret':'a','id':7,\"session\" : 1234,\"pwd\":\"x\\\"y\"}",
         "{'Secret':'***','id':7,\"session\" : ***,\"pwd\":\"***\"}"},
        {"token: \"T\" password:'P' session: plain words",
         "token: \"***\" password:'***' session: plain words"},
        // Quotes as XML writes them inside another attribute's value.
        {"<error msg=\"{&quot;token&quot;: &quot;T&quot;} password=&apos;P&apos;\"/>",
         "<error msg=\"{&quot;token&quot;: &quot;***&quot;} password=&apos;***&apos;\"/>"},
        // A URL's password, wherever the URL stands.
        {"<error msg=\"see http://user:PW@example.com/x?token=T&amp;password=P\"/>",
         "<error msg=\"see http://***@example.com/x?token=***&amp;password=***\"/>"},
        {"ftp://a:b@h and https://c:d%40e@h:8080?x=1 http://f@h https://g:@h",
         "ftp://***@h and https://***@h:8080?x=1 http://***@h https://***@h"},
        {"'http://u:p&amp;w@h'", "'http://***@h'"},
        {"http://host/p@q:r", "http://host/p@q:r"},
        {"http://a:b:c@host", "http://***@host"},
        {"session://x token://y", "session://x token://y"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Log::withSecretsHidden(row.text), row.shown) << row.text;
        // Masking what was masked changes nothing; wide text is masked alike.
        EXPECT_EQ(Log::withSecretsHidden(row.shown), row.shown) << row.shown;
        EXPECT_EQ(Log::withSecretsHidden(Core::utf8ToWide(row.text)), Core::utf8ToWide(row.shown))
            << row.text;
    }
}

// A name's closing quote whose opening one is not found before the text's
// start (a reply cut in front of it): the backward scan stops at the start,
// and the name characters before the quote stand for the name. Each text is
// masked on a thread of its own and waited for a bounded time, so a scan
// that wrapped around would fail instead of hang.
TEST(LoggedText, AClosingQuoteWithoutItsOpeningOneEndsTheScanAtTheStart) {
    const struct {
        std::string text;
        std::string shown;
    } rows[] = {
        {"x\": 1", "x\": 1"},
        {"token\": \"v\", \"id\": 2", "token\": \"***\", \"id\": 2"},
        {"&quot;: 1", "&quot;: 1"},
        {"'= 2", "'= 2"},
        {"pwd&apos; : 'c'", "pwd&apos; : '***'"},
    };
    for (const auto& row : rows) {
        auto done = std::make_shared<std::promise<std::pair<std::string, std::u16string>>>();
        auto shown = done->get_future();
        std::thread([done, text = row.text] {
            done->set_value({Log::withSecretsHidden(text), Log::withSecretsHidden(Core::utf8ToWide(text))});
        }).detach();
        ASSERT_EQ(shown.wait_for(std::chrono::seconds(20)), std::future_status::ready) << row.text;
        const auto [narrow, wide] = shown.get();
        EXPECT_EQ(narrow, row.shown);
        EXPECT_EQ(wide, Core::utf8ToWide(row.shown));
    }
}

TEST(LoggedText, AUrlShowsNeitherItsPasswordNorItsQuerySecrets) {
    const struct {
        std::string url;
        std::string shown;
    } rows[] = {
        {"http://ann:pw@host:80/p?token=t&x=1", "http://***@host:80/p?token=***&x=1"},
        {"http://ann@host/p", "http://***@host/p"},
        {"http://host/p@q:r", "http://host/p@q:r"},
        {"http://a:b:c@host", "http://***@host"},
        {"not a url password='x'", "not a url password='***'"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Log::urlWithSecretsHidden(row.url), row.shown) << row.url;
}

TEST(LoggedText, ExcerptsAreEscapedAndBounded) {
    const struct {
        std::string text;
        std::size_t limit;
        std::string shown;
    } rows[] = {
        {"<ok/>", 256, "<ok/>"},
        {std::string("a\0b\r\n%\\\xff", 8), 256, "a%00b%0d%0a%25\\%ff"},
        {"abcdef", 4, "abcd... (2 more bytes)"},
        // An escape never is cut in the middle.
        {"ab\x01", 4, "ab... (1 more bytes)"},
        {"ab\x01", 5, "ab%01"},
        // The secret is hidden before the cut.
        {"<mcr token=\"0123456789\"/>", 14, "<mcr token=\"**... (4 more bytes)"},
        // UTF-8 is not printable ASCII: its bytes are shown one by one.
        {"\xd0\x96", 256, "%d0%96"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Core::wideToUtf8(Log::excerpt(row.text, row.limit)), row.shown) << row.text;
}

// A message's own lines read as one log line; anything else that would end
// a line is still escaped by the log, in the line as it is written.
TEST(LoggedText, LinesJoinIntoOneLogLine) {
    const struct {
        std::string text;
        std::string joined;
    } rows[] = {
        {"one line", "one line"},
        {"Initialization error\n\nCan't open 'x' (err 2)", "Initialization error / Can't open 'x' (err 2)"},
        {"a\r\nb\rc\n", "a / b / c"},
        {"\n\r\nlead and trail\n\n", "lead and trail"},
        {"tab\tand\x01"
         "bell\nnext",
         "tab\tand\x01"
         "bell / next"},
        {"\n\n", ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Log::linesJoined(row.text), row.joined) << row.text;
        EXPECT_EQ(Log::linesJoined(Core::utf8ToWide(row.text)), Core::utf8ToWide(row.joined)) << row.text;
    }
    // The line a failed start's dialog leaves in the log.
    TestSupport::CaptureLogger log;
    testing::internal::CaptureStderr();
    Core::messageBox(u"Initialization error\n\nCan't read 'x'\n0ms: fatal error : forged\x0b",
                     u"Mirel - Critical error");
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(log.lines(),
              std::vector<std::string>{"Mirel - Critical error: Initialization error / Can't read 'x' / "
                                       "0ms: fatal error : forged\\x0B"});
}
