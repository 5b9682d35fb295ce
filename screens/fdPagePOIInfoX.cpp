#include "screens/fdPagePOIInfoX.h"

#include "core/Format.h"
#include "core/MessageTable.h"
#include "core/Text.h"
#include "map/proximity/Queries.h"
#include "render/RenderStyles.h"
#include "screens/MapPointLookup.h"
#include "screens/SearchCallbacks.h"
#include "screens/fdPageMap.h"
#include "ui/BgRenderers.h"
#include "ui/MessageBoxText.h"
#include "ui/fdButtonX.h"
#include "ui/fdInterface.h"
#include "ui/fdLabel.h"
#include "ui/fdStatic.h"
#include "userdata/CategorizedWayPointsProvider.h"

#include <SDL/SDL_keysym.h>

namespace Screens {

fdPagePOIInfoX::fdPagePOIInfoX(Ui::fdInterface* ui, const Core::MessageTable* messages, Render::RenderStyles* styles)
    : fdPage(ui, "pagePOIInfo", nullptr), m_messages(messages), m_styles(styles) {}

void fdPagePOIInfoX::afterBuild() {
    m_image = dynamic_cast<Ui::fdStatic*>(widget("poi_img"));
    // The icon as large as the widget holds it sharp: a whole factor of its
    // size (the type icons are small pictures; stretched to the widget's
    // size their pixels came out of uneven sizes).
    if (m_image && (!m_image->bgRenderer() || m_image->bgRenderer()->kind() != 6))
        m_image->setBgRenderer(std::make_unique<Ui::WholeScaleImageBgRenderer>());
    // Values in the labels' own colours; "not known" in the look of the
    // web button that has nothing to open, on every row alike.
    for (const char* name : NoDataLabels)
        if (const Ui::fdWindowBase* label = findChild(name))
            m_valueColours[name] = label->textColors();
    if (auto* web = dynamic_cast<Ui::fdButtonX*>(findChild("url_button")); web && web->look(2).colours != Ui::ColourPair{})
        m_noDataColours = web->look(2).colours;
}

std::u16string fdPagePOIInfoX::orNoData(const std::u16string& text) const {
    if (!text.empty() || !m_messages) return text;
    return m_messages->text("poi_info_no_data");
}

void fdPagePOIInfoX::setText(const char* name, const std::u16string& text) {
    if (auto* widget = dynamic_cast<Ui::fdStatic*>(findChild(name))) {
        if (const auto own = m_valueColours.find(name); own != m_valueColours.end())
            widget->setTextColor(text.empty() && m_noDataColours ? *m_noDataColours : own->second);
        // A label of several lines (the name, the comment) shows a long text
        // on as many lines as its width needs rather than cut at its sides.
        auto* label = dynamic_cast<Ui::fdLabel*>(widget);
        if (label && label->linesMode() != 1)
            widget->setText(Ui::wrapText(*label, orNoData(text), label->rect().w));
        else
            widget->setText(orNoData(text));
        widget->invalidate(0);
    }
}

void fdPagePOIInfoX::setLinkTarget(const std::u16string& web) {
    if (auto* button = dynamic_cast<Ui::fdButtonX*>(findChild("url_button"))) {
        button->setLink(Core::wideToUtf8(web));
        // Without an address the button leads nowhere: it looks so.
        button->setEnabled(!web.empty());
        button->invalidate(0);
    }
}

void fdPagePOIInfoX::setName(const std::u16string& name, const std::u16string& typeName) {
    if (!name.empty() && !typeName.empty())
        setText("text_name", name + u" (" + typeName + u")");
    else
        setText("text_name", name.empty() ? typeName : name);
}

void fdPagePOIInfoX::setLink(const std::u16string& web) {
    setText("url_button", web);
    setLinkTarget(web);
}

void fdPagePOIInfoX::setIcon(Render::Image* image) {
    if (!m_image) return;
    m_image->setImage(image);
    m_image->invalidate(0);
}

void fdPagePOIInfoX::fillMapObject(const MapObject& object) {
    m_point = object.point;
    const Render::PoiStyle* style = m_styles ? m_styles->poiStyle(object.type) : nullptr;
    setIcon(style ? style->icon : nullptr);
    setName(object.name, style ? style->name : std::u16string());
    std::u16string address = object.address[0];
    for (int i = 1; i < 3; ++i)
        if (!object.address[i].empty()) address += (address.empty() ? u"" : u" ") + object.address[i];
    setText("text_address", address);
    setText("text_phone", object.phone);
    setText("text_mail", object.mail);
    setText("text_comment", object.comment);
    setLink(object.web);
    hasObject = true;
}

void fdPagePOIInfoX::fillWaypoint(Map::CategorizedWayPointsProvider& provider, std::size_t index) {
    if (index >= provider.pointCount()) return;
    const ::WayPoint& point = provider.point(index);
    m_point = point.position;
    setIcon(provider.pointImage(index));
    const Render::PoiStyle* style = m_styles ? m_styles->poiStyle(point.type) : nullptr;
    setName(point.name, style ? style->name : std::u16string());
    for (const char* name : {"text_address", "text_phone", "text_mail"})
        setText(name, u"");
    setLink(point.url);
    setText("text_comment", point.comment);
    hasObject = true;
}

std::u16string fdPagePOIInfoX::dangerComment(const Map::Proximity::Point& point) const {
    const std::u16string degree = m_messages ? m_messages->text("degree") : std::u16string();
    std::u16string text;
    switch (point.directionKind()) {
    case 1:
        text = u"односторонний обзор" + Core::format(u", %d%s", point.direction(), degree);
        break;
    case 2:
        text = u"двухсторонний обзор" + Core::format(u", %d%s", point.direction(), degree);
        break;
    default:
        text = u"круговой обзор";
        break;
    }
    if (point.speedLimit() != 0)
        text += Core::format(u", %d %s", (point.speedLimit() * 36 + 50) / 100,
                             m_messages ? m_messages->text("speed_kph") : std::u16string());
    return text;
}

void fdPagePOIInfoX::fillDangerPoint(const Map::Proximity::Point& point) {
    m_point = {point.x, point.y};
    const std::uint16_t type = Map::Proximity::poiTypeOf(point.kind(), point.speedLimit());
    const Render::PoiStyle* style = m_styles ? m_styles->poiStyle(type) : nullptr;
    setIcon(style ? style->icon : nullptr);
    setText("text_name", style ? style->name : std::u16string());
    for (const char* name : {"text_address", "text_phone", "text_mail", "url_button"})
        setText(name, u"");
    setLinkTarget({});
    setText("text_comment", dangerComment(point));
    hasObject = true;
}

fdPagePOIInfoX::MapObject fdPagePOIInfoX::mapObjectOf(const MapPointFind& find) {
    const auto& texts = find.address.texts;
    MapObject object;
    object.name = texts[0];
    object.address[0] = find.addressFirst();
    object.address[1] = texts[1];
    object.address[2] = texts[8];
    object.phone = texts[4];
    object.mail = texts[5];
    object.web = texts[6];
    object.comment = texts[7];
    object.type = find.address.number1;
    object.point = {static_cast<std::int32_t>(find.address.number2), static_cast<std::int32_t>(find.address.number3)};
    return object;
}

void fdPagePOIInfoX::fillFrom(const MapPointFind& find, Map::CategorizedWayPointsProvider* waypoints) {
    switch (find.kind) {
    case MapPointFind::Kind::Poi:
        fillMapObject(mapObjectOf(find));
        break;
    case MapPointFind::Kind::Waypoint:
        if (waypoints && find.waypoint >= 0)
            fillWaypoint(*waypoints, static_cast<std::size_t>(find.waypoint));
        else
            hasObject = false;
        break;
    case MapPointFind::Kind::DangerPoint:
        fillDangerPoint(find.danger);
        break;
    default:
        hasObject = false;
        break;
    }
}

void fdPagePOIInfoX::childClicked(const std::string& name) {
    if (name == "close" || name == "hide") {
        handleCommonCommand(name);
    } else if (name == "ok" || name == "back") {
        ui()->goBack();
    } else if (name == "to") {
        if (!hasObject) return;
        showOnMapPage(ui(), m_point, true);
    }
}

bool fdPagePOIInfoX::keyDown(int key) {
    if (key != SDLK_ESCAPE) return false;
    childClicked("back");
    return true;
}

} // namespace Screens
