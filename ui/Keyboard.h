#pragma once
// The on-screen keyboard: a template window whose placeholder buttons (one
// per grid cell, named by the cell's index) get the keys of the current
// language and letter case. Neighbouring empty captions widen a key over
// several cells; "[bsp]", "[cas]", "[lng]" and "[spc]" are the backspace,
// case, language and space keys. Keys whose letters cannot follow what was
// typed are greyed out, and the keyboard switches to the language that
// offers the most usable keys.
//
// A pressed key reaches the owner as a click of the keyboard's own name;
// the owner reads the key's text from lastChild() ("[bsp]" for backspace,
// " " for space).

#include "core/ConfigNode.h"
#include "ui/fdPage.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Ui {

class fdButtonX;
class KeyboardLayouts;
struct KeyboardGrid;

class Keyboard : public TemplateWindow {
  public:
    // Letter case 2: the language has none.
    static constexpr std::int32_t NoCase = 2;
    // The allowed-letters value that allows every letter.
    static const std::vector<char16_t> AllLetters;

    // Built from the template under the owner; the grid is the layouts'
    // group of that name (none: no keys). languages: ";"-separated names.
    Keyboard(const TemplateDescription& description, fdWindowBase* owner, fdInterface* ui,
             const KeyboardLayouts* layouts, const std::string& layoutName, const std::string& languages);

    // The offered languages by name; unknown names are skipped, an empty
    // result offers every language.
    void setLanguages(const std::string& names);
    // False while the language has no letter case.
    bool setCase(std::int32_t letterCase);
    void nextLanguage();
    // Sorted letters (lower case) that may be typed next; AllLetters allows
    // every letter, an empty set none.
    void setValidLetters(std::vector<char16_t> letters);
    // While forced, typed letters are sent in upper case and the case key
    // is disabled.
    void forceUpperCase(bool forced);

    bool keyDown(int key) override;
    void childClicked(const std::string& name) override;

    std::int32_t letterCase() const { return m_case; }
    const std::string& languageName() const;
    std::size_t languageCount() const { return m_languages.size(); }
    const std::u16string& lastCaption() const { return m_lastCaption; }
    // Set by the find page when the keyboard types a search text.
    bool searchUse = false;

    struct Key {
        std::u16string caption;
        fdButtonX* widget = nullptr;
        std::uint8_t columnSpan = 1;
        std::uint8_t rowSpan = 1;
    };
    const std::vector<Key>& keys() const { return m_keys; }

    // The layout name stored under key when it is one of the offered
    // names, else the first offered name (stored back).
    static std::string layoutSetting(Core::ConfigNode& config, const std::string& key, bool includeFlagged,
                                     const KeyboardLayouts& layouts);
    // "used_languages", all languages joined with ";" when empty (stored).
    static std::string usedLanguagesSetting(Core::ConfigNode& config, const KeyboardLayouts& layouts);

    // The order of letters in their alphabets, which the case key's
    // caption follows: a letter outside the plain Latin and Russian runs
    // comes right after the letter its alphabets put it behind (é after e,
    // Ё after Е, Ukrainian І after И, Ґ after Г); otherwise the code order.
    static bool alphabetBefore(char16_t a, char16_t b);

  private:
    void buildKeys(std::int32_t language, std::int32_t letterCase);
    void showKeys();
    void showLanguage(std::size_t position);
    // The case a language is shown in: its own when it has none, else the
    // current one (lower when the current language had none).
    std::int32_t caseFor(std::int32_t language, std::int32_t current) const;
    std::size_t usableKeys() const;
    bool allowed(char16_t letter) const;
    void send(const std::string& command);

    const KeyboardLayouts* m_layouts;
    const KeyboardGrid* m_grid = nullptr;
    std::vector<std::int32_t> m_languages;
    std::size_t m_current = 0;
    std::int32_t m_case = NoCase;
    bool m_upperForced = false;
    std::vector<Key> m_keys;
    std::vector<char16_t> m_allowed = AllLetters;
    std::u16string m_lastCaption;
};

// The keyboard a page holds: a shared pointer whose deleter hands the
// window to the interface's pending-delete list, so that a keyboard closed
// while it dispatches a click is deleted after the dispatch.
using PageKeyboardPtr = std::shared_ptr<Keyboard>;

// Opens the keyboard "kb" on the page from the template of the layout's
// grid (the grid named by the page's layout setting); null (logged once)
// when the design has no such template.
PageKeyboardPtr openPageKeyboard(fdPage& page, const KeyboardLayouts& layouts, const std::string& layoutName,
                                 const std::string& languages);

// A window from a design template for an owner page; its clicks reach the
// owner as `command`. Null (logged once) when the template is missing.
TemplateWindow* createTemplateWindow(fdPage& owner, const std::string& templateName, const std::string& command);
// Takes such a window out of its owner and deletes it once the event at
// hand is done (it may be the window's own click); window becomes null.
void removeTemplateWindow(fdPage& owner, TemplateWindow*& window);

} // namespace Ui
