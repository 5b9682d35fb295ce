#include "ui/Keyboard.h"
#include "ui/KeyboardLayouts.h"
#include "ui/fdInterface.h"

#include "core/Config.h"
#include "core/Text.h"
#include "tests/ui/UiTestSupport.h"

#include <gtest/gtest.h>

#include <SDL/SDL_keysym.h>

#include <algorithm>
#include <random>

using namespace Ui;

namespace {

// A 4 x 2 grid: English with cases, Russian with cases, and Greek without;
// the group "words" on the same grid has English alone.
const char* kLayouts = R"(<kb_layouts>
  <group name="letters"><config id="1" name="grid" cols="4" rows="2"/></group>
  <group name="words"><config id="2" name="grid" cols="4" rows="2"/></group>
  <language name="English" short_name="EN">
    <layout id="2" case="2"><row buttons="the|and|of|a|"/><row buttons="[lng]|||[bsp]|"/></layout>
    <layout id="1" case="0"><row buttons="q|w||e|"/><row buttons="[cas]|[lng]|[spc]|[bsp]|"/></layout>
    <layout id="1" case="1"><row buttons="Q|W||E|"/><row buttons="[cas]|[lng]|[spc]|[bsp]|"/></layout>
  </language>
  <language name="Russian" short_name="RU">
    <layout id="1" case="0"><row buttons="ж|з|и|к|"/><row buttons="[cas]|[lng]|[spc]|[bsp]|"/></layout>
    <layout id="1" case="1"><row buttons="Ж|З|И|К|"/><row buttons="[cas]|[lng]|[spc]|[bsp]|"/></layout>
  </language>
  <language name="Greek" short_name="EL">
    <layout id="1" case="2"><row buttons="α|β|γ|"/><row buttons="|δ|[lng]|[bsp]|"/></layout>
  </language>
</kb_layouts>)";

struct Owner : fdPage {
    using fdPage::fdPage;
    void childClicked(const std::string& name) override {
        if (name == "kb")
            typed.push_back(keyboard->lastChild());
    }
    Keyboard* keyboard = nullptr;
    std::vector<std::string> typed;
};

struct KeyboardFixture {
    KeyboardFixture(const std::string& languages = "English;Russian", const std::string& layout = "letters") {
        EXPECT_TRUE(layouts.loadText(kLayouts, [](const std::string& name) { return name == "kb_grid"; }));
        grid.w = 400;
        grid.h = 100;
        for (int i = 0; i < 8; ++i)
            grid.creators.push_back(std::make_unique<UiTest::TestCreator>(UiTest::TestCreator::Button,
                                                                          std::to_string(i), (i % 4) * 100,
                                                                          (i / 4) * 50, 100, 50));
        owner->keyboard = keyboard = new Keyboard(grid, owner, &ui, &layouts, layout, languages);
    }
    std::u16string captions() const {
        std::u16string out;
        for (const auto& key : keyboard->keys())
            out += (key.columnSpan && key.rowSpan ? key.caption : u"_") + u"|";
        return out;
    }
    bool enabled(std::size_t key) const { return keyboard->keys()[key].widget->enabled(); }
    void press(std::size_t key) { keyboard->childClicked(keyboard->keys()[key].widget->name()); }

    UiTest::FakeEngine engine;
    fdInterface ui{&engine, nullptr};
    Owner* owner = new Owner(&ui, "page", nullptr);
    KeyboardLayouts layouts;
    TemplateDescription grid;
    Keyboard* keyboard;
};

