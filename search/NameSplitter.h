#pragma once
// Cutting a name into searchable words: words end at one of 16 separator
// characters; a word shorter than the minimum length, a word that begins
// with a digit when digits are not kept, and a status word (a grammatical
// ending, an ordinal suffix or a settlement, region, district or street
// type abbreviation) are dropped. A name without any separator yields no
// word: callers enter such a name whole.

#include "core/Text.h"

#include <cstdint>
#include <set>
#include <string>
#include <string_view>

namespace Map::TextSearch {

// Compares folded (Core::toLower) units.
struct FoldedLess {
    using is_transparent = void;
    bool operator()(std::u16string_view a, std::u16string_view b) const;
};
using StatusWords = std::set<std::u16string, FoldedLess>;

// The 49 words that carry no meaning of their own.
const StatusWords& statusWords();

namespace SplitterDetail {
inline constexpr std::u16string_view Separators = u" \t;:+-*~,.?!\\/()";
// The separators among 64 units from `base`, one bit each.
constexpr std::uint64_t separatorBits(unsigned base) {
    std::uint64_t bits = 0;
    for (char16_t c : Separators)
        if (c >= base && c < base + 64) bits |= std::uint64_t{1} << (c - base);
    return bits;
}
} // namespace SplitterDetail

class NameSplitter {
  public:
    static constexpr std::u16string_view Separators = SplitterDetail::Separators;

    virtual ~NameSplitter() = default;
    // Calls onWord for every word of the name that is not dropped.
    void split(std::u16string_view name);
    // Calls f(position, word) for every word of the name before the tests
    // that drop words (keeps), in the order split hands them on.
    template <class F> static void eachCandidate(std::u16string_view name, F&& f) {
        std::size_t start = 0;
        for (std::size_t p = findSeparator(name); p != std::u16string_view::npos; p = findSeparator(name, start)) {
            f(start, name.substr(start, p - start));
            start = p + 1;
        }
        if (start != 0 && name.size() - start >= 2) f(start, name.substr(start));
    }

    // Core::toLower, with the ASCII letters that most names are made of
    // folded here: names are folded unit by unit while the user types.
    static char16_t fold(char16_t c) {
        if (c < 0x80) return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
        return Core::toLower(c);
    }
    static bool isSeparator(char16_t c) {
        // All separators are ASCII: one bit each.
        constexpr std::uint64_t low = SplitterDetail::separatorBits(0),
                                high = SplitterDetail::separatorBits(64);
        return c < 64 ? (low >> c & 1) != 0 : c < 128 && (high >> (c - 64) & 1) != 0;
    }
    // The position of the first separator at or after `from`; npos when none.
    static std::size_t findSeparator(std::u16string_view text, std::size_t from = 0) {
        for (std::size_t i = from; i < text.size(); ++i)
            if (isSeparator(text[i])) return i;
        return std::u16string_view::npos;
    }
    // Whether the word is kept: long enough, a digit word only when digits
    // are kept, and no status word.
    bool keeps(std::u16string_view word) const;

    std::uint32_t minimumLength = 2;
    bool keepDigits = true;

  protected:
    // position: where the word starts in the name.
    virtual void onWord(std::size_t position, std::u16string_view word) = 0;
};

} // namespace Map::TextSearch
