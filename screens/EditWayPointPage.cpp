#include "screens/EditWayPointPage.h"

#include "screens/fdPageImagesX.h"
#include "screens/fdPageSelectPoiType.h"
#include "screens/fdPageWPListX.h"

#include "core/Clipboard.h"
#include "core/DateTime.h"
#include "core/Format.h"
#include "core/Text.h"
#include "core/ValueFormat.h"
#include "map/Projection.h"
#include "render/StyleSet.h"
#include "ui/BgRenderers.h"
#include "ui/fdLabel.h"
#include "ui/fdStatic.h"
#include "ui/KeyboardLayouts.h"
#include "ui/fdInterface.h"
#include "userdata/WaypointStyles.h"
#include "userdata/fdWPManager.h"

#include <SDL.h>

namespace Screens {

namespace {

const char* const FormRows[] = {"type_label", "type_box",  "type_name", "select_type", "image_label", "image_image",
                                "select_image", "pos_name", "lat_box",  "lat_label",   "lon_box",     "lon_label"};
const char* const BoxNames[] = {"", "name_box", "comment_box", "url_box"};
const char* const BoxLabels[] = {"", "name_label", "comment_label", "url_label"};
// The boxes are buttons (a tap edits them); their texts are labels on top.
const char* const BoxTexts[] = {"", "name_text", "comment_text", "url_text"};

// Puts the chosen type into the editor, which shows it when shown again.
class SelectPoiTypeCallback final : public SelectPoiTypeResultCallback {
  public:
    explicit SelectPoiTypeCallback(EditWayPointPage& page) : m_page(page) {}
    bool allowsNone() const override { return false; }
    void result(std::uint16_t type) override { m_page.setType(type); }

