#pragma once
// The keyboard layouts file: grid configurations grouped by name (each
// bound to a "kb_<name>" template of the design), the languages, and per
// language and case the captions of every grid row.
//
//   <kb_layouts>
//     <group name="letters">
//       <config id="1" name="letters" cols="10" rows="4"/>
//     </group>
//     <language name="English" short_name="EN">
//       <layout id="1" case="0">
//         <row buttons="q|w|e|...|"/>
//       </layout>
//     </language>
//   </kb_layouts>
//
// Row syntax: each caption ends with "|"; "\" takes the next character
// literally and may only precede "\" or "|"; an empty caption widens the
// key to its left; "[bsp]", "[cas]", "[lng]" and "[spc]" are the special
// keys. A longer caption that is no special word is accepted but flags the
// group (left out of the layouts offered for editing).

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Ui {

struct KeyboardLayout {
    std::int32_t language = 0;
    // 0 lower, 1 upper, 2 the language has no letter case.
    std::int32_t letterCase = 2;
    std::vector<std::u16string> rows;
};

struct KeyboardGrid {
    bool flagged = false;
    std::string templateName;
    std::int32_t columns = 0;
    std::int32_t rows = 0;
    std::vector<KeyboardLayout> layouts;
};

struct KeyboardLanguage {
    std::string name;
    std::string shortName;
};

// One row's captions; nothing when the row breaks the syntax or has more
// captions than the grid has columns. flagged is raised by a long caption.
std::optional<std::vector<std::u16string>> parseLayoutRow(std::u16string_view row, std::int32_t columns,
                                                          bool& flagged);

class KeyboardLayouts {
public:
    // Whether the design has a template of that name.
    using TemplateExists = std::function<bool(const std::string& name)>;

    // Replaces the collection with the file's. False, leaving it empty,
    // after logging "Error: %s on parsing layout file" or "Invalid format of
    // layout file" (Critical).
    bool loadText(std::string text, const TemplateExists& templateExists);
    void clear();

    // Group names in name order; flagged ones only when asked for.
    std::vector<std::string> layoutNames(bool includeFlagged) const;
    // -1 when absent.
    std::int32_t languageIndex(std::string_view name) const;
    const KeyboardLanguage& language(std::size_t index) const { return m_languages.at(index); }
    const std::vector<KeyboardLanguage>& languages() const { return m_languages; }
    const KeyboardGrid* group(const std::string& name) const;
    bool empty() const { return m_groups.empty(); }

private:
    std::map<std::string, KeyboardGrid> m_groups;
    std::vector<KeyboardLanguage> m_languages;
};

} // namespace Ui
