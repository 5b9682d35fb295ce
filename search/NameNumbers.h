#pragma once
// Numbers for names met while one word tree is built: the same text always
// gets the same number, and a key (where the name was read) can be looked
// up before the name is read again. Open addressing over flat arrays, the
// names in one buffer: a build numbers a few hundred names, and a node per
// entry would cost more than reading them.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace TextSearch {

class NameNumbers {
  public:
    static constexpr std::uint32_t None = 0xFFFFFFFFu;

    // The number stored for a key (never all ones); None when absent.
    std::uint32_t find(std::uint64_t key) const;
    void store(std::uint64_t key, std::uint32_t number);
    // The number of a name: a new one (the count so far) for a text not met.
    std::uint32_t number(std::u16string_view name);
    // The number of a name met before; None otherwise.
    std::uint32_t find(std::u16string_view name) const;
    std::uint32_t count() const { return static_cast<std::uint32_t>(m_spans.size()); }
    std::size_t memoryBytes() const;
    // Gives back what growing left spare (for a table kept after it is made).
    void shrinkToFit();

  private:
    static constexpr std::uint64_t EmptyKey = ~0ull;
    struct KeySlot {
        std::uint64_t key = EmptyKey;
        std::uint32_t number = 0;
    };
    // The high half of the name's hash (the low half placed it): eight
    // bytes a slot, names told apart before their texts are compared.
    struct NameSlot {
        std::uint32_t tag = 0;
        std::uint32_t number = None;
    };
    static std::uint64_t mix(std::uint64_t x);
    static std::uint64_t hashOf(std::u16string_view name);
    void growKeys();
    void growNames();
    // The slot of the name, or the empty slot where it would go.
    std::size_t slotOf(std::u16string_view name, std::uint64_t hash) const;

    std::vector<KeySlot> m_keys;
    std::size_t m_keyCount = 0;
    std::vector<NameSlot> m_names;
    // Each numbered name's place in m_text, by number.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> m_spans;
    std::u16string m_text;
};

} // namespace TextSearch
