#include "ui/Keyboard.h"

#include "core/Log.h"
#include "core/Split.h"
#include "core/Text.h"
#include "ui/DesignDescription.h"
#include "ui/EngineServices.h"
#include "ui/KeyboardLayouts.h"
#include "ui/fdButtonX.h"
#include "ui/fdInterface.h"

#include <SDL/SDL_keysym.h>

#include <algorithm>

namespace Ui {

namespace {

// The key index a cell or span button name stands for, or -1.
std::int64_t keyIndex(const std::string& name) {
    std::string_view digits = name;
    if (!digits.empty() && digits[0] == 's')
        digits.remove_prefix(1);
    if (digits.empty() || digits.size() > 9)
        return -1;
    std::int64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

std::vector<std::string> splitNames(const std::string& text) {
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(';', start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start)
            names.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

// The plain letter a letter follows in its alphabets, or the letter itself.
char16_t follows(char16_t c) {
    // Ѐ Ё Ђ Ѓ Є Ѕ І Ї Ј Љ Њ Ћ Ќ Ѝ Ў Џ and their small forms, 0x50 above.
    // (Macedonian puts Ѓ behind Д and Ќ behind Т.)
    static constexpr char16_t Cyrillic[16] = {u'Е', u'Е', u'Д', u'Д', u'Е', u'З', u'И', u'И',
                                              u'И', u'Л', u'Н', u'Т', u'Т', u'И', u'У', u'Ч'};
    // À .. ÿ; × and ÷ are no letters, Þ and þ letters of their own.
    static constexpr std::u16string_view Latin =
        u"AAAAAAACEEEEIIIIDNOOOOO\u00D7OUUUUY\u00DEsaaaaaaaceeeeiiiidnooooo\u00F7ouuuuy\u00FEy";
    if (c >= 0x400 && c < 0x410)
        return Cyrillic[c - 0x400];
    if (c >= 0x450 && c < 0x460)
        return static_cast<char16_t>(Cyrillic[c - 0x450] + 0x20);
    if (c == 0x490 || c == 0x491)
        return c == 0x490 ? u'Г' : u'г';
    if (c >= 0xC0 && c <= 0xFF)
        return Latin[c - 0xC0];
    return c;
}

} // namespace

const std::vector<char16_t> Keyboard::AllLetters = {u'\0'};

bool Keyboard::alphabetBefore(char16_t a, char16_t b) {
    const char16_t plainA = follows(a), plainB = follows(b);
    if (plainA != plainB)
        return plainA < plainB;
    // The plain letter first, then the others behind it in code order.
    if ((plainA == a) != (plainB == b))
        return plainA == a;
    return a < b;
}

Keyboard::Keyboard(const TemplateDescription& description, fdWindowBase* owner, fdInterface* ui,
                   const KeyboardLayouts* layouts, const std::string& layoutName, const std::string& languages)
    : TemplateWindow(description, owner, "kb", ui, nullptr), m_layouts(layouts) {
    if (m_layouts)
        m_grid = m_layouts->group(layoutName);
    setLanguages(languages);
}

const std::string& Keyboard::languageName() const {
    static const std::string none;
    if (!m_layouts || m_languages.empty())
        return none;
    return m_layouts->language(static_cast<std::size_t>(m_languages[m_current])).name;
}

void Keyboard::setLanguages(const std::string& names) {
    if (!m_layouts)
        return;
    // Only languages this grid has a layout for: another would show no
    // keys at all, not even the language key that leads back.
    const auto laidOut = [this](std::int32_t language) {
        return m_grid && std::any_of(m_grid->layouts.begin(), m_grid->layouts.end(),
                                     [language](const KeyboardLayout& l) { return l.language == language; });
    };
    std::vector<std::int32_t> offered;
    for (const std::string& name : splitNames(names)) {
        const std::int32_t index = m_layouts->languageIndex(name);
        if (index >= 0 && laidOut(index))
            offered.push_back(index);
    }
    if (offered.empty())
        for (std::size_t i = 0; i < m_layouts->languages().size(); ++i)
            if (laidOut(static_cast<std::int32_t>(i)))
                offered.push_back(static_cast<std::int32_t>(i));
    std::sort(offered.begin(), offered.end());
    offered.erase(std::unique(offered.begin(), offered.end()), offered.end());
    if (offered == m_languages && !m_keys.empty())
        return;
    const std::int32_t previous = m_languages.empty() ? -1 : m_languages[m_current];
    m_languages = std::move(offered);
    const auto found = std::lower_bound(m_languages.begin(), m_languages.end(), previous);
    showLanguage(found != m_languages.end() && *found == previous
                     ? static_cast<std::size_t>(found - m_languages.begin())
                     : 0);
}

std::int32_t Keyboard::caseFor(std::int32_t language, std::int32_t current) const {
    for (const KeyboardLayout& layout : m_grid->layouts)
        if (layout.language == language)
            return layout.letterCase == NoCase ? NoCase : (current == NoCase ? 0 : current);
    return current;
}

void Keyboard::showLanguage(std::size_t position) {
    if (!m_grid || m_languages.empty())
        return;
    m_current = position % m_languages.size();
    m_case = caseFor(m_languages[m_current], m_case);
    buildKeys(m_languages[m_current], m_case);
    showKeys();
}

bool Keyboard::setCase(std::int32_t letterCase) {
    if (letterCase == m_case)
        return true;
    if (m_case == NoCase || !m_grid || m_languages.empty())
        return false;
    m_case = letterCase;
    buildKeys(m_languages[m_current], m_case);
    showKeys();
    return true;
}

void Keyboard::nextLanguage() {
    if (!m_languages.empty())
        showLanguage(m_current + 1);
}

void Keyboard::forceUpperCase(bool forced) {
    m_upperForced = forced;
    showKeys();
}

void Keyboard::buildKeys(std::int32_t language, std::int32_t letterCase) {
    // Span buttons of the previous layout go; the template's cells stay.
    for (Key& key : m_keys)
        if (key.widget && key.widget->name()[0] == 's') {
            // Detached at once, so the window alone in the pending list owns
            // it whatever is deleted first.
            removeChild(key.widget);
            key.widget->setParent(nullptr);
            ui()->queueDelete(key.widget);
        }
    const std::size_t columns = static_cast<std::size_t>(std::max(m_grid->columns, 0));
    const std::size_t rows = static_cast<std::size_t>(std::max(m_grid->rows, 0));
    m_keys.assign(columns * rows, Key{});
    const KeyboardLayout* layout = nullptr;
    for (const KeyboardLayout& candidate : m_grid->layouts)
        if (candidate.language == language && candidate.letterCase == letterCase) {
            layout = &candidate;
            break;
        }
    if (!layout)
        return;
    for (std::size_t r = 0; r < rows && r < layout->rows.size(); ++r) {
        bool flagged = false;
        const auto captions = parseLayoutRow(layout->rows[r], m_grid->columns, flagged);
        if (!captions)
            continue;
        for (std::size_t c = 0; c < captions->size() && c < columns; ++c)
            m_keys[r * columns + c].caption = (*captions)[c];
    }
    // Empty captions widen the key to their left, then keys of equal width
    // join downwards.
    for (std::size_t r = 0; r < rows; ++r)
        for (std::size_t c = 0; c < columns;) {
            Key& key = m_keys[r * columns + c];
            std::size_t next = c + 1;
            while (next < columns && m_keys[r * columns + next].caption.empty() && !key.caption.empty()) {
                m_keys[r * columns + next].columnSpan = 0;
                ++key.columnSpan;
                ++next;
            }
            c = next;
        }
    for (std::size_t c = 0; c < columns; ++c)
        for (std::size_t r = 0; r < rows;) {
            Key& key = m_keys[r * columns + c];
            std::size_t next = r + 1;
            while (key.columnSpan > 0 && !key.caption.empty() && next < rows &&
                   m_keys[next * columns + c].caption.empty() &&
                   m_keys[next * columns + c].columnSpan == key.columnSpan) {
                m_keys[next * columns + c].rowSpan = 0;
                ++key.rowSpan;
                ++next;
            }
            r = next;
        }
}

bool Keyboard::allowed(char16_t letter) const {
    if (m_allowed == AllLetters)
        return true;
    return std::binary_search(m_allowed.begin(), m_allowed.end(), Core::toLower(letter));
}

void Keyboard::showKeys() {
    if (!m_grid)
        return;
    const std::size_t columns = static_cast<std::size_t>(m_grid->columns);
    // The case key shows the first three letters of the alphabet on the
    // keys, in the case shown: "абв" on a Russian layout, "abc" on an
    // English one, whose keyboard would otherwise carry a Russian word.
    std::u16string caseSample;
    for (const Key& key : m_keys)
        if (key.columnSpan != 0 && key.rowSpan != 0 && key.caption.size() == 1) {
            const char16_t c = key.caption[0];
            if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c >= 0xC0) caseSample += c;
        }
    std::sort(caseSample.begin(), caseSample.end(), alphabetBefore);
    caseSample.erase(std::unique(caseSample.begin(), caseSample.end()), caseSample.end());
    // The alphabet starts with plain letters: "abc", not "aàb".
    std::stable_partition(caseSample.begin(), caseSample.end(), [](char16_t c) { return follows(c) == c; });
    caseSample.resize(std::min<std::size_t>(caseSample.size(), 3));
    for (std::size_t i = 0; i < m_keys.size(); ++i) {
        Key& key = m_keys[i];
        auto* cell = dynamic_cast<fdButtonX*>(findChild(std::to_string(i)));
        if (key.columnSpan == 0 || key.rowSpan == 0 || key.caption.empty()) {
            if (cell)
                cell->setVisible(false);
            key.widget = nullptr;
            continue;
        }
        if (key.columnSpan == 1 && key.rowSpan == 1) {
            key.widget = cell;
        } else {
            const std::size_t last = i + (key.rowSpan - 1u) * columns + key.columnSpan - 1u;
            auto* lastCell = findChild(std::to_string(last));
            if (!key.widget && cell && lastCell) {
                key.widget = new fdButtonX(this, std::string("s").append(std::to_string(i)), true, ui());
                for (int look = 0; look < 3; ++look)
                    key.widget->look(look) = cell->look(look);
                key.widget->spanSiblings(*cell, *lastCell);
                key.widget->updateLook();
            }
            if (cell)
                cell->setVisible(false);
        }
        fdButtonX* button = key.widget;
        if (!button)
            continue;
        button->setVisible(true);
        const std::u16string& caption = key.caption;
        bool enabled = true;
        if (caption == u"[bsp]" || caption == u"[spc]") {
            const CursorRecord* cursor = ui()->findCursor(Core::wideToUtf8(caption));
            button->setCursorRenderer(cursor);
            button->setText(cursor ? u"dummy" : (caption == u"[bsp]" ? u"\u2190" : u" "));
            enabled = caption == u"[bsp]" || allowed(u' ');
        } else if (caption == u"[cas]") {
            button->setCursorRenderer(nullptr);
            button->setText(caseSample);
            enabled = !m_upperForced && m_case != NoCase;
        } else if (caption == u"[lng]") {
            button->setCursorRenderer(nullptr);
            const std::size_t next = m_languages.empty() ? 0 : (m_current + 1) % m_languages.size();
            button->setText(m_languages.empty() ? std::u16string()
                                                : Core::utf8ToWide(m_layouts->language(m_languages[next]).shortName));
            enabled = m_languages.size() > 1;
        } else {
            button->setCursorRenderer(nullptr);
            button->setText(caption);
            enabled = allowed(caption[0]);
        }
        button->setEnabled(enabled);
        button->invalidate(0);
    }
    invalidate(0);
}

std::size_t Keyboard::usableKeys() const {
    std::size_t usable = 0;
    for (const Key& key : m_keys) {
        if (key.columnSpan == 0 || key.rowSpan == 0 || key.caption.empty())
            continue;
        if (key.caption == u"[bsp]" || key.caption == u"[cas]" || key.caption == u"[lng]")
            continue;
        usable += allowed(key.caption == u"[spc]" ? u' ' : key.caption[0]) ? 1 : 0;
    }
    return usable;
}

void Keyboard::setValidLetters(std::vector<char16_t> letters) {
    m_allowed = std::move(letters);
    if (m_allowed == AllLetters || !m_grid || m_languages.empty()) {
        showKeys();
        return;
    }
    std::size_t best = m_current;
    std::size_t bestCount = usableKeys();
    const std::size_t start = m_current;
    const std::int32_t startCase = m_case;
    for (std::size_t step = 1; step < m_languages.size(); ++step) {
        const std::size_t position = (start + step) % m_languages.size();
        buildKeys(m_languages[position], caseFor(m_languages[position], startCase));
        const std::size_t count = usableKeys();
        if (count > bestCount) {
            best = position;
            bestCount = count;
        }
    }
    if (best == start) {
        buildKeys(m_languages[start], m_case);
        showKeys();
    } else {
        showLanguage(best);
    }
}

void Keyboard::send(const std::string& command) { TemplateWindow::childClicked(command); }

void Keyboard::childClicked(const std::string& name) {
    const std::int64_t index = keyIndex(name);
    if (index < 0 || static_cast<std::size_t>(index) >= m_keys.size()) {
        send(name);
        return;
    }
    const std::u16string caption = m_keys[static_cast<std::size_t>(index)].caption;
    if (caption == u"[bsp]") {
        send("[bsp]");
    } else if (caption == u"[cas]") {
        setCase(m_case == 0 ? 1 : 0);
    } else if (caption == u"[lng]") {
        nextLanguage();
    } else if (caption == u"[spc]") {
        send(" ");
    } else if (!caption.empty()) {
        m_lastCaption = caption;
        send(Core::wideToUtf8(caption));
    }
}

bool Keyboard::keyDown(int key) {
    const int modifiers = ui()->keyModifiers();
    if ((modifiers & KMOD_CTRL) && key == SDLK_l) {
        nextLanguage();
        return true;
    }
    if (key == SDLK_BACKSPACE && (modifiers & (KMOD_CTRL | KMOD_SHIFT | KMOD_ALT)) == 0) {
        send("[bsp]");
        return true;
    }
    if (key < 32 || key > 255)
        return false;
    std::u16string text(1, key == SDLK_SPACE ? u' ' : ui()->keyUnicode());
    if (text[0] == 0)
        return false;
    if (m_upperForced)
        text[0] = Core::toUpper(text[0]);
    m_lastCaption = text;
    send(Core::wideToUtf8(text));
    return true;
}

std::string Keyboard::layoutSetting(Core::ConfigNode& config, const std::string& key, bool includeFlagged,
                                    const KeyboardLayouts& layouts) {
    const std::vector<std::string> names = layouts.layoutNames(includeFlagged);
    const std::string stored = config.value(key, std::string());
    if (std::find(names.begin(), names.end(), stored) != names.end())
        return stored;
    const std::string chosen = names.empty() ? std::string() : names.front();
    config.set(key, chosen);
    return chosen;
}

std::string Keyboard::usedLanguagesSetting(Core::ConfigNode& config, const KeyboardLayouts& layouts) {
    std::string used = config.value("used_languages", std::string());
    if (!used.empty())
        return used;
    for (const KeyboardLanguage& language : layouts.languages())
        used += (used.empty() ? "" : ";") + language.name;
    config.set("used_languages", used);
    return used;
}

namespace {

const TemplateDescription* findTemplate(fdInterface& ui, const std::string& name) {
    const EngineServices* engine = ui.engine();
    const DesignDescription* design = engine ? engine->design() : nullptr;
    if (!design)
        return nullptr;
    const auto found = design->templates.find(name);
    return found == design->templates.end() ? nullptr : found->second.get();
}

} // namespace

PageKeyboardPtr openPageKeyboard(fdPage& page, const KeyboardLayouts& layouts, const std::string& layoutName,
                                 const std::string& languages) {
    fdInterface* ui = page.ui();
    const KeyboardGrid* grid = layouts.group(layoutName);
    const TemplateDescription* description = grid ? findTemplate(*ui, grid->templateName) : nullptr;
    if (!description) {
        ui->logMissingOnce("No keyboard template for the layout " + layoutName);
        return nullptr;
    }
    auto* keyboard = new Keyboard(*description, &page, ui, &layouts, layoutName, languages);
    // Anchored like the template, so that it sits where the design put it
    // on a page of any size.
    keyboard->setAnchors(description->ltHorz, description->ltVert, description->rbHorz, description->rbVert);
    keyboard->relayout();
    return PageKeyboardPtr(keyboard, [ui](Keyboard* window) {
        if (window->parent())
            window->parent()->removeChild(window);
        window->setParent(nullptr);
        ui->queueDelete(window);
    });
}

TemplateWindow* createTemplateWindow(fdPage& owner, const std::string& templateName, const std::string& command) {
    const TemplateDescription* description = findTemplate(*owner.ui(), templateName);
    if (!description) {
        owner.ui()->logMissingOnce("No template " + templateName);
        return nullptr;
    }
    auto* window = new TemplateWindow(*description, &owner, command, owner.ui(), nullptr);
    window->setAnchors(description->ltHorz, description->ltVert, description->rbHorz, description->rbVert);
    window->relayout();
    return window;
}

void removeTemplateWindow(fdPage& owner, TemplateWindow*& window) {
    TemplateWindow* removed = window;
    window = nullptr;
    owner.removeChild(removed);
    removed->setParent(nullptr);
    owner.ui()->queueDelete(removed);
}

} // namespace Ui
