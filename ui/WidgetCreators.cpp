#include "ui/WidgetCreators.h"

#include "core/Format.h"
#include "core/Log.h"
#include "core/Text.h"
#include "ui/ClickBehaviors.h"
#include "ui/DesignValues.h"
#include "ui/TextRenderers.h"
#include "ui/detail/XmlAttributes.h"
#include "ui/fdButtonX.h"
#include "ui/fdInterface.h"
#include "ui/fdLabel.h"
#include "ui/fdList.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace Ui {

using detail::XmlNode;

namespace {

std::u16string wide(const XmlNode* node, const char* name) { return Core::utf8ToWide(detail::text(node, name)); }

bool flag(const XmlNode* node, const char* name) { return detail::integer(node, name) != 0; }

TextGraphics readTextGraphics(const XmlNode* g) {
    TextGraphics t;
    if (!g)
        return t;
    t.font = detail::text(g, "font");
    if (const auto c = detail::attribute(g, "text_color"))
        t.colours = parseTextColor(*c);
    if (const auto e = detail::attribute(g, "text_effect")) {
        const TextEffect effect = parseTextEffect(*e);
        t.effectKind = effect.kind;
        t.effectColours = effect.colours;
    }
    return t;
}

// A new renderer for the graphics: with an effect, or plain when a font or
// colours are given; none when nothing is given.
std::shared_ptr<TxtRenderer> rendererFor(const TextGraphics& t) {
    if (t.effectColours && t.effectKind != 0)
        return std::make_shared<EffectTxtRenderer>(t.effectKind, *t.effectColours);
    if (!t.font.empty() || t.colours)
        return std::make_shared<SimpleTxtRenderer>();
    return nullptr;
}

void applyTextGraphics(fdWindowBase& widget, const TextGraphics& t, fdInterface& ui) {
    if (auto renderer = rendererFor(t)) {
        renderer->setFont(widget.font());
        renderer->setColors(widget.textColors());
        widget.setTextRenderer(std::move(renderer));
    }
    if (!t.font.empty())
        widget.setFont(ui.fontByName(t.font));
    if (t.colours)
        widget.setTextColor(*t.colours);
}

// Image first, else material, else no colour.
void setBackground(fdStatic& s, fdInterface& ui, const std::string& image, const std::string& material) {
    if (!image.empty()) {
        s.setMaterial(wholeImage(ui.loadImage(image)));
    } else if (!material.empty()) {
        if (const Material* m = ui.findMaterial(material))
            s.setMaterial(*m);
    } else {
        s.setColor(0);
    }
}

} // namespace

void IWidgetCreatorBase::readCommon(const XmlNode* element, const CreatorContext& context, bool geometryRequired) {
    m_name = detail::text(element, "name");
    const std::string where = std::string(element->name()) + " '" + m_name + "'";
    const XmlNode* g = geometryRequired ? detail::requiredChild(element, "geometry", where)
                                        : detail::child(element, "geometry");
    if (!g)
        return;
    // Doubled at once for a big design.
    x = detail::requiredCoordinate(g, "x", context.big, where);
    y = detail::requiredCoordinate(g, "y", context.big, where);
    w = detail::requiredExtent(g, "w", context.big, where);
    h = detail::requiredExtent(g, "h", context.big, where);
    if (const auto lt = detail::attribute(g, "lt_anchor")) {
        const AnchorKinds k = parseAnchorCode(*lt);
        ltHorz = k.horizontal;
        ltVert = k.vertical;
    }
    if (const auto rb = detail::attribute(g, "rb_anchor")) {
        const AnchorKinds k = parseAnchorCode(*rb);
        rbHorz = k.horizontal;
        rbVert = k.vertical;
    }
}

void IWidgetCreatorBase::place(fdWindowBase& widget) const {
    widget.placeInParent(x, y, w, h);
    widget.setAnchors(ltHorz, ltVert, rbHorz, rbVert);
    widget.relayout();
}

CustomCreator::CustomCreator(const XmlNode* element, const CreatorContext& context) {
    readCommon(element, context, false);
    schema = detail::text(element, "schema");
    if (detail::child(element, "geometry"))
        presence |= 1u << 0;
    if (const XmlNode* a = detail::child(element, "alignment")) {
        presence |= 1u << 1;
        if (const auto v = detail::attribute(a, "horz_align"))
            horzAlign = parseHorzAlign(*v);
        if (const auto v = detail::attribute(a, "vert_align"))
            vertAlign = parseVertAlign(*v);
    }
    if (const XmlNode* t = detail::child(element, "text")) {
        presence |= 1u << 2;
        caption = wide(t, "text");
        linesCount = detail::integer(t, "lines_count", 1);
    }
    if (const XmlNode* i = detail::child(element, "image")) {
        presence |= 1u << 4;
        imagePath = detail::text(i, "path");
    }
    if (const XmlNode* m = detail::child(element, "material")) {
        presence |= 1u << 5;
        materialName = detail::text(m, "name");
    }
    if (const XmlNode* list = detail::child(element, "images")) {
        presence |= 1u << 6;
        for (const XmlNode* i = list->first_node("image"); i; i = i->next_sibling("image"))
            images.push_back(detail::text(i, "img"));
    }
    if (const XmlNode* list = detail::child(element, "materials")) {
        presence |= 1u << 7;
        for (const XmlNode* m = list->first_node("material"); m; m = m->next_sibling("material"))
            materials.push_back(detail::text(m, "name"));
    }
}

