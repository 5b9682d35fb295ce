#pragma once
// The parsed design (skin): fonts, cursors, materials, window templates,
// pages and a few extra values, read from the design file in two passes.
// The preview pass (before the video mode is set) reads the extras only;
// the full pass reads everything. Page descriptions are released once the
// pages are built; templates live on (list rows and keyboards use them).

#include "ui/DesignTypes.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace Ui {

class fdInterface;
class fdPage;

struct DesignExtras {
    std::string captionFont;
    std::int32_t stockLength = 0;
    std::int32_t alpha = 0;
    // 0x00BBGGRR; 0 when the value does not parse.
    std::uint32_t backgroundColour = 0;
    std::int32_t width = 0, height = 0;
    bool big = false;
    std::int32_t angle = 0;
    std::int32_t fingerTapDistance = 0;
    float rotationPushDelta = 1.2f;
    float scalePushDelta = 0.8f;
    float scaleFixedDelta = 1.4f;
};

struct DesignDescription {
    struct Font {
        std::string name;
        std::u16string source;
        std::int32_t size = 0;
        std::int32_t style = 0;
    };
    struct Cursor {
        std::string name, image;
        std::int32_t x = 0, y = 0;
    };
    struct MaterialRecord {
        std::string name, image;
        std::int32_t left = 0, top = 0, right = 0, bottom = 0;
        bool horizontalTile = false, verticalTile = false;
    };

    DesignExtras extras;
    std::vector<Font> fonts;
    std::vector<Cursor> cursors;
    std::vector<MaterialRecord> materials;
    std::map<std::string, std::unique_ptr<TemplateDescription>> templates;
    std::map<std::string, std::unique_ptr<PageDescription>> pages;
    std::string systemFont;
};

// The version this program reads.
inline constexpr const char* DesignVersion = "1.30";

// Reads the design file's text into the description (replacing what it
// held). A big design doubles its font sizes along with its rectangles. False after a Critical log line when the text is no XML, the
// root "design" is missing, its version is not exactly "1.30" ("Design
// version attribute not found", "Incompatible design version: %s when %s is
// required"), or a required element or attribute is missing ("Invalid
// design: missing %s").
bool readDesign(std::string text, bool full, DesignDescription& out);

class KeyboardLayouts;

// The layouts file at path, checked against the design's templates; false
// (logged, the collection left empty) when it does not open or is invalid.
bool loadKeyboardLayouts(const std::u16string& path, const DesignDescription& design, KeyboardLayouts& layouts);

// readDesign, then in the full pass the keyboard layouts file.
bool readTheme(std::string designText, bool full, const std::u16string& layoutsPath, DesignDescription& out,
               KeyboardLayouts& layouts);

// Registration with the interface, in record order; false at the first
// record that fails.
bool initFonts(const DesignDescription& design, fdInterface& ui);
bool loadCursors(const DesignDescription& design, fdInterface& ui);
bool loadMaterials(const DesignDescription& design, fdInterface& ui);

// Builds a page from the description of its name; false (logged) when the
// design has no such page.
bool buildPage(fdPage& page, const DesignDescription& design);

// After every page was built: pages go, templates stay.
inline void releaseDesignDescriptions(DesignDescription& design) { design.pages.clear(); }

} // namespace Ui
