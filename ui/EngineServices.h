#pragma once
// What the user interface needs of the engine, which lives in a higher
// folder: the quit flag, hiding to the tray, data paths, the day/night flag
// and the chosen design's size. The engine implements it and hands it to the
// interface object at start-up.

#include <cstdint>
#include <string>
#include <string_view>

namespace Ui {

struct DesignDescription;

class EngineServices {
public:
    virtual ~EngineServices() = default;
    // Page command "close": ends the main loop.
    virtual void setQuit() = 0;
    // Page command "hide": iconifies the program; false when the window
    // system refused.
    virtual bool hideToTray() = 0;
    // Draws the interface onto the screen and shows it at once, outside
    // the main loop's redraw (a page about to quit shows its last state).
    virtual void drawNow() {}
    // The data folder joined with a name; an absolute name is returned as it
    // stands.
    virtual std::u16string dataPath(std::u16string_view name) const = 0;
    // The display mode flag read at every draw (true = day).
    virtual bool isDay() const = 0;
    // The design's "big" flag: every design rectangle is doubled.
    virtual bool doubleSize() const = 0;
    // The design's display mode size (before doubling).
    virtual std::int32_t designWidth() const = 0;
    virtual std::int32_t designHeight() const = 0;
    // The design being read or built; null before the first read.
    virtual const DesignDescription* design() const = 0;
};

} // namespace Ui