fdWindowBase* CustomCreator::create(fdWindowBase* parent, fdInterface&, DesignContext*, bool) {
    parent->createCustom(*this);
    return nullptr;
}

void ICheckedButtonLabelCreator::readToggle(const XmlNode* element) {
    checkedButton = detail::text(detail::child(element, "behavior"), "checked_button");
}

void ICheckedButtonLabelCreator::link(fdWindowBase* parent, fdInterface&) {
    if (checkedButton.empty())
        return;
    auto* widget = dynamic_cast<fdStatic*>(parent->widget(m_name));
    auto* button = dynamic_cast<fdCheckedButton*>(parent->widget(checkedButton));
    if (widget && button)
        widget->setBehavior(std::make_unique<ToggleCheckBehavior>(widget, button));
}

IStaticCreator::IStaticCreator(const XmlNode* element, const CreatorContext& context) {
    readCommon(element, context, true);
    const XmlNode* g = detail::child(element, "graphics");
    image = detail::text(g, "img");
    material = detail::text(g, "material");
    readToggle(element);
}

fdWindowBase* IStaticCreator::create(fdWindowBase* parent, fdInterface& ui, DesignContext*, bool) {
    auto* s = new fdStatic(parent, m_name, true, &ui);
    place(*s);
    setBackground(*s, ui, image, material);
    return s;
}

ILabelCreator::ILabelCreator(const XmlNode* element, const CreatorContext& context) {
    readCommon(element, context, true);
    caption = wide(element, "caption");
    linesCount = detail::integer(detail::child(element, "geometry"), "lines_count", 1);
    const XmlNode* g = detail::child(element, "graphics");
    graphics = readTextGraphics(g);
    if (const auto v = detail::attribute(g, "horz_align"))
        horzAlign = parseHorzAlign(*v);
    if (const auto v = detail::attribute(g, "vert_align"))
        vertAlign = parseVertAlign(*v);
    sliding = detail::integer(detail::child(element, "behavior"), "sliding") != 0;
    readToggle(element);
}

fdWindowBase* ILabelCreator::create(fdWindowBase* parent, fdInterface& ui, DesignContext*, bool clickable) {
    fdLabel* label = !sliding   ? new fdLabel(parent, m_name, true, &ui)
                     : clickable ? new fdClickableSmartLabel(parent, m_name, true, &ui)
                                 : new fdSmartLabel(parent, m_name, true, &ui);
    place(*label);
    label->setLinesMode(linesCount);
    applyTextGraphics(*label, graphics, ui);
    label->setText(caption);
    if (horzAlign)
        label->setHorzAlign(*horzAlign);
    if (vertAlign)
        label->setVertAlign(*vertAlign);
    return label;
}

IMultiStaticCreator::IMultiStaticCreator(const XmlNode* element, const CreatorContext& context) {
    readCommon(element, context, true);
    for (const XmlNode* g = element->first_node("graphics"); g; g = g->next_sibling("graphics"))
        images.push_back(detail::text(g, "img"));
    readToggle(element);
}

fdWindowBase* IMultiStaticCreator::create(fdWindowBase* parent, fdInterface& ui, DesignContext*, bool) {
    auto* m = new fdMultiStatic(parent, m_name, true, &ui);
    place(*m);
    for (const std::string& name : images)
        if (Render::Image* image = ui.loadImage(name))
            m->images().push_back(image);
    return m;
}

IButtonCreator::IButtonCreator(const XmlNode* element, const CreatorContext& context) {
    readCommon(element, context, true);
    icon = detail::text(element, "icon");
    caption = wide(element, "caption");
    const XmlNode* geometry = detail::child(element, "geometry");
    round = detail::text(geometry, "shape") == "round";
    sensitivity = detail::integer(geometry, "sensitivity");
    for (const XmlNode* g = element->first_node("graphics"); g; g = g->next_sibling("graphics"))
        states.push_back({detail::text(g, "img"), detail::text(g, "material"), readTextGraphics(g)});
    const XmlNode* behavior = detail::child(element, "behavior");
    descLabel = detail::text(behavior, "desc_label");
    url = detail::text(behavior, "url");
}

