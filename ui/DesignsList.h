#pragma once
// designs.xml: the designs available, one per screen size, each naming its
// design file, buttons file and keyboard layouts file (relative to the data
// folder). At start-up the entry that suits the screen and the orientation
// is chosen and its buttons file read.
//
//   <designs>
//     <design width="800" height="480" design_file="designs/800x480/design.xml"
//             buttons_file="designs/800x480/buttons.xml" kb_layouts_file="designs/kb_layouts.xml"/>
//   </designs>

#include "core/ConfigNode.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Ui {

class ButtonBindings;

struct DesignEntry {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::u16string designFile;
    std::u16string buttonsFile;
    std::u16string keyboardLayoutsFile;
};

class DesignsList {
public:
    // Throws std::runtime_error "Invalid designs list format" (no root
    // "designs", or a design lacking one of its five attributes),
    // "Duplicates in designs list file" (a size seen before), or the
    // parser's complaint for text that is no XML.
    void loadText(std::string text);

    struct Choice {
        const DesignEntry* entry = nullptr;
        std::int32_t angle = 0;
    };
    // The exact size (turned for an odd multiple of 90 degrees), else the
    // largest that fits; on a turned screen the unturned size may win with
    // angle 0. No entry after logging "No design was found for the screen
    // %d x %d (%d)".
    Choice choose(std::int32_t screenWidth, std::int32_t screenHeight, std::int32_t angle) const;

    const std::vector<DesignEntry>& entries() const { return m_entries; }

private:
    std::vector<DesignEntry> m_entries;
};

// A screen side the display did not report: every design fits within it,
// and the log says the size was not reported rather than show the number.
inline constexpr std::int32_t UnreportedScreenSide = 0x1FFFFFFF;

// The start-up step: orientation from "straight_orientation", designs.xml
// from the data folder, the choice for the screen, the chosen files into
// the bindings and the buttons file read. False after logging on any
// failure (a malformed list included).
bool chooseDesign(const Core::ConfigNodePtr& config, std::u16string_view dataFolder, std::int32_t screenWidth,
                  std::int32_t screenHeight, ButtonBindings& bindings);

} // namespace Ui
