#include "screens/fdPageTrackingSettingsX.h"

#include "core/Format.h"
#include "core/MessageTable.h"
#include "ui/fdButtonX.h"
#include "ui/fdInterface.h"
#include "userdata/TrackFile.h"
#include "userdata/fdTrackManager.h"

namespace Screens {

namespace {

int cycle(int step, int delta) { return (step + delta + 6) % 6; }

} // namespace

int fdPageTrackingSettingsX::intervalStep(int milliseconds) {
    for (int i = 0; i < 6; ++i)
        if (milliseconds <= IntervalsMs[std::size_t(i)])
            return i;
    return 0;
}

int fdPageTrackingSettingsX::distanceStep(float metres) {
    for (int i = 0; i < 5; ++i)
        if (metres <= DistancesMetres[std::size_t(i)])
            return i;
    return 5;
}

fdPageTrackingSettingsX::fdPageTrackingSettingsX(Ui::fdInterface* ui, fdTrackManager* tracks,
                                                 const Core::MessageTable* messages)
    : fdPage(ui, "pageTrackingSettings", nullptr), m_tracks(tracks), m_messages(messages) {}

void fdPageTrackingSettingsX::afterBuild() {
    if (auto* box = dynamic_cast<Ui::fdStatic*>(findChild("colorBox")))
        box->setColor(trackPalette[0]);
}

void fdPageTrackingSettingsX::onShow() {
    if (m_tracks != nullptr) {
        m_intervalStep = intervalStep(m_tracks->interval());
        m_distanceStep = distanceStep(m_tracks->minDist());
        m_colourIndex = m_tracks->color() % trackPalette.size();
        m_size = foldSize(m_tracks->size());
        switch (m_tracks->state()) {
        case 0:
            m_rule = Rule::ByTime;
            break;
        case 1:
            m_rule = Rule::ByDistance;
            break;
        case 2:
            m_rule = Rule::EveryFix;
            break;
        default:
            m_rule = Rule::None;
        }
    }
    const std::pair<const char*, Rule> radios[] = {
        {"radio_per_sec", Rule::ByTime}, {"radio_per_meters", Rule::ByDistance}, {"radio_all", Rule::EveryFix}};
    for (const auto& [name, rule] : radios)
        if (auto* radio = dynamic_cast<Ui::fdCheckedButton*>(findChild(name)))
            radio->setChecked(m_rule == rule);
    showColour();
    showLabels();
}

void fdPageTrackingSettingsX::showLabels() {
    // The unit words follow the interface's language, as every other label.
    auto label = [this](int value, const char* unit) {
        const std::u16string word = m_messages != nullptr ? m_messages->text(unit) : std::u16string();
        return word.empty() ? Core::format(u"%d", value) : Core::format(u"%d %s", value, word);
    };
    if (auto* seconds = dynamic_cast<Ui::fdStatic*>(findChild("seconds")))
        seconds->setText(label(IntervalsMs[std::size_t(m_intervalStep)] / 1000, "second_short"));
    if (auto* metres = dynamic_cast<Ui::fdStatic*>(findChild("meters")))
        metres->setText(label(static_cast<int>(DistancesMetres[std::size_t(m_distanceStep)]), "meter"));
    if (auto* size = dynamic_cast<Ui::fdStatic*>(findChild("size")))
        size->setText(Core::format(u"%d", m_size));
    invalidate(1);
}

void fdPageTrackingSettingsX::showColour() {
    if (auto* box = dynamic_cast<Ui::fdStatic*>(findChild("colorBox")))
        box->setColor(trackPalette[m_colourIndex]);
    invalidate(1);
}

bool fdPageTrackingSettingsX::press(int x, int y) {
    if (Ui::fdWindowBase* box = findChild("colorBox"); box != nullptr && box->visible()) {
        const Ui::WindowRect& r = box->rect();
        if (x >= r.x && x <= r.x + r.w && y >= r.y && y <= r.y + r.h) {
            m_colourPressed = true;
            m_colourIndex = (m_colourIndex + 1) % trackPalette.size();
            showColour();
            return true;
        }
    }
    return fdPage::press(x, y);
}

bool fdPageTrackingSettingsX::release(int x, int y) {
    if (m_colourPressed) {
        m_colourPressed = false;
        invalidate(1);
        return true;
    }
    return fdPage::release(x, y);
}

bool fdPageTrackingSettingsX::mouseMove(int x, int y) {
    if (m_colourPressed)
        invalidate(1);
    return fdPage::mouseMove(x, y);
}

void fdPageTrackingSettingsX::childClicked(const std::string& name) {
    if (name == "secDown" || name == "secUp") {
        m_intervalStep = cycle(m_intervalStep, name == "secUp" ? 1 : -1);
        showLabels();
    } else if (name == "metersDown" || name == "metersUp") {
        m_distanceStep = cycle(m_distanceStep, name == "metersUp" ? 1 : -1);
        showLabels();
    } else if (name == "sizeDown" || name == "sizeUp") {
        // Folded where it changes, so that the number shown is the width
        // "ok" stores, always one the drawing has a line for.
        m_size = foldSize(m_size + (name == "sizeUp" ? 1 : -1));
        showLabels();
    } else if (name == "radio_all" || name == "radio_per_sec" || name == "radio_per_meters") {
        m_rule = name == "radio_all" ? Rule::EveryFix : name == "radio_per_sec" ? Rule::ByTime : Rule::ByDistance;
        showLabels();
    } else if (name == "ok") {
        if (m_tracks != nullptr) {
            m_tracks->setInterval(IntervalsMs[std::size_t(m_intervalStep)]);
            m_tracks->setMinDist(DistancesMetres[std::size_t(m_distanceStep)]);
            if (m_rule != Rule::None)
                m_tracks->setState(m_rule == Rule::ByTime ? 0 : m_rule == Rule::ByDistance ? 1 : 2);
            m_tracks->setColor(static_cast<std::uint16_t>(m_colourIndex));
            m_tracks->setSize(static_cast<std::uint16_t>(m_size));
        }
        ui()->goBack();
    } else if (name == "menu") {
        if (Ui::fdPage* menu = ui()->findPage("menuMain"))
            ui()->activatePage(menu);
    } else {
        handleCommonCommand(name);
    }
}

} // namespace Screens