TEST(Keyboard, SpansSpecialKeysAndCommands) {
    KeyboardFixture f;
    EXPECT_EQ(Core::wideToUtf8(f.captions()), "q|w|_|e|[cas]|[lng]|[spc]|[bsp]|");
    EXPECT_EQ(f.keyboard->keys()[1].columnSpan, 2);
    // The wide key is a button of its own over both cells.
    EXPECT_EQ(f.keyboard->keys()[1].widget->name(), "s1");
    EXPECT_EQ(f.keyboard->keys()[1].widget->rect().w, 200);
    EXPECT_FALSE(f.keyboard->findChild("2")->visible());
    EXPECT_EQ(f.keyboard->keys()[5].widget->text(), u"RU");

    for (std::size_t key : {0u, 1u, 6u, 7u})
        f.press(key);
    f.press(4); // case key: upper case, nothing typed
    EXPECT_EQ(f.keyboard->letterCase(), 1);
    f.press(0);
    EXPECT_EQ(f.owner->typed, (std::vector<std::string>{"q", "w", " ", "[bsp]", "Q"}));
    f.press(5); // language key
    EXPECT_EQ(f.keyboard->languageName(), "Russian");
    EXPECT_EQ(Core::wideToUtf8(f.captions()), "Ж|З|И|К|[cas]|[lng]|[spc]|[bsp]|");
}

// The case key names the case in the shown alphabet: its first three
// letters on the keys, sorted, in the shown case.
TEST(Keyboard, TheCaseKeyShowsTheAlphabetOnTheKeys) {
    KeyboardFixture f;
    std::vector<std::u16string> shown;
    for (int step = 0; step < 4; ++step) {
        shown.push_back(f.keyboard->keys()[4].widget->text());
        f.press(step % 2 == 0 ? 4 : 5); // case, then language
    }
    EXPECT_EQ(shown, (std::vector<std::u16string>{u"eqw", u"EQW", u"ЖЗИ", u"жзи"}));
}

// Letters sort as their alphabets are written: each alphabet, shuffled and
// sorted, comes back as written (Ё behind Е, not before А as the code order
// has it; é behind e, not behind z).
TEST(Keyboard, AlphabetOrderIsTheWrittenOne) {
    const std::u16string alphabets[] = {
        u"абвгдеёжзийклмнопрстуфхцчшщъыьэюя", // Russian
        u"АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ",
        u"АБВГҐДЕЄЖЗИІЇЙКЛМНОПРСТУФХЦЧШЩЬЮЯ",                       // Ukrainian
        u"абвгдеёжзійклмнопрстуўфхцчшыьэюя",                        // Belarusian
        u"АБВГДЂЕЖЗИЈКЛЉМНЊОПРСТЋУФХЦЧЏШ",                          // Serbian
        u"абвгдѓежзѕијклљмнњопрстќуфхцчџш",                         // Macedonian
        u"aàáâäæbcçdðeèéêëfghiìíîïjklmnñoòóôöøpqrsßtuùúûüvwxyýÿzþ", // Latin
    };
    std::mt19937 random(82);
    for (const std::u16string& alphabet : alphabets) {
        std::u16string shuffled = alphabet;
        for (int round = 0; round < 5; ++round) {
            std::shuffle(shuffled.begin(), shuffled.end(), random);
            std::sort(shuffled.begin(), shuffled.end(), Keyboard::alphabetBefore);
            EXPECT_EQ(Core::wideToUtf8(shuffled), Core::wideToUtf8(alphabet));
        }
    }
}

TEST(Keyboard, AllowedLettersGreyKeysAndChooseTheLanguage) {
    KeyboardFixture f;
    f.keyboard->setValidLetters({u' ', u'e', u'q'});
    EXPECT_EQ(f.keyboard->languageName(), "English");
    const bool expected[] = {true, false, false, true, true, true, true, true};
    for (std::size_t key : {0u, 1u, 3u, 6u, 7u})
        EXPECT_EQ(f.enabled(key), expected[key]) << key;
    // Letters of the other alphabet: the keyboard goes where they are.
    f.keyboard->setValidLetters({u'\u0436', u'\u0437'});
    EXPECT_EQ(f.keyboard->languageName(), "Russian");
    EXPECT_FALSE(f.enabled(6)); // no space allowed
    // None allowed at all: no language wins, the current one stays.
    f.keyboard->setValidLetters({});
    EXPECT_EQ(f.keyboard->languageName(), "Russian");
    EXPECT_FALSE(f.enabled(0));
    f.keyboard->setValidLetters(Keyboard::AllLetters);
    EXPECT_TRUE(f.enabled(0));
}

