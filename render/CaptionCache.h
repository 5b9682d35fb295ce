#pragma once
// Keeps the drawn (and turned) pictures of captions from one frame to the
// next. A moving map draws the same names at the same angles frame after
// frame; drawing a text with its halo and turning it costs more than the
// blit. A picture unused for a whole frame is dropped, and the pictures
// kept never exceed a byte budget, so the memory stays that of about one
// frame's captions.

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace Render {

class CaptionCache {
  public:
    // Everything that decides a caption's picture.
    struct Key {
        std::u16string text;
        const void* font = nullptr;
        std::int32_t fontStyle = 0;
        std::int32_t width = 0; // the text's measured size
        std::int32_t height = 0;
        std::uint32_t textColour = 0;
        std::uint32_t haloColour = 0;
        float sine = 0.0f; // the turn; 0 and 1 for level text
        float cosine = 1.0f;
        bool operator==(const Key&) const = default;
    };

    struct SurfaceFree {
        void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
    };
    using Picture = std::unique_ptr<SDL_Surface, SurfaceFree>;

    explicit CaptionCache(std::size_t budgetBytes = kDefaultBudget) : m_budget(budgetBytes) {}

    // Starts a frame: the pictures not used during the last one go.
    void startFrame();
    // Drops every picture.
    void clear();
    // The rectangles of a kept picture, each a strip of rows cut to the
    // columns where they hold pixels of some opacity: blitting them alone
    // draws what the whole picture draws (a pixel of alpha 0 leaves the
    // target alone), while a turned name fills a small part of its box.
    using Strips = std::vector<SDL_Rect>;

    // The picture of key, or null; marks it used in this frame. With
    // `strips`, also the picture's strips.
    SDL_Surface* find(const Key& key, const Strips** strips = nullptr);
    // Takes the picture of key out of `picture` and returns it; null, with
    // `picture` left to the caller, when it would pass the budget. With
    // `strips`, also the picture's strips.
    SDL_Surface* keep(const Key& key, Picture& picture, const Strips** strips = nullptr);

    // Rows per strip: fewer blits against fewer clear pixels blended.
    static constexpr int kStripRows = 8;

    std::size_t bytes() const { return m_bytes; }
    std::size_t size() const { return m_entries.size(); }

    static constexpr std::size_t kDefaultBudget = 4u << 20;

  private:
    struct KeyHash {
        std::size_t operator()(const Key& k) const;
    };
    struct Entry {
        Picture picture;
        Strips strips;
        std::size_t bytes = 0;
        std::uint32_t frame = 0;
    };

    std::unordered_map<Key, Entry, KeyHash> m_entries;
    std::size_t m_budget;
    std::size_t m_bytes = 0;
    std::uint32_t m_frame = 0;
};

// Blits a kept picture's strips to `at` of the target, as SDL_BlitSurface
// would blit the whole picture there.
void blitStrips(SDL_Surface* picture, const CaptionCache::Strips& strips, SDL_Surface* target, SDL_Rect at);

// The strips of a picture (see CaptionCache::Strips); a picture without an
// alpha channel is one strip of its whole size.
CaptionCache::Strips stripsOf(SDL_Surface* picture);

} // namespace Render
