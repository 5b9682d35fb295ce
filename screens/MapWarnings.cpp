#include "screens/MapWarnings.h"

#include "core/Format.h"
#include "core/ValueFormat.h"
#include "guidance/Sensors.h"
#include "ui/BgRenderers.h"
#include "ui/ClickBehaviors.h"
#include "ui/fdInterface.h"
#include "ui/fdStatic.h"

#include <array>
#include <cstdlib>

namespace Screens {

namespace {

template <class T> T* childOf(Ui::fdWindowBase& window, const std::string& name) {
    auto* child = dynamic_cast<T*>(window.findChild(name));
    if (child == nullptr && window.ui() != nullptr)
        window.ui()->logMissingOnce("Widget " + name + " is not part of " + window.name());
    return child;
}

// A picture the list holds; a short list means the design lacks it.
bool hasPicture(Ui::fdMultiStatic* image, std::int32_t picture) {
    return image != nullptr && picture >= 0 && static_cast<std::size_t>(picture) < image->images().size();
}

void setPicture(Ui::fdMultiStatic& image, std::int32_t picture) {
    if (image.current() != picture) {
        image.setCurrent(picture);
        image.invalidate(0);
    }
}

void setText(Ui::fdStatic* label, const std::u16string& text, std::uint32_t colour) {
    // Unchanged, it costs the map page no frame.
    if (label == nullptr || (label->text() == text && label->textColors() == Ui::ColourPair{colour, colour}))
        return;
    label->setText(text);
    label->setTextColor(Ui::ColourPair{colour, colour});
    label->invalidate(0);
}

void setIcon(Ui::fdStatic* image, Render::Image* icon) {
    if (image == nullptr || image->material().image == icon)
        return;
    image->setImage(icon);
    image->invalidate(0);
}

} // namespace

std::int32_t maneuverPicture(std::uint32_t type) {
    // Index = type; -1 keeps the shown picture. Pictures 10 and 11 are
    // unused, 4 is the off-route picture.
    static constexpr std::array<std::int8_t, 34> Table{-1, 0,  1,  5,  5,  6,  6,  7,  5,  5,  5,  5,
                                                       5,  5,  5,  5,  5,  2,  3,  5,  8,  9,  15, 16,
                                                       17, 18, 19, 20, 12, 13, 14, 21, 22, 23};
    return type < Table.size() ? Table[type] : -1;
}

std::int32_t speedPicture(std::uint32_t speed) {
    if (speed == 0)
        return 12;
    const std::uint32_t index = (speed * 36u + 50u) / 1000u;
    return index > 11u ? 12 : static_cast<std::int32_t>(index);
}

ManeuverWarn::ManeuverWarn(const Ui::TemplateDescription& description, Ui::fdWindowBase* parent,
                           Ui::fdInterface* ui, Ui::DesignContext* context, const Core::MessageTable& messages)
    : TemplateWindow(description, parent, "maneuver", ui, context), m_messages(messages) {
    m_image = childOf<Ui::fdMultiStatic>(*this, "rotate_image");
    m_text = childOf<Ui::fdStatic>(*this, "rotate_textbox");
    m_exit = dynamic_cast<Ui::fdStatic*>(findChild("rotate_exit"));
    if (m_image != nullptr)
        m_image->setBehavior(std::make_unique<Ui::OnClickBehavior>(m_image));
}

bool ManeuverWarn::show(std::uint32_t type, std::int32_t metres, std::uint32_t exit) {
    const std::int32_t picture = maneuverPicture(type);
    // The same distance as the sensor's, in a driver's steps; the label is
    // set once, so an unchanged distance costs the map page no frame.
    const bool shown =
        showPicture(picture < 0 && m_image != nullptr ? m_image->current() : picture,
                    Guidance::turnDistanceText(m_messages, static_cast<std::uint32_t>(std::max(metres, 0))));
    if (m_exit != nullptr) {
        const std::u16string text = exit != 0 ? Core::format(u"%u", exit) : std::u16string();
        if (text != m_exit->text()) {
            m_exit->setText(text);
            m_exit->invalidate(0);
        }
    }
    return shown;
}

bool ManeuverWarn::showOffRoute(std::int32_t metres) {
    if (m_exit != nullptr && !m_exit->text().empty()) {
        m_exit->setText(u"");
        m_exit->invalidate(0);
    }
    return showPicture(OffRoutePicture, Core::formatDistance(m_messages, metres, false));
}

bool ManeuverWarn::showPicture(std::int32_t picture, const std::u16string& distance) {
    if (!hasPicture(m_image, picture)) {
        setVisible(false);
        return false;
    }
    setVisible(true);
    setPicture(*m_image, picture);
    setText(m_text, distance, 0xFFFFFFFFu);
    return true;
}

fdPoiWarn::fdPoiWarn(const Ui::TemplateDescription& description, Ui::fdWindowBase* parent, Ui::fdInterface* ui,
                     Ui::DesignContext* context, const Core::MessageTable& messages)
    : TemplateWindow(description, parent, "poiwarn", ui, context), m_messages(messages) {
    m_image = childOf<Ui::fdStatic>(*this, "poi_image");
    m_text = childOf<Ui::fdStatic>(*this, "poi_textbox");
    // Style icons come in any size: the picture is stretched to the box.
    if (m_image != nullptr && (m_image->bgRenderer() == nullptr || m_image->bgRenderer()->kind() != 2))
        m_image->setBgRenderer(std::make_unique<Ui::StretchedImageBgRenderer>(m_image->rect().w, m_image->rect().h));
}

void fdPoiWarn::show(Render::Image* icon, std::int32_t metres) {
    setVisible(true);
    setText(m_text, Core::formatDistance(m_messages, std::abs(metres), false),
            metres > 0 ? AheadColour : 0xFFFFFFFFu);
    setIcon(m_image, icon);
}

ProximityWarn::ProximityWarn(const Ui::TemplateDescription& description, Ui::fdWindowBase* parent,
                             Ui::fdInterface* ui, Ui::DesignContext* context, const Core::MessageTable& messages)
    : TemplateWindow(description, parent, "proximity", ui, context), m_messages(messages) {
    m_type = childOf<Ui::fdStatic>(*this, "type_image");
    m_speed = childOf<Ui::fdMultiStatic>(*this, "speed_image");
    m_distance = childOf<Ui::fdStatic>(*this, "distance_label");
}

bool ProximityWarn::show(const Map::Proximity::ProximityEvent& event, Render::Image* icon) {
    const std::int32_t picture = speedPicture(event.point.speedLimit());
    if (!hasPicture(m_speed, picture)) {
        setVisible(false);
        return false;
    }
    setVisible(true);
    setIcon(m_type, icon);
    setPicture(*m_speed, picture);
    setText(m_distance,
            Core::formatDistance(m_messages, static_cast<std::int32_t>(event.distanceDecimetres() / 10u), false),
            event.overSpeed() ? WarningColour : 0xFFFFFFFFu);
    return true;
}

} // namespace Screens
