#include "render/CaptionCache.h"

#include <algorithm>
#include <bit>
#include <cstring>
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

SDL_Surface* CaptionCache::find(const Key& key, const Strips** strips) {
    const auto it = m_entries.find(key);
    if (it == m_entries.end()) return nullptr;
    it->second.frame = m_frame;
    if (strips != nullptr) *strips = &it->second.strips;
    return it->second.picture.get();
}

SDL_Surface* CaptionCache::keep(const Key& key, Picture& picture, const Strips** strips) {
    if (!picture) return nullptr;
    const std::size_t bytes = static_cast<std::size_t>(picture->pitch) * static_cast<std::size_t>(picture->h) +
                              key.text.size() * sizeof(char16_t) + sizeof(Entry) + sizeof(Key);
    if (m_bytes + bytes > m_budget) return nullptr;
    Entry& entry = m_entries[key];
    if (entry.picture) m_bytes -= entry.bytes;
    entry.picture = std::move(picture);
    entry.strips = stripsOf(entry.picture.get());
    entry.bytes = bytes;
    entry.frame = m_frame;
    m_bytes += bytes;
    if (strips != nullptr) *strips = &entry.strips;
    return entry.picture.get();
}

CaptionCache::Strips stripsOf(SDL_Surface* picture) {
    CaptionCache::Strips strips;
    const std::uint32_t amask = picture->format->Amask;
    const int bytes = picture->format->BytesPerPixel;
    const bool locked = SDL_MUSTLOCK(picture) && SDL_LockSurface(picture) == 0;
    if (amask == 0 || (bytes != 4 && bytes != 2) || (SDL_MUSTLOCK(picture) && !locked)) {
        if (locked) SDL_UnlockSurface(picture);
        strips.push_back(SDL_Rect{0, 0, static_cast<Uint16>(picture->w), static_cast<Uint16>(picture->h)});
        return strips;
    }
    const auto* pixels = static_cast<const std::uint8_t*>(picture->pixels);
    for (int top = 0; top < picture->h; top += CaptionCache::kStripRows) {
        const int rows = std::min(CaptionCache::kStripRows, picture->h - top);
        int first = picture->w;
        int last = -1;
        for (int y = top; y < top + rows; ++y) {
            const std::uint8_t* row = pixels + static_cast<std::ptrdiff_t>(y) * picture->pitch;
            for (int x = 0; x < picture->w; ++x) {
                std::uint32_t value = 0;
                if (bytes == 4) {
                    std::memcpy(&value, row + 4 * x, 4);
                } else {
                    std::uint16_t v16 = 0;
                    std::memcpy(&v16, row + 2 * x, 2);
                    value = v16;
                }
                if ((value & amask) != 0) {
                    first = std::min(first, x);
                    last = std::max(last, x);
                }
            }
        }
        if (last >= first)
            strips.push_back(SDL_Rect{static_cast<Sint16>(first), static_cast<Sint16>(top),
                                      static_cast<Uint16>(last - first + 1), static_cast<Uint16>(rows)});
    }
    if (locked) SDL_UnlockSurface(picture);
    return strips;
}

void blitStrips(SDL_Surface* picture, const CaptionCache::Strips& strips, SDL_Surface* target, SDL_Rect at) {
    for (const SDL_Rect& strip : strips) {
        const int x = at.x + strip.x;
        const int y = at.y + strip.y;
        // Past the largest coordinate a blit takes, a strip lies beyond any
        // target too.
        if (x > INT16_MAX || y > INT16_MAX) continue;
        SDL_Rect source = strip;
        SDL_Rect place{static_cast<Sint16>(x), static_cast<Sint16>(y), 0, 0};
        SDL_UpperBlit(picture, &source, target, &place);
    }
}

} // namespace Render