  private:
    EditWayPointPage& m_page;
};

void setText(Ui::fdWindowBase* widget, const std::u16string& text) {
    if (auto* s = dynamic_cast<Ui::fdStatic*>(widget)) {
        s->setText(text);
        s->invalidate(0);
    }
}

} // namespace

EditWayPointPage::EditWayPointPage(Ui::fdInterface* ui, fdWPManager* waypoints, Monitoring::System* online,
                                   WaypointStyles* styles, Core::ConfigNodePtr config,
                                   const Ui::KeyboardLayouts* layouts)
    : fdPage(ui, "pageWPEdit", nullptr), m_waypoints(waypoints), m_online(online), m_styles(styles),
      m_config(std::move(config)), m_layouts(layouts) {}

void EditWayPointPage::afterBuild() {
    if (Ui::fdWindowBase* send = findChild("send"))
        send->setVisible(false);
    if (auto* image = dynamic_cast<Ui::fdStatic*>(findChild("image_image"));
        image != nullptr && image->bgRenderer() == nullptr)
        image->setBgRenderer(std::make_unique<Ui::AlignedImageBgRenderer>());
    for (Mode box : {NameBox, CommentBox, UrlBox}) {
        m_boxes[box].bind(dynamic_cast<Ui::fdLabel*>(findChild(BoxTexts[box])));
        m_boxes[box].setFocused(false);
    }
    reopenKeyboard();
    setMode(Form);
}

void EditWayPointPage::reopenKeyboard() {
    if (!m_config || m_layouts == nullptr)
        return;
    const Core::ConfigNodePtr keyboard = m_config->child("Keyboard");
    m_layout = Ui::Keyboard::layoutSetting(*keyboard, "edit_layout", false, *m_layouts);
    m_languages = Ui::Keyboard::usedLanguagesSetting(*keyboard, *m_layouts);
    m_keyboard = Ui::openPageKeyboard(*this, *m_layouts, m_layout, m_languages);
    // The new keyboard shows only while a box is edited.
    if (m_keyboard != nullptr)
        m_keyboard->setVisible(m_mode != Form);
}

void EditWayPointPage::setNewPoint(Map::Point position) {
    const Positioning::DateTime now = Positioning::localDateTime();
    m_point = WayPoint{};
    m_point.position = position;
    m_point.name = Core::format(u"%.2d-%.2d %.2d-%.2d", int(now.month), int(now.day), int(now.hour), int(now.minute));
    m_index = -1;
    m_mode = Form;
}

void EditWayPointPage::editPoint(std::int32_t index) {
    if (m_waypoints == nullptr || index < 0 || static_cast<std::size_t>(index) >= m_waypoints->pointCount())
        return;
    m_point = m_waypoints->point(static_cast<std::size_t>(index));
    m_index = index;
    m_mode = Form;
}

void EditWayPointPage::onShow() {
    loadBoxes();
    setMode(Form);
    const Render::PoiStyle* style = m_styles != nullptr ? m_styles->poiStyle(m_point.type) : nullptr;
    setText(findChild("type_name"), style != nullptr ? style->name : u"-");
    const Map::GeoPoint geo = Map::Projection::toGeo(m_point.position);
    const int format = (m_config ? m_config->value("position_format", 1) : 1) % 4;
    setText(findChild("lat_label"), Core::formatLatitude(format, geo.latitude));
    setText(findChild("lon_label"), Core::formatLongitude(format, geo.longitude));
    if (auto* image = dynamic_cast<Ui::fdStatic*>(findChild("image_image"))) {
        Render::Image* picture = nullptr;
        if (m_index >= 0 && m_waypoints != nullptr)
            picture = m_waypoints->pointImage(static_cast<std::size_t>(m_index));
        else if (style != nullptr)
            picture = style->icon;
        image->setImage(picture);
        image->invalidate(1);
    }
}

void EditWayPointPage::loadBoxes() {
    m_boxes[NameBox].setText(m_point.name);
    m_boxes[CommentBox].setText(m_point.comment);
    m_boxes[UrlBox].setText(m_point.url);
}

void EditWayPointPage::setMode(Mode mode) {
    m_mode = mode;
    const bool form = mode == Form;
    for (const char* name : FormRows)
        if (Ui::fdWindowBase* w = findChild(name))
            w->setVisible(form);
    if (Ui::fdWindowBase* send = findChild("send"))
        send->setVisible(form && m_online != nullptr && m_send != nullptr);
    // While one box is edited the others and their labels step aside for
    // the keyboard.
    for (Mode box : {NameBox, CommentBox, UrlBox}) {
        for (const char* name : {BoxNames[box], BoxLabels[box], BoxTexts[box]})
            if (Ui::fdWindowBase* w = findChild(name))
                w->setVisible(form || box == mode);
        m_boxes[box].setFocused(box == mode);
    }
    for (const char* name : {"copy", "paste"})
        if (Ui::fdWindowBase* w = findChild(name))
            w->setVisible(!form);
    if (m_keyboard != nullptr)
        m_keyboard->setVisible(!form);
    invalidate(1);
}

bool EditWayPointPage::storeNew() {
    if (m_index >= 0)
        return true;
    if (m_waypoints == nullptr)
        return false;
    const fdWPManager::ChangeBatch batch(*m_waypoints);
    m_index = m_waypoints->addPoint(m_point.name, m_point.position, m_point.comment, 0);
    if (m_index < 0)
        return false;
    // The type goes with it at once, so that an image chosen next is not
    // dropped by a type change at "ok".
    if (m_point.type != WayPoint::DefaultType)
        m_waypoints->setType(static_cast<std::size_t>(m_index), m_point.type);
    return true;
}

void EditWayPointPage::ok() {
    if (m_point.name.empty() || m_waypoints == nullptr)
        return;
    // The point with its type, name and link: one write of its file.
    const fdWPManager::ChangeBatch batch(*m_waypoints);
    if (!storeNew())
        return;
    const auto index = static_cast<std::size_t>(m_index);
    // The type is set only when it changed: setting it drops a chosen image.
    if (m_waypoints->point(index).type != m_point.type)
        m_waypoints->setType(index, m_point.type);
    m_waypoints->setNameAndComment(index, m_point.name, m_point.comment);
    m_waypoints->setUrl(index, m_point.url);
    if (auto* list = dynamic_cast<fdPageWPListX*>(ui()->findPage("pageWaypointsList"))) {
        list->showType(m_point.type);
        list->selectPoint(static_cast<std::uint32_t>(m_index));
    }
    ui()->goBack();
}

void EditWayPointPage::type(const std::string& key) {
    if (m_mode != Form && m_boxes[std::size_t(m_mode)].typeKey(key))
        invalidate(1);
}

bool EditWayPointPage::keyDown(int key) {
    if (m_mode == Form || (ui()->keyModifiers() & (KMOD_CTRL | KMOD_ALT | KMOD_META)) != 0)
        return false;
    if (key == SDLK_ESCAPE) {
        childClicked("back");
    } else if (key == SDLK_TAB) {
        setMode(m_mode == UrlBox ? NameBox : static_cast<Mode>(m_mode + 1));
    } else if (key == SDLK_RETURN || key == SDLK_KP_ENTER) {
        childClicked("ok");
    } else if (m_boxes[std::size_t(m_mode)].caretKey(key)) {
        invalidate(1);
    } else if (m_keyboard != nullptr) {
        return m_keyboard->keyDown(key);
    } else {
        return false;
    }
    return true;
}

void EditWayPointPage::childClicked(const std::string& name) {
    if (name == "ok") {
        if (m_mode == Form) {
            ok();
        } else {
            m_point.name = m_boxes[NameBox].text();
            m_point.comment = m_boxes[CommentBox].text();
            m_point.url = m_boxes[UrlBox].text();
            setMode(Form);
        }
    } else if (name == "back") {
        if (m_mode == Form) {
            ui()->goBack();
        } else {
            loadBoxes();
            setMode(Form);
        }
    } else if (name == "name_box" || name == "comment_box" || name == "url_box") {
        setMode(name == "name_box" ? NameBox : name == "comment_box" ? CommentBox : UrlBox);
    } else if (name == "kb") {
        if (m_keyboard != nullptr)
            type(m_keyboard->lastChild());
    } else if (m_mode != Form) {
        if (name == "copy") {
            Clipboard::copy(nullptr, m_boxes[std::size_t(m_mode)].text());
        } else if (name == "paste") {
            type(Core::wideToUtf8(Clipboard::paste(nullptr)));
        } else {
            handleCommonCommand(name);
        }
    } else if (name == "select_type") {
        auto* chooser = dynamic_cast<fdPageSelectPoiType*>(ui()->findPage("select_poi_type"));
        if (chooser == nullptr)
            return;
        chooser->showAllTypes();
        chooser->setCallback(std::make_shared<SelectPoiTypeCallback>(*this));
        ui()->goToPage(chooser);
    } else if (name == "select_image") {
        auto* images = dynamic_cast<fdPageImagesX*>(ui()->findPage("pageImages"));
        if (images == nullptr || !storeNew())
            return;
        images->prepare(m_index);
        ui()->goToPage(images);
    } else if (name == "send") {
        if (m_online != nullptr && m_send)
            m_send(m_point);
    } else {
        handleCommonCommand(name);
    }
}

} // namespace Screens
