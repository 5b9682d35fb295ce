#pragma once
// The GPS information page ("pageGPS"): a status LED, speed, altitude,
// HDOP, latitude, longitude, the local time and date of the last fix, and a
// sky plot of the satellites (SatellitesMap). It reads the positioning
// system on every tick and changes nothing in it. The LED follows the
// receiver's port: lit with a fix, blinking while the open port gives none,
// off when the receiver is off or its port is gone (its last fix then shows
// no more either).

#include "ui/fdPage.h"

#include <cstdint>
#include <memory>
#include <string>

namespace Core {
class ConfigNode;
class MessageTable;
} // namespace Core
namespace Positioning {
class System;
struct Satellite;
} // namespace Positioning
namespace Ui {
class fdMultiStatic;
}

namespace Screens {

// The sky plot: north up, east right, the zenith at the centre and the
// horizon at the rectangle's edge; satellites used in the fix are yellow,
// the others white, larger with a stronger signal, and only while the
// receiver is active (its port open). The rings and compass behind it come
// from the design.
class SatellitesMap final : public Ui::fdWindowBase {
  public:
    SatellitesMap(Ui::fdWindowBase* parent, std::string name, Ui::fdInterface* ui,
                  const Positioning::System* gps);

    Ui::TimerPeriod timerPeriod() const override { return Ui::TimerPeriod::every(1000); }
    void tick(std::uint32_t now) override;
    void draw(SDL_Surface* surface, TempSurface& clip, bool force) override;

    struct Disc {
        std::int32_t x = 0;
        std::int32_t y = 0;
        std::int32_t radius = 0;
        bool used = false;
    };
    // Where a satellite is drawn within a rectangle.
    static Disc place(const Ui::WindowRect& rect, const Positioning::Satellite& satellite, bool used);

  private:
    const Positioning::System* m_gps;
};

class fdPageGPSX final : public Ui::fdPage {
  public:
    // gps may be null (no receiver: the page shows the switched-off state).
    // The coordinates without a fix read the message "gps_no_fix" (none: an
    // empty text).
    fdPageGPSX(Ui::fdInterface* ui, std::shared_ptr<Core::ConfigNode> config, const Positioning::System* gps,
               const Core::MessageTable* messages = nullptr);

    void createCustom(const Ui::CustomCreator& creator) override;
    void afterBuild() override;
    // Every 500 ms (the LED blinks at half a second), sooner when a widget
    // asks.
    Ui::TimerPeriod timerPeriod() const override;
    void tick(std::uint32_t now) override;
    bool keyDown(int key) override;
    void childClicked(const std::string& name) override;

    // The coordinate style of a position_format value: its remainder by 4,
    // taken non-negative.
    static int coordinateStyle(int positionFormat);

  private:
    void update();
    void setText(const char* name, const std::u16string& text);
    void setLed(std::int32_t state);

    std::shared_ptr<Core::ConfigNode> m_config;
    const Positioning::System* m_gps;
    const Core::MessageTable* m_messages;
    Ui::fdMultiStatic* m_led = nullptr;
    std::int32_t m_phase = 0;
};

} // namespace Screens
