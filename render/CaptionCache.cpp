#include "render/CaptionCache.h"

#include <bit>
#include <functional>

namespace Render {

std::size_t CaptionCache::KeyHash::operator()(const Key& k) const {
    std::size_t h = std::hash<std::u16string>{}(k.text);
    auto mix = [&h](std::uint64_t v) { h ^= std::hash<std::uint64_t>{}(v) + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2); };
    mix(reinterpret_cast<std::uintptr_t>(k.font));
    mix((std::uint64_t{static_cast<std::uint32_t>(k.width)} << 32) | static_cast<std::uint32_t>(k.height));
    mix((std::uint64_t{k.textColour} << 32) | k.haloColour);
    mix((std::uint64_t{std::bit_cast<std::uint32_t>(k.sine)} << 32) | std::bit_cast<std::uint32_t>(k.cosine));
    mix(static_cast<std::uint32_t>(k.fontStyle));
    return h;
}

void CaptionCache::startFrame() {
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (it->second.frame != m_frame) {
            m_bytes -= it->second.bytes;
            it = m_entries.erase(it);
        } else {
            ++it;
        }
    }
    ++m_frame;
}

void CaptionCache::clear() {
    m_entries.clear();
    m_bytes = 0;
}

SDL_Surface* CaptionCache::find(const Key& key) {
    const auto it = m_entries.find(key);
    if (it == m_entries.end()) return nullptr;
    it->second.frame = m_frame;
    return it->second.picture.get();
}

SDL_Surface* CaptionCache::keep(const Key& key, Picture& picture) {
    if (!picture) return nullptr;
    const std::size_t bytes = static_cast<std::size_t>(picture->pitch) * static_cast<std::size_t>(picture->h) +
                              key.text.size() * sizeof(char16_t) + sizeof(Entry) + sizeof(Key);
    if (m_bytes + bytes > m_budget) return nullptr;
    Entry& entry = m_entries[key];
    if (entry.picture) m_bytes -= entry.bytes;
    entry.picture = std::move(picture);
    entry.bytes = bytes;
    entry.frame = m_frame;
    m_bytes += bytes;
    return entry.picture.get();
}

} // namespace Render
