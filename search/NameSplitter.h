#pragma once
// Cutting a name into searchable words: words end at one of 16 separator
// characters; a word shorter than the minimum length, a word that begins
// with a digit when digits are not kept, and a status word (a grammatical
// ending, an ordinal suffix or a settlement, region, district or street
// type abbreviation) are dropped. A name without any separator yields no
// word: callers enter such a name whole.

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

class NameSplitter {
  public:
    static constexpr std::u16string_view Separators = u" \t;:+-*~,.?!\\/()";

    virtual ~NameSplitter() = default;
    // Calls onWord for every word of the name that is not dropped.
    void split(std::u16string_view name);

    std::uint32_t minimumLength = 2;
    bool keepDigits = true;

  protected:
    // position: where the word starts in the name.
    virtual void onWord(std::size_t position, std::u16string_view word) = 0;

  private:
    bool keeps(std::u16string_view word) const;
};

} // namespace Map::TextSearch