void IButtonCreator::setUp(fdButtonX& button, fdInterface& ui) const {
    button.setRound(round);
    const std::size_t looks = std::min<std::size_t>(states.size(), 3);
    for (std::size_t i = 0; i < looks; ++i) {
        const State& s = states[i];
        if (!s.material.empty()) {
            if (const Material* m = ui.findMaterial(s.material))
                button.setStateMaterial(*m, int(i));
        } else if (!s.image.empty()) {
            button.setStateMaterial(wholeImage(ui.loadImage(s.image)), int(i));
        }
        fdButtonX::Look& look = button.look(int(i));
        look.renderer = rendererFor(s.text);
        if (!s.text.font.empty())
            look.font = ui.fontByName(s.text.font);
        if (s.text.colours)
            look.colours = *s.text.colours;
    }
    const CursorRecord* cursor = icon.empty() ? nullptr : ui.findCursor(icon);
    if (cursor) {
        button.setCursorRenderer(cursor);
        button.setText(caption.empty() ? u"dummy" : caption);
    } else {
        // An icon the design does not define falls back to the caption.
        if (!icon.empty())
            ui.logMissingOnce("Can't find cursor " + icon);
        button.setText(caption);
    }
    button.setLink(url);
    button.setSensitivity(sensitivity);
    button.updateLook();
}

fdWindowBase* IButtonCreator::create(fdWindowBase* parent, fdInterface& ui, DesignContext*, bool) {
    auto* b = new fdButtonX(parent, m_name, true, &ui);
    place(*b);
    setUp(*b, ui);
    return b;
}

void IButtonCreator::link(fdWindowBase* parent, fdInterface& ui) {
    if (descLabel.empty())
        return;
    auto* button = dynamic_cast<fdButtonX*>(parent->widget(m_name));
    auto* label = dynamic_cast<fdStatic*>(parent->widget(descLabel));
    if (!button || !label)
        return;
    button->setLongPressWidget(label);
    if (!label->behavior())
        label->setBehavior(std::make_unique<HideOnClickBehavior>(label));
    else if (label->behavior()->kind() != 4)
        ui.logMissingOnce("Label " + descLabel + " is used for another purpose than button description");
    label->setVisible(false);
}

ICheckedButtonCreator::ICheckedButtonCreator(const XmlNode* element, const CreatorContext& context)
    : IButtonCreator(element, context) {
    const std::string name = detail::text(element, "group");
    if (name.empty() || !context.groups)
        return;
    for (const auto& record : *context.groups)
        if (record->name == name)
            group = record.get();
    if (!group) {
        context.groups->push_back(std::make_unique<CheckedGroupRecord>(CheckedGroupRecord{name, nullptr}));
        group = context.groups->back().get();
    }
}

fdWindowBase* ICheckedButtonCreator::create(fdWindowBase* parent, fdInterface& ui, DesignContext*, bool) {
    auto* b = new fdCheckedButton(parent, m_name, true, &ui);
    place(*b);
    setUp(*b, ui);
    if (group)
        b->joinGroup(*group);
    return b;
}

IRotationBoxCreator::IRotationBoxCreator(const XmlNode* element, const CreatorContext& context) {
    readCommon(element, context, true);
    sensitivity = detail::integer(detail::child(element, "geometry"), "sensitivity");
    image = detail::text(detail::child(element, "graphics"), "img");
}

fdWindowBase* IRotationBoxCreator::create(fdWindowBase* parent, fdInterface& ui, DesignContext*, bool) {
    auto* s = new fdStatic(parent, m_name, true, &ui);
    place(*s);
    Render::Image* picture = image.empty() ? nullptr : ui.loadImage(image);
    s->setBgRenderer(std::make_unique<RotatedImageBgRenderer>());
    s->setBehavior(std::make_unique<OnClickInCircleAreaBehavior>(s, sensitivity));
    s->setImage(picture);
    return s;
}

IListCreator::IListCreator(const XmlNode* element, const CreatorContext& context) : templates(context.templates) {
    readCommon(element, context, true);
    const XmlNode* g = detail::child(element, "graphics");
    selectionImage = detail::text(g, "sel");
    selectionMaterial = detail::text(g, "sel_material");
    itemTemplate = detail::text(g, "item");
}

namespace {

// The item templates whose rows are being built, outermost first, and the
// rows built for them so far: a row that holds a list of its own template
// (directly or through others) would build rows for ever, and lists nested
// in rows multiply their row counts.
struct RowsInProgress {
    std::vector<const TemplateDescription*> templates;
    std::uint32_t rows = 0;
};
RowsInProgress g_rowsInProgress;

} // namespace

