#include "search/NameSplitter.h"

#include "core/Text.h"

#include <algorithm>
#include <bitset>
#include <vector>

namespace Map::TextSearch {

bool FoldedLess::operator()(std::u16string_view a, std::u16string_view b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char16_t x, char16_t y) {
        return Core::toLower(x) < Core::toLower(y);
    });
}

const StatusWords& statusWords() {
    static const StatusWords words = {
        // Adjective endings.
        u"\u044b\u0439", u"\u043e\u0439", u"\u0438\u0439", u"\u0430\u044f", u"\u044f\u044f", u"\u043e\u0435",
        // Ordinal suffixes.
        u"st", u"nd", u"rd", u"th",
        // Region types.
        u"\u0430\u043e", u"\u0430\u043e\u0431\u043b", u"\u0432\u043e\u043b", u"\u043e\u0431\u043b",
        u"\u0440\u0435\u0441\u043f",
        // Settlement types.
        u"\u0433\u043e\u0440", u"\u0433\u0441\u043a", u"\u0434\u0435\u0440", u"\u0434\u043f", u"\u043a\u043f",
        u"\u043b\u043f\u0445", u"\u043d\u043f", u"\u043f\u0433\u0442", u"\u043f\u043e\u0441",
        u"\u0440\u0437\u0434", u"\u0440\u043f", u"\u0441\u0435\u043b", u"\u0441\u043b", u"\u0441\u043d\u0442",
        u"\u0441\u0442",
        // District types.
        u"\u043a\u0432\u043b", u"\u043c\u043a\u0440", u"\u043e\u043a\u0440", u"\u0440\u043d",
        u"\u0442\u0435\u0440",
        // Street types.
        u"\u0430\u043b\u043b", u"\u0430\u043b\u043b\u0435\u044f", u"\u0431\u0443\u043b",
        u"\u0431\u0443\u043b\u0432", u"\u043a\u0430\u043d", u"\u043d\u0430\u0431", u"\u043f\u0435\u0440",
        u"\u043f\u043b", u"\u043f\u0440", u"\u0442\u0443\u043f", u"\u0443\u043b",
        u"\u043f\u043b\u0430\u0442\u0444", u"\u0441\u0442\u0440", u"\u043a\u043c"};
    return words;
}

namespace {

// The status words folded and sorted: a short word is folded once and
// looked up by plain comparisons.
struct FoldedStatusWords {
    static constexpr std::size_t Longest = 8;
    std::vector<std::u16string> words;
    std::size_t longest = 0;
    // A bit per (length, first two units) that some status word has: most
    // words are told apart without the search.
    std::bitset<256> heads;
    static std::size_t head(const char16_t* folded, std::size_t size) {
        return (size * 131 + folded[0] * 31 + folded[1]) & 255;
    }
    FoldedStatusWords() {
        for (const std::u16string& w : statusWords()) {
            std::u16string folded = w;
            for (char16_t& c : folded)
                c = NameSplitter::fold(c);
            longest = std::max(longest, folded.size());
            heads.set(head(folded.data(), folded.size()));
            words.push_back(std::move(folded));
        }
        std::sort(words.begin(), words.end());
    }
};

const FoldedStatusWords& foldedStatusWords() {
    static const FoldedStatusWords words;
    return words;
}

} // namespace

bool NameSplitter::keeps(std::u16string_view word) const {
    if (word.size() < minimumLength) return false;
    if (!keepDigits && !word.empty() && word[0] >= u'0' && word[0] <= u'9') return false;
    // Most words are longer than any status word: no lookup for them.
    const FoldedStatusWords& status = foldedStatusWords();
    if (word.size() > status.longest) return true;
    char16_t buffer[FoldedStatusWords::Longest];
    for (std::size_t i = 0; i < word.size(); ++i)
        buffer[i] = fold(word[i]);
    // Every status word has two units at least (as has every kept word).
    if (word.size() < 2 || !status.heads.test(FoldedStatusWords::head(buffer, word.size()))) return true;
    const std::u16string_view folded(buffer, word.size());
    return !std::binary_search(status.words.begin(), status.words.end(), folded,
                               [](std::u16string_view a, std::u16string_view b) { return a < b; });
}

void NameSplitter::split(std::u16string_view name) {
    eachCandidate(name, [this](std::size_t start, std::u16string_view word) {
        if (keeps(word)) onWord(start, word);
    });
}

} // namespace Map::TextSearch
