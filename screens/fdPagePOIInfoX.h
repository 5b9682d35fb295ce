#pragma once
// The POI information page ("pagePOIInfo"): what is known of the object at a
// point picked on the map (a point of interest of the map, a waypoint or a
// danger-warn point): icon, name, address, phone, e-mail, web link and
// comment, and a button that centres the map on it. The map page fills it
// at every point action; its has-object flag tells the map page whether to
// offer "info".

#include "map/Point.h"
#include "map/proximity/Point.h"
#include "ui/TxtRenderer.h"
#include "ui/fdPage.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace Core {
class MessageTable;
}
namespace Map {
class CategorizedWayPointsProvider;
}
namespace Render {
class Image;
class RenderStyles;
} // namespace Render
namespace Ui {
class fdStatic;
}

namespace Screens {

struct MapPointFind;

class fdPagePOIInfoX final : public Ui::fdPage {
  public:
    // A point of interest of a map as the map page reads it.
    struct MapObject {
        std::u16string name;
        // The first three are shown.
        std::u16string address[4];
        std::u16string phone, mail, web, comment;
        std::uint16_t type = 0;
        Map::Point point;
    };

    fdPagePOIInfoX(Ui::fdInterface* ui, const Core::MessageTable* messages, Render::RenderStyles* styles);

    void afterBuild() override;
    void childClicked(const std::string& name) override;
    // Escape leaves the page as "back" does.
    bool keyDown(int key) override;

    void fillMapObject(const MapObject& object);
    void fillWaypoint(Map::CategorizedWayPointsProvider& provider, std::size_t index);
    void fillDangerPoint(const Map::Proximity::Point& point);
    // What the map page's point action found: one of the fills, or the flag
    // cleared when nothing is there.
    void fillFrom(const MapPointFind& find, Map::CategorizedWayPointsProvider* waypoints);

    // The map object record of a point of interest's address texts.
    static MapObject mapObjectOf(const MapPointFind& find);
    // The comment of a danger point: its view and, with a limit, its speed.
    std::u16string dangerComment(const Map::Proximity::Point& point) const;

    bool hasObject = false;
    Map::Point point() const { return m_point; }

  private:
    // The labels that may show the no-data text.
    static constexpr const char* NoDataLabels[] = {"text_name", "text_address", "text_phone", "text_mail",
                                                   "text_comment"};

    std::u16string orNoData(const std::u16string& text) const;
    void setText(const char* name, const std::u16string& text);
    // "text_name" from a name and the type's caption.
    void setName(const std::u16string& name, const std::u16string& typeName);
    void setLink(const std::u16string& web);
    // The web button's link; the button is enabled only when there is one.
    void setLinkTarget(const std::u16string& web);
    void setIcon(Render::Image* image);

    const Core::MessageTable* m_messages;
    Render::RenderStyles* m_styles;
    Ui::fdStatic* m_image = nullptr;
    std::map<std::string, Ui::ColourPair> m_valueColours;
    std::optional<Ui::ColourPair> m_noDataColours;
    Map::Point m_point;
};

} // namespace Screens
