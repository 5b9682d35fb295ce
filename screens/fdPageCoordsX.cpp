#include "screens/fdPageCoordsX.h"

#include "core/Format.h"
#include "core/MessageTable.h"
#include "map/Projection.h"
#include "screens/SearchCallbacks.h"
#include "screens/fdPageMap.h"
#include "ui/Keyboard.h"
#include "ui/MessageBoxText.h"
#include "ui/fdInterface.h"
#include "ui/fdLabel.h"

#include <SDL/SDL_keysym.h>

#include <cmath>

namespace Screens {

namespace {

constexpr std::array<const char*, 6> kBoxes{"lat_deg_box", "lat_min_box", "lat_sec_box",
                                            "lon_deg_box", "lon_min_box", "lon_sec_box"};
constexpr std::array<const char*, 6> kBoxLabels{"lat_deg_label", "lat_min_label", "lat_sec_label",
                                                "lon_deg_label", "lon_min_label", "lon_sec_label"};

// The digit of a "key<d>" command; nothing for any other command.
std::optional<std::int32_t> digitOf(const std::string& name) {
    if (name.size() != 4 || name.compare(0, 3, "key") != 0 || name[3] < '0' || name[3] > '9') return std::nullopt;
    return name[3] - '0';
}

bool onGlobe(float latitude, float longitude) {
    return std::fabs(latitude) <= 90.0f && std::fabs(longitude) <= 180.0f;
}

} // namespace

std::u16string CoordsPageBase::message(const char* name) const {
    return m_messages ? m_messages->text(name) : std::u16string();
}

void CoordsPageBase::setLabel(const char* name, const std::u16string& text) {
    if (auto* label = dynamic_cast<Ui::fdLabel*>(findChild(name))) {
        label->setText(text);
        if (label == m_cursor) label->setCaret(0, static_cast<std::int32_t>(text.size()));
    }
}

void CoordsPageBase::moveCursor(const char* name) {
    if (m_cursor) m_cursor->showCaret(false);
    m_cursor = dynamic_cast<Ui::fdLabel*>(findChild(name));
    if (m_cursor) {
        m_cursor->setLinesMode(1);
        m_cursor->setCaret(0, static_cast<std::int32_t>(m_cursor->text().size()));
        m_cursor->showCaret(true);
    }
}

const char* chosenCoordsPage(const Ui::fdInterface& ui) {
    const auto* decimal = dynamic_cast<const CoordsPageBase*>(ui.findPage("pageSearchCoordsAlt"));
    return decimal != nullptr && decimal->chosen() ? "pageSearchCoordsAlt" : "pageSearchCoords";
}

void CoordsPageBase::onShow() {
    m_chosen = true;
    if (auto* other = dynamic_cast<CoordsPageBase*>(ui()->findPage(otherPage())))
        other->m_chosen = false;
    selectFirst();
    refreshLabels();
    invalidate(0);
}

void CoordsPageBase::showOnMap() {
    const std::optional<Map::GeoPoint> geo = position();
    if (!geo) {
        // A position off the globe never reaches the map.
        if (!m_messageBox) {
            m_messageBox = Ui::createTemplateWindow(*this, "mb_ok", "mb");
            if (m_messageBox) Ui::setMessageText(*m_messageBox, message("coords_out_of_range"));
        }
        return;
    }
    showOnMapPage(ui(), Map::Projection::fromGeo(geo->latitude, geo->longitude), true, positionText());
}

void CoordsPageBase::closeMessageBox() {
    if (!m_messageBox) return;
    Ui::removeTemplateWindow(*this, m_messageBox);
    invalidate(0);
}

void CoordsPageBase::childClicked(const std::string& name) {
    if (handleCommonCommand(name))
        return;
    if (name == "menu") {
        ui()->activatePage(ui()->findPage("menuMain"));
    } else if (name == "ok") {
        showOnMap();
        return;
    } else if (name == "mb") {
        closeMessageBox();
        return;
    } else if (name == "keyLat") {
        north = !north;
    } else if (name == "keyLon") {
        east = !east;
    } else if (name == "switch") {
        ui()->activatePage(ui()->findPage(otherPage()));
        return;
    } else if (!pageCommand(name)) {
        return;
    }
    refreshLabels();
    invalidate(0);
}

bool CoordsPageBase::keyDown(int key) {
    if (key == SDLK_ESCAPE) {
        childClicked("back");
        return true;
    }
    int digit = -1;
    if (key >= SDLK_0 && key <= SDLK_9)
        digit = key - SDLK_0;
    else if (key >= SDLK_KP0 && key <= SDLK_KP9)
        digit = key - SDLK_KP0;
    if (digit >= 0) {
        childClicked("key" + std::to_string(digit));
        return true;
    }
    if (!keyCommand(key)) return false;
    refreshLabels();
    invalidate(0);
    return true;
}

fdPageCoordsX::fdPageCoordsX(Ui::fdInterface* ui, const Core::MessageTable* messages)
    : CoordsPageBase(ui, "pageSearchCoords", messages) {}

std::optional<Map::GeoPoint> fdPageCoordsX::position() const {
    if (values[0] > 90 || values[3] > 180) return std::nullopt;
    for (std::int32_t box : {1, 2, 4, 5})
        if (values[std::size_t(box)] < 0 || values[std::size_t(box)] >= 60) return std::nullopt;
    float latitude = float(values[0]) + float(values[1]) * 0.016666668f + float(values[2]) * 0.00027777778f;
    float longitude = float(values[3]) + float(values[4]) * 0.016666668f + float(values[5]) * 0.00027777778f;
    if (!north) latitude = -latitude;
    if (!east) longitude = -longitude;
    if (!onGlobe(latitude, longitude)) return std::nullopt;
    return Map::GeoPoint{latitude, longitude};
}

std::u16string fdPageCoordsX::positionText() const {
    return Core::format(u"%s %d\u00B0 %d' %d\" %s %d\u00B0 %d' %d\"",
                        message(north ? "coords_north" : "coords_south"), values[0], values[1], values[2],
                        message(east ? "coords_east" : "coords_west"), values[3], values[4], values[5]);
}

void fdPageCoordsX::typeDigit(std::int32_t digit) {
    const std::int32_t limit = current == 0 ? 90 : current == 3 ? 180 : 60;
    std::int64_t n = std::int64_t(values[std::size_t(current)]) * 10 + digit;
    // Leading digits are dropped until the value fits.
    while (n >= limit) {
        std::int64_t power = 1;
        while (power < n)
            power *= 10;
        n = power >= 10 ? n % (power / 10) : 0;
    }
    values[std::size_t(current)] = static_cast<std::int32_t>(n);
}

void fdPageCoordsX::select(std::int32_t box) {
    current = box;
    moveCursor(kBoxLabels[std::size_t(box)]);
}

void fdPageCoordsX::refreshLabels() {
    setLabel("lat_deg_label", Core::format(u"%s %d\u00B0", message(north ? "coords_north" : "coords_south"), values[0]));
    setLabel("lat_min_label", Core::format(u"%d'", values[1]));
    setLabel("lat_sec_label", Core::format(u"%d\"", values[2]));
    setLabel("lon_deg_label", Core::format(u"%s %d\u00B0", message(east ? "coords_east" : "coords_west"), values[3]));
    setLabel("lon_min_label", Core::format(u"%d'", values[4]));
    setLabel("lon_sec_label", Core::format(u"%d\"", values[5]));
}

bool fdPageCoordsX::pageCommand(const std::string& name) {
    for (std::size_t box = 0; box < kBoxes.size(); ++box)
        if (name == kBoxes[box]) {
            select(static_cast<std::int32_t>(box));
            return true;
        }
    if (const auto digit = digitOf(name)) {
        typeDigit(*digit);
        return true;
    }
    return false;
}

fdPageCoordsAltX::fdPageCoordsAltX(Ui::fdInterface* ui, const Core::MessageTable* messages)
    : CoordsPageBase(ui, "pageSearchCoordsAlt", messages) {}

std::optional<Map::GeoPoint> fdPageCoordsAltX::position() const {
    auto degrees = [](const Decimal& d) {
        return float(d.degrees) + float(d.fraction) / float(std::pow(10.0, d.digits));
    };
    float lat = degrees(latitude), lon = degrees(longitude);
    if (!north) lat = -lat;
    if (!east) lon = -lon;
    if (!onGlobe(lat, lon)) return std::nullopt;
    return Map::GeoPoint{lat, lon};
}

void fdPageCoordsAltX::typeDigit(std::int32_t digit) {
    Decimal& d = field();
    if (d.point) {
        if (d.digits < 6) {
            ++d.digits;
            d.fraction = d.fraction * 10 + digit;
        }
        return;
    }
    const std::int32_t limit = current == 0 ? 90 : 180;
    if (d.degrees * 10 + digit < limit) d.degrees = d.degrees * 10 + digit;
}

void fdPageCoordsAltX::typeDot() {
    Decimal& d = field();
    if (d.point) return;
    d.point = true;
    d.fraction = d.digits = 0;
}

void fdPageCoordsAltX::backspace() {
    Decimal& d = field();
    if (d.digits > 0) {
        d.fraction /= 10;
        --d.digits;
    } else if (d.point) {
        d.point = false;
    } else {
        d.degrees /= 10;
    }
}

std::u16string fdPageCoordsAltX::labelText(const Decimal& value, bool positive, const char* plus,
                                           const char* minus) const {
    std::u16string text = Core::format(u"%s %d", message(positive ? plus : minus), value.degrees);
    if (value.point) {
        if (value.digits == 0)
            text += u".";
        else
            text += Core::format(Core::format(u".%%0%dd", value.digits), value.fraction);
    }
    return text + u"\u00B0";
}

std::u16string fdPageCoordsAltX::positionText() const {
    return labelText(latitude, north, "coords_north", "coords_south") + u" " +
           labelText(longitude, east, "coords_east", "coords_west");
}

bool fdPageCoordsAltX::keyCommand(int key) {
    if (key == SDLK_PERIOD || key == SDLK_KP_PERIOD)
        typeDot();
    else if (key == SDLK_BACKSPACE)
        backspace();
    else
        return false;
    return true;
}

void fdPageCoordsAltX::refreshLabels() {
    setLabel("lat_label", labelText(latitude, north, "coords_north", "coords_south"));
    setLabel("lon_label", labelText(longitude, east, "coords_east", "coords_west"));
}

void fdPageCoordsAltX::select(std::int32_t which) {
    current = which;
    moveCursor(which == 0 ? "lat_label" : "lon_label");
}

bool fdPageCoordsAltX::pageCommand(const std::string& name) {
    if (name == "lat_box") {
        select(0);
    } else if (name == "lon_box") {
        select(3);
    } else if (name == "dot") {
        typeDot();
    } else if (name == "bs") {
        backspace();
    } else if (const auto digit = digitOf(name)) {
        typeDigit(*digit);
    } else {
        return false;
    }
    return true;
}

} // namespace Screens