TEST(Keyboard, CaselessLanguagesForcedCaseAndPhysicalKeys) {
    KeyboardFixture f("Greek;English");
    EXPECT_EQ(f.keyboard->languageName(), "English");
    f.ui.setKeyEvent(KMOD_LCTRL, u'l');
    EXPECT_TRUE(f.keyboard->keyDown(SDLK_l));
    EXPECT_EQ(f.keyboard->languageName(), "Greek");
    EXPECT_EQ(f.keyboard->letterCase(), Keyboard::NoCase);
    EXPECT_FALSE(f.keyboard->setCase(1));
    // An empty first cell of a row continues the key above it: α is two
    // rows high; γ takes the empty cell to its right.
    EXPECT_EQ(f.keyboard->keys()[0].rowSpan, 2);
    EXPECT_EQ(f.keyboard->keys()[4].rowSpan, 0);
    EXPECT_EQ(f.keyboard->keys()[2].columnSpan, 2);

    f.ui.setKeyEvent(KMOD_LCTRL, u'l');
    f.keyboard->keyDown(SDLK_l);
    f.keyboard->forceUpperCase(true);
    EXPECT_FALSE(f.enabled(4));
    f.ui.setKeyEvent(0, u'a');
    EXPECT_TRUE(f.keyboard->keyDown(SDLK_a));
    f.ui.setKeyEvent(0, 0);
    EXPECT_TRUE(f.keyboard->keyDown(SDLK_BACKSPACE));
    EXPECT_FALSE(f.keyboard->keyDown(SDLK_F1));
    EXPECT_EQ(f.owner->typed, (std::vector<std::string>{"A", "[bsp]"}));
}

// Russian has no layout in "words": offering it would show an empty
// keyboard, without the language key that leads back.
TEST(Keyboard, OffersOnlyLanguagesLaidOutInItsGroup) {
    for (const char* languages : {"English;Russian", "Russian", ""}) {
        KeyboardFixture f(languages, "words");
        EXPECT_EQ(f.keyboard->languageName(), "English") << languages;
        EXPECT_EQ(Core::wideToUtf8(f.captions()), "the|and|of|a|[lng]|_|_|[bsp]|") << languages;
        EXPECT_FALSE(f.enabled(4)) << "one language: the language key is disabled";
        // A key in a row's first column widens over the empty cells after it.
        EXPECT_EQ(f.keyboard->keys()[4].columnSpan, 3);
        EXPECT_EQ(f.keyboard->keys()[4].widget->rect().w, 300);
        f.keyboard->nextLanguage();
        EXPECT_EQ(f.keyboard->languageName(), "English");
        EXPECT_EQ(Core::wideToUtf8(f.captions()), "the|and|of|a|[lng]|_|_|[bsp]|");
    }
}

TEST(Keyboard, SettingsKeepValidNamesAndStoreTheirChoice) {
    KeyboardLayouts layouts;
    ASSERT_TRUE(layouts.loadText(kLayouts, [](const std::string&) { return true; }));
    Core::Config config;
    auto root = config.root();
    root->set("find_layout", "gone");
    EXPECT_EQ(Keyboard::layoutSetting(*root, "find_layout", true, layouts), "letters");
    EXPECT_EQ(root->value("find_layout", std::string()), "letters");
    EXPECT_EQ(Keyboard::usedLanguagesSetting(*root, layouts), "English;Russian;Greek");
    root->set("used_languages", "Greek");
    EXPECT_EQ(Keyboard::usedLanguagesSetting(*root, layouts), "Greek");
}

} // namespace
