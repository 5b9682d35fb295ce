#pragma once
// Stand-ins for the map side of captions: texts by string offset, a 3D
// projection that keeps coordinates (or refuses marked points), and caption
// slots as a map's caption table would hold them.

#include "render/CaptionCandidates.h"
#include "render/CaptionTexts.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace RenderTest {

class FakeTexts : public Render::CaptionTexts {
  public:
    // Adds a text and returns its "offset".
    std::uint32_t add(const std::u16string& text) {
        const std::uint32_t offset = 100 + static_cast<std::uint32_t>(m_texts.size()) * 10;
        m_texts[offset] = text;
        return offset;
    }
    bool text(std::uint32_t offset, std::uint32_t, std::u16string& out) override {
        auto it = m_texts.find(offset);
        if (it == m_texts.end()) return false;
        out = it->second;
        return true;
    }

  private:
    std::map<std::uint32_t, std::u16string> m_texts;
};

// Level points are screen points already; points with x < 0 lie behind the
// camera.
class PlainProjection : public Render::CaptionProjection {
  public:
    bool project(std::uint32_t x, std::uint32_t y, xe::Point& screen) const override {
        const auto ix = static_cast<std::int32_t>(x), iy = static_cast<std::int32_t>(y);
        if (ix < 0) return false;
        screen = {ix, iy};
        return true;
    }
};

// A map's caption table: one record word and text reference per caption.
struct CaptionTable {
    struct Entry {
        std::uint32_t record = 0;
        std::uint32_t offset = 0;
        std::uint32_t length = 0;
    };
    std::vector<Entry> entries;

    explicit CaptionTable(std::size_t count) : entries(count) {}
    Render::CaptionSlot slot(std::size_t i) {
        return Render::CaptionSlot{&entries[i].record, entries[i].offset, entries[i].length};
    }
};

} // namespace RenderTest
