#pragma once
// The three warning windows of the map page: the next manoeuvre with its
// distance, the point of interest guidance warns about, and the nearest
// danger point with its speed limit. The page hides them at every tick and
// shows those that apply; each show makes its window visible, or leaves it
// hidden when the design lacks the picture it would need.

#include "core/MessageTable.h"
#include "map/proximity/Queries.h"
#include "ui/fdPage.h"

#include <cstdint>

namespace Render {
class Image;
}
namespace Ui {
class fdMultiStatic;
class fdStatic;
} // namespace Ui

namespace Screens {

// The picture of a manoeuvre type in the manoeuvre list; -1 for a type the
// table does not know (the shown picture then stays).
std::int32_t maneuverPicture(std::uint32_t type);
inline constexpr std::int32_t OffRoutePicture = 4;
// The picture of a speed limit in 0.1 m/s: its tens of km/h, rounded; 12
// (no limit) for 0 or beyond the list.
std::int32_t speedPicture(std::uint32_t speed);

class ManeuverWarn : public Ui::TemplateWindow {
public:
    ManeuverWarn(const Ui::TemplateDescription& description, Ui::fdWindowBase* parent, Ui::fdInterface* ui,
                 Ui::DesignContext* context, const Core::MessageTable& messages);
    // False (and hidden) when the picture is missing from the design.
    // exit: the roundabout's exit number, written on its picture ("rotate_exit",
    // where the design has it); 0 none.
    bool show(std::uint32_t type, std::int32_t metres, std::uint32_t exit = 0);
    bool showOffRoute(std::int32_t metres);

private:
    bool showPicture(std::int32_t picture, const std::u16string& distance);
    const Core::MessageTable& m_messages;
    Ui::fdMultiStatic* m_image = nullptr;
    Ui::fdStatic* m_text = nullptr;
    Ui::fdStatic* m_exit = nullptr;
};

class fdPoiWarn : public Ui::TemplateWindow {
public:
    fdPoiWarn(const Ui::TemplateDescription& description, Ui::fdWindowBase* parent, Ui::fdInterface* ui,
              Ui::DesignContext* context, const Core::MessageTable& messages);
    // metres > 0: ahead; 0 or less: just passed. icon: the style's, or null.
    void show(Render::Image* icon, std::int32_t metres);

    static constexpr std::uint32_t AheadColour = 0xFF66FFFFu;

private:
    const Core::MessageTable& m_messages;
    Ui::fdStatic* m_image = nullptr;
    Ui::fdStatic* m_text = nullptr;
};

class ProximityWarn : public Ui::TemplateWindow {
public:
    ProximityWarn(const Ui::TemplateDescription& description, Ui::fdWindowBase* parent, Ui::fdInterface* ui,
                  Ui::DesignContext* context, const Core::MessageTable& messages);
    // icon: the style of the point's POI type (poiTypeOf), or null. False
    // (and hidden) when the speed picture is missing from the design.
    bool show(const Map::Proximity::ProximityEvent& event, Render::Image* icon);

    static constexpr std::uint32_t WarningColour = 0xFF66FFFFu;

private:
    const Core::MessageTable& m_messages;
    Ui::fdStatic* m_type = nullptr;
    Ui::fdMultiStatic* m_speed = nullptr;
    Ui::fdStatic* m_distance = nullptr;
};

} // namespace Screens