fdWindowBase* IListCreator::create(fdWindowBase* parent, fdInterface& ui, DesignContext* context, bool) {
    auto* list = new fdList(parent, m_name, true, &ui, context);
    place(*list);
    if (itemTemplate.empty() || !templates)
        return list;
    const auto it = templates->find(itemTemplate);
    if (it == templates->end() || it->second->h <= 0) {
        ui.logMissingOnce("Can't find item template " + itemTemplate + " of list " + m_name);
        return list;
    }
    const TemplateDescription* row = it->second.get();
    RowsInProgress& building = g_rowsInProgress;
    if (std::find(building.templates.begin(), building.templates.end(), row) != building.templates.end()) {
        // Every row of the outer list meets it again: logged once.
        ui.logMissingOnce("List " + m_name + ": item template " + itemTemplate + " contains itself; no rows");
        return list;
    }
    // Rows per page from the list's own 16-bit height, as it is drawn.
    std::uint32_t count = list->designRect().h / static_cast<std::uint32_t>(row->h);
    if (count > MaxRows) {
        ui.logMissingOnce(Core::format("List %s: %u rows of %s, only %u built", m_name, count, itemTemplate,
                                       MaxRows));
        count = MaxRows;
    }
    if (building.rows + count > MaxRows) {
        ui.logMissingOnce(Core::format("List %s: nested lists exceed %u rows; no rows", m_name, MaxRows));
        return list;
    }
    Material selection;
    if (!selectionImage.empty())
        selection = wholeImage(ui.loadImage(selectionImage));
    else if (const Material* m = selectionMaterial.empty() ? nullptr : ui.findMaterial(selectionMaterial))
        selection = *m;
    building.templates.push_back(row);
    building.rows += count;
    try {
        list->buildRows(*row, count, selection);
    } catch (...) {
        building.templates.pop_back();
        if (building.templates.empty())
            building.rows = 0;
        throw;
    }
    building.templates.pop_back();
    if (building.templates.empty())
        building.rows = 0;
    return list;
}

ISliderCreator::ISliderCreator(const XmlNode* element, const CreatorContext& context) : big(context.big) {
    readCommon(element, context, true);
    vertical = flag(detail::child(element, "geometry"), "orientation");
    const XmlNode* g = detail::child(element, "graphics");
    image = detail::text(g, "img");
    material = detail::text(g, "material");
    thumb = detail::text(g, "thumb");
}

fdWindowBase* ISliderCreator::create(fdWindowBase* parent, fdInterface& ui, DesignContext*, bool) {
    auto* s = new fdSlider(parent, m_name, true, &ui);
    place(*s);
    s->horizontal = !vertical;
    s->invalidate(0);
    setBackground(*s, ui, image, material);
    s->thumb = thumb.empty() ? nullptr : ui.loadImage(thumb);
    const int scale = big ? 2 : 1;
    s->thumbWidth = s->thumb ? s->thumb->width() * scale : 0;
    s->thumbHeight = s->thumb ? s->thumb->height() * scale : 0;
    return s;
}

IProgressBarCreator::IProgressBarCreator(const XmlNode* element, const CreatorContext& context) {
    readCommon(element, context, true);
    vertical = flag(detail::child(element, "geometry"), "orientation");
    const XmlNode* g = detail::child(element, "graphics");
    image = detail::text(g, "img");
    material = detail::text(g, "material");
    foreground = detail::text(g, "fg_material");
}

fdWindowBase* IProgressBarCreator::create(fdWindowBase* parent, fdInterface& ui, DesignContext*, bool) {
    auto* p = new fdProgressBar(parent, m_name, true, &ui);
    place(*p);
    p->horizontal = !vertical;
    p->invalidate(0);
    setBackground(*p, ui, image, material);
    if (const Material* m = foreground.empty() ? nullptr : ui.findMaterial(foreground))
        p->foreground = *m;
    return p;
}

std::unique_ptr<IWidgetCreator> makeCreator(const XmlNode* element, const CreatorContext& context) {
    const char* n = element->name();
    auto is = [&](const char* kind) { return std::strcmp(n, kind) == 0; };
    if (is("custom"))
        return std::make_unique<CustomCreator>(element, context);
    if (is("static"))
        return std::make_unique<IStaticCreator>(element, context);
    if (is("label"))
        return std::make_unique<ILabelCreator>(element, context);
    if (is("button"))
        return std::make_unique<IButtonCreator>(element, context);
    if (is("checked_button"))
        return std::make_unique<ICheckedButtonCreator>(element, context);
    if (is("rotation_box"))
        return std::make_unique<IRotationBoxCreator>(element, context);
    if (is("list"))
        return std::make_unique<IListCreator>(element, context);
    if (is("slider"))
        return std::make_unique<ISliderCreator>(element, context);
    if (is("multi_static"))
        return std::make_unique<IMultiStaticCreator>(element, context);
    if (is("progress_bar"))
        return std::make_unique<IProgressBarCreator>(element, context);
    return nullptr;
}

} // namespace Ui
