#include "search/NameNumbers.h"

namespace TextSearch {

std::uint64_t NameNumbers::mix(std::uint64_t x) {
    // A 64-bit finaliser: neighbouring keys land far apart.
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdull;
    x ^= x >> 33;
    x *= 0xc4ceb9fe1a85ec53ull;
    return x ^ (x >> 33);
}

std::uint64_t NameNumbers::hashOf(std::u16string_view name) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (char16_t c : name)
        h = (h ^ c) * 0x100000001b3ull;
    return mix(h);
}

std::uint32_t NameNumbers::find(std::uint64_t key) const {
    if (m_keys.empty()) return None;
    const std::size_t mask = m_keys.size() - 1;
    for (std::size_t i = mix(key) & mask;; i = (i + 1) & mask) {
        if (m_keys[i].key == key) return m_keys[i].number;
        if (m_keys[i].key == EmptyKey) return None;
    }
}

void NameNumbers::store(std::uint64_t key, std::uint32_t number) {
    // At most half full, so that a probe ends soon at an empty slot.
    if ((m_keyCount + 1) * 2 > m_keys.size()) growKeys();
    const std::size_t mask = m_keys.size() - 1;
    std::size_t i = mix(key) & mask;
    while (m_keys[i].key != EmptyKey && m_keys[i].key != key)
        i = (i + 1) & mask;
    if (m_keys[i].key == EmptyKey) ++m_keyCount;
    m_keys[i] = {key, number};
}

void NameNumbers::growKeys() {
    std::vector<KeySlot> old = std::move(m_keys);
    m_keys.assign(old.empty() ? 1024 : old.size() * 2, KeySlot{});
    m_keyCount = 0;
    for (const KeySlot& slot : old)
        if (slot.key != EmptyKey) store(slot.key, slot.number);
}

std::size_t NameNumbers::slotOf(std::u16string_view name, std::uint64_t hash) const {
    const std::size_t mask = m_names.size() - 1;
    std::size_t i = hash & mask;
    const auto tag = static_cast<std::uint32_t>(hash >> 32);
    for (; m_names[i].number != None; i = (i + 1) & mask) {
        if (m_names[i].tag != tag) continue;
        const auto [start, size] = m_spans[m_names[i].number];
        if (std::u16string_view(m_text).substr(start, size) == name) break;
    }
    return i;
}

std::uint32_t NameNumbers::number(std::u16string_view name) {
    if ((m_spans.size() + 1) * 2 > m_names.size()) growNames();
    const std::uint64_t hash = hashOf(name);
    const std::size_t i = slotOf(name, hash);
    if (m_names[i].number != None) return m_names[i].number;
    const auto number = static_cast<std::uint32_t>(m_spans.size());
    m_names[i] = {static_cast<std::uint32_t>(hash >> 32), number};
    m_spans.emplace_back(static_cast<std::uint32_t>(m_text.size()), static_cast<std::uint32_t>(name.size()));
    m_text += name;
    return number;
}

std::uint32_t NameNumbers::find(std::u16string_view name) const {
    return m_names.empty() ? None : m_names[slotOf(name, hashOf(name))].number;
}

void NameNumbers::shrinkToFit() {
    m_spans.shrink_to_fit();
    m_text.shrink_to_fit();
}

std::size_t NameNumbers::memoryBytes() const {
    return m_keys.capacity() * sizeof(KeySlot) + m_names.capacity() * sizeof(NameSlot) +
           m_spans.capacity() * sizeof(m_spans[0]) + m_text.capacity() * sizeof(char16_t);
}

void NameNumbers::growNames() {
    std::vector<NameSlot> old = std::move(m_names);
    m_names.assign(old.empty() ? 1024 : old.size() * 2, NameSlot{});
    const std::size_t mask = m_names.size() - 1;
    for (const NameSlot& slot : old) {
        if (slot.number == None) continue;
        const auto [start, size] = m_spans[slot.number];
        std::size_t i = hashOf(std::u16string_view(m_text).substr(start, size)) & mask;
        while (m_names[i].number != None)
            i = (i + 1) & mask;
        m_names[i] = slot;
    }
}

} // namespace TextSearch
