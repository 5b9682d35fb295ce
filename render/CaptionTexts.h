#pragma once
// Where caption texts come from: the strings section of the map whose
// captions are being drawn.

#include "map/file/StringsSectionReader.h"

#include <cstdint>
#include <string>

namespace Render {

class CaptionTexts {
  public:
    virtual ~CaptionTexts() = default;
    // The text at a string section offset; false when it cannot be read.
    virtual bool text(std::uint32_t offset, std::uint32_t byteLength, std::u16string& out) = 0;
};

// Captions of one map file.
class MapCaptionTexts : public CaptionTexts {
  public:
    explicit MapCaptionTexts(Map::File::StringsSectionReader& strings) : m_strings(strings) {}
    bool text(std::uint32_t offset, std::uint32_t, std::u16string& out) override {
        return m_strings.stringAt(offset, out);
    }

  private:
    Map::File::StringsSectionReader& m_strings;
};

} // namespace Render
