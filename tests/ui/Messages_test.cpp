#include "ui/Messages.h"

#include "core/AnsiFile.h"
#include "core/ValueFormat.h"
#include "platform/Path.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/Damage.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>

namespace {

std::u16string wide(const std::filesystem::path& p) { return Platform::fromNativePath(p.string()); }

const char* const kFile = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                          "<messages>\n"
                          "  <message name=\"close\" text=\"Закрыть\"/>\n"
                          "  <message name=\"close\" text=\"Second\"/>\n"
                          "  <message name=\"no_text\"/>\n"
                          "  <message text=\"no name\"/>\n"
                          "  <other name=\"other\" text=\"x\"/>\n"
                          "  <message name=\"meter\" text=\"м\"/>\n"
                          "  <message name=\"kilo_meter\" text=\"км\"/>\n"
                          "  <message name=\"quote\" text=\"&quot;a&amp;b&quot; &#x1F600;\"/>\n"
                          "</messages>\n";

} // namespace

TEST(Messages, LoadsTheTable) {
    TestSupport::TempDir dir;
    dir.write("messages.xml", kFile);
    FileSystem::AnsiFile file(wide(dir / "messages.xml"), u"rb");
    ASSERT_TRUE(file.isOpen());
    Messages messages;
    messages.load(file);
    EXPECT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages.text("close"), u"Закрыть");
    EXPECT_EQ(messages.text("no_text"), u"");
    EXPECT_EQ(messages.text("other"), u"");
    EXPECT_EQ(messages.text("quote"), (std::u16string(u"\"a&b\" ") + std::u16string{0xD83D, 0xDE00}));
    // Unknown names give the empty text and create nothing.
    EXPECT_EQ(messages.text("unknown"), u"");
    EXPECT_EQ(&messages.text("unknown"), &messages.text("also unknown"));
    EXPECT_EQ(messages.size(), 4u);
    // The table serves the value formatting.
    EXPECT_EQ(Core::formatDistance(messages, 1500, true), u"2 км");
}

TEST(Messages, Failures) {
    TestSupport::TempDir dir;
    TestSupport::CaptureLogger log;
    Messages messages;
    // No root "messages": nothing loads, no error.
    messages.loadText("<texts><message name=\"a\" text=\"b\"/></texts>");
    EXPECT_EQ(messages.size(), 0u);

    dir.write("empty.xml", "");
    FileSystem::AnsiFile empty(wide(dir / "empty.xml"), u"rb");
    EXPECT_THAT([&] { messages.load(empty); },
                testing::ThrowsMessage<std::runtime_error>(testing::StrEq("Can't read messages file")));
    EXPECT_THROW(messages.loadText("<messages><message name=\"a\" text=\"b\"></messages"), std::runtime_error);
    std::string deep = "<messages>";
    for (int i = 0; i < 100000; ++i)
        deep += "<m>";
    EXPECT_THROW(messages.loadText(deep), std::runtime_error);
    EXPECT_EQ(messages.size(), 0u);
}

TEST(Messages, DamagedFilesNeverCrash) {
    TestSupport::Damage damage(4124, {"<", ">", "&", "\"", "/>", "</", "&#", "&#x", "<!--", "<![CDATA["});
    const std::string valid = kFile;
    int loaded = 0;
    for (int round = 0; round < 3000; ++round) {
        const std::string text = damage.apply(valid);
        Messages m;
        try {
            m.loadText(text);
            ++loaded;
        } catch (const std::runtime_error&) {
            continue;
        }
        // Every loaded text is well-formed wide text.
        for (const char* name : {"close", "meter", "kilo_meter", "quote"})
            EXPECT_LE(m.text(name).size(), valid.size());
    }
    EXPECT_GT(loaded, 100);
}
