// Key codes of the buttons file: decimal, after blanks and a plus sign.

#include "ui/ButtonBindings.h"
#include "ui/ButtonsFile.h"

#include "core/Config.h"
#include "tests/support/CaptureLogger.h"

#include <gtest/gtest.h>

namespace {

TEST(ButtonsFileKeys, BlanksAndAPlusSignMayLeadTheCode) {
    const std::pair<const char*, std::int32_t> rows[] = {
        {"280", 280}, {" 281", 281}, {"\t\r\n 282", 282}, {"+283", 283}, {"  +284", 284},
        {"", 0},      {"  ", 0},     {"+", 0},           {"x285", 0},   {"+ 286", 0},
    };
    for (const auto& [text, code] : rows) {
        Core::Config config;
        Ui::ButtonBindings bindings{config.root()};
        TestSupport::CaptureLogger quiet;
        ASSERT_TRUE(Ui::loadButtonsText(std::string("<actions><action name=\"up\" key=\"") + text + "\"/></actions>",
                                        bindings))
            << text;
        EXPECT_EQ(bindings.up, code) << "'" << text << "'";
    }
}

} // namespace
