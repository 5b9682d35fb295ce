#include "ui/DesignDescription.h"

#include "core/Log.h"
#include "core/Text.h"
#include "ui/DesignValues.h"
#include "ui/KeyboardLayouts.h"
#include "core/FileSystem.h"
#include "core/WinFile.h"
#include "ui/WidgetCreators.h"
#include "ui/detail/XmlAttributes.h"
#include "ui/fdInterface.h"
#include "ui/fdPage.h"

#include <SDL/SDL_timer.h>

#include <cstring>

namespace Ui {

using detail::XmlNode;

namespace {

// Far deeper than any design; bounds the parser's recursion.
constexpr int MaxDesignDepth = 64;

float floatOf(const XmlNode* node, const char* name, float absent) {
    const auto v = detail::attribute(node, name);
    if (!v)
        return absent;
    float f = 0;
    Core::parseFloat(*v, f);
    return f;
}

void readExtras(const XmlNode* root, DesignExtras& e) {
    const XmlNode* extras = detail::requiredChild(root, "extras", "design");
    const XmlNode* captions = detail::requiredChild(extras, "captions", "extras");
    e.captionFont = detail::requiredText(detail::requiredChild(captions, "font", "captions"), "name", "captions font");
    const XmlNode* tables = detail::requiredChild(captions, "tables", "captions");
    e.stockLength = detail::requiredInteger(tables, "stock_len", "tables");
    e.alpha = detail::requiredInteger(tables, "alpha", "tables");
    e.backgroundColour = parseColor(detail::requiredText(tables, "bgcolor", "tables")).value_or(0);
    const XmlNode* mode = detail::requiredChild(detail::requiredChild(extras, "display", "extras"), "mode", "display");
    e.big = detail::integer(mode, "big") == 1;
    // Stored as written; the engine doubles them for a big design.
    const std::int32_t k = e.big ? 2 : 1;
    e.width = detail::requiredExtent(mode, "width", e.big, "display mode") / k;
    e.height = detail::requiredExtent(mode, "height", e.big, "display mode") / k;
    e.angle = detail::integer(mode, "angle");
    e.fingerTapDistance = detail::integer(detail::child(detail::child(extras, "taps"), "finger_tap"), "dist");
    const XmlNode* pushes = detail::child(extras, "pushes");
    e.rotationPushDelta = floatOf(detail::child(pushes, "rot_push"), "delta", 1.2f);
    e.scalePushDelta = floatOf(detail::child(pushes, "scale_push"), "delta", 0.8f);
    e.scaleFixedDelta = floatOf(detail::child(pushes, "scale_fixed"), "delta", 1.4f);
}

void readFonts(const XmlNode* root, DesignDescription& d) {
    for (const XmlNode* f = detail::child(detail::child(root, "fonts"), "font"); f; f = f->next_sibling("font")) {
        DesignDescription::Font font;
        font.name = detail::requiredText(f, "name", "font");
        font.source = Core::utf8ToWide(detail::requiredText(f, "src", "font " + font.name));
        font.size = detail::requiredInteger(f, "size", "font " + font.name);
        font.style = detail::integer(f, "style");
        d.fonts.push_back(std::move(font));
    }
}

void readCursorsAndMaterials(const XmlNode* root, DesignDescription& d) {
    for (const XmlNode* c = root->first_node("cursor"); c; c = c->next_sibling("cursor")) {
        const XmlNode* image = detail::child(c, "image");
        const auto name = detail::attribute(c, "name");
        const auto source = detail::attribute(image, "source");
        if (!name || !source)
            continue;
        const std::string where = "cursor " + std::string(*name);
        d.cursors.push_back({std::string(*name), std::string(*source), detail::requiredInteger(image, "x", where),
                             detail::requiredInteger(image, "y", where)});
        Log::log(Log::Info, "Cursor '%s' loaded", d.cursors.back().name);
    }
    for (const XmlNode* m = root->first_node("material"); m; m = m->next_sibling("material")) {
        const XmlNode* image = detail::child(m, "image");
        const auto name = detail::attribute(m, "name");
        const auto source = detail::attribute(image, "source");
        if (!name || !source)
            continue;
        DesignDescription::MaterialRecord r;
        r.name = std::string(*name);
        r.image = std::string(*source);
        r.left = detail::integer(image, "l");
        r.top = detail::integer(image, "t");
        r.right = detail::integer(image, "r");
        r.bottom = detail::integer(image, "b");
        r.horizontalTile = detail::integer(image, "horz_tile") != 0;
        r.verticalTile = detail::integer(image, "vert_tile") != 0;
        d.materials.push_back(std::move(r));
        Log::log(Log::Info, "Material '%s' loaded", d.materials.back().name);
    }
}

void readCreators(const XmlNode* owner, const CreatorContext& context, CreatorList& creators) {
    for (const XmlNode* e = owner->first_node(); e; e = e->next_sibling())
        if (e->type() == rapidxml::node_element)
            if (auto creator = makeCreator(e, context))
                creators.push_back(std::move(creator));
}

void readTemplatesAndPages(const XmlNode* root, DesignDescription& d) {
    const bool big = d.extras.big;
    for (const XmlNode* t = root->first_node("template"); t; t = t->next_sibling("template")) {
        auto description = std::make_unique<TemplateDescription>();
        description->name = detail::requiredText(t, "name", "template");
        const std::string where = "template " + description->name;
        const CreatorContext context{big, &description->groups, &d.templates};
        for (const XmlNode* e = t->first_node(); e; e = e->next_sibling()) {
            if (e->type() != rapidxml::node_element)
                continue;
            if (std::strcmp(e->name(), "rect") == 0) {
                // Doubled at once for a big design.
                description->x = detail::requiredCoordinate(e, "x", big, where);
                description->y = detail::requiredCoordinate(e, "y", big, where);
                description->w = detail::requiredExtent(e, "w", big, where);
                description->h = detail::requiredExtent(e, "h", big, where);
            } else if (std::strcmp(e->name(), "anchors") == 0) {
                if (const auto lt = detail::attribute(e, "lt_anchor")) {
                    const AnchorKinds k = parseAnchorCode(*lt);
                    description->ltHorz = k.horizontal;
                    description->ltVert = k.vertical;
                }
                if (const auto rb = detail::attribute(e, "rb_anchor")) {
                    const AnchorKinds k = parseAnchorCode(*rb);
                    description->rbHorz = k.horizontal;
                    description->rbVert = k.vertical;
                }
            } else if (auto creator = makeCreator(e, context)) {
                description->creators.push_back(std::move(creator));
            }
        }
        Log::log(Log::Info, "Template '%s' loaded", description->name);
        const std::string name = description->name;
        d.templates[name] = std::move(description);
    }
    for (const XmlNode* p = root->first_node("page"); p; p = p->next_sibling("page")) {
        auto description = std::make_unique<PageDescription>();
        const std::string name = detail::requiredText(p, "name", "page");
        description->font = detail::requiredText(p, "font", "page " + name);
        readCreators(p, CreatorContext{big, &description->groups, &d.templates}, description->creators);
        Log::log(Log::Info, "Page '%s' loaded", name);
        d.pages[name] = std::move(description);
    }
}

} // namespace

bool readDesign(std::string text, bool full, DesignDescription& out) {
    const std::uint32_t started = SDL_GetTicks();
    Log::log(Log::Info, "Loading design...");
    out = DesignDescription{};
    auto doc = std::make_unique<rapidxml::xml_document<char>>();
    std::string error;
    switch (detail::parseXml(text, MaxDesignDepth, *doc, error)) {
    case detail::XmlParse::TooDeep:
        Log::log(Log::Critical, "Invalid design: nested too deeply");
        return false;
    case detail::XmlParse::Malformed:
        Log::log(Log::Critical, "Error: %s on parsing design file", error);
        return false;
    case detail::XmlParse::Ok:
        break;
    }
    const XmlNode* root = doc->first_node("design");
    if (!root) {
        Log::log(Log::Critical, "Invalid design: missing design");
        return false;
    }
    const auto version = detail::attribute(root, "version");
    if (!version) {
        Log::log(Log::Critical, "Design version attribute not found");
        return false;
    }
    if (*version != DesignVersion) {
        Log::log(Log::Critical, "Incompatible design version: %s when %s is required", std::string(*version),
                 DesignVersion);
        return false;
    }
    try {
        out.systemFont = detail::text(root, "system_font");
        readFonts(root, out);
        readExtras(root, out.extras);
        // A big design serves a screen of twice the density: its text
        // grows with its rectangles, or it would be half as legible.
        for (auto& font : out.fonts)
            font.size = detail::scaledPixels(font.size, out.extras.big, 0, detail::MaxFontPixels, "size",
                                             "font " + font.name);
        if (!full) {
            Log::log(Log::Normal, "Design preview loaded in %u ms", SDL_GetTicks() - started);
            return true;
        }
        Log::log(Log::Info, "engine::LoadInterface");
        readCursorsAndMaterials(root, out);
        readTemplatesAndPages(root, out);
    } catch (const detail::DesignError& e) {
        Log::log(Log::Critical, "Invalid design: %s", e.what());
        out = DesignDescription{};
        return false;
    }
    Log::log(Log::Normal, "Design loaded in %u ms", SDL_GetTicks() - started);
    return true;
}

bool loadKeyboardLayouts(const std::u16string& path, const DesignDescription& design, KeyboardLayouts& layouts) {
    FileSystem::WinFileForRead file(path);
    if (!file.isOpen()) {
        Log::log(Log::Critical, u"Can't open layouts file '%s' (err %d)", path, file.lastError());
        layouts.clear();
        return false;
    }
    std::uint32_t size = 0;
    const std::unique_ptr<char[]> bytes = FileSystem::readFile(file, &size, path);
    if (!bytes) {
        layouts.clear();
        return false;
    }
    return layouts.loadText(std::string(bytes.get(), size),
                            [&](const std::string& name) { return design.templates.count(name) != 0; });
}

bool readTheme(std::string designText, bool full, const std::u16string& layoutsPath, DesignDescription& out,
               KeyboardLayouts& layouts) {
    if (!readDesign(std::move(designText), full, out))
        return false;
    return !full || loadKeyboardLayouts(layoutsPath, out, layouts);
}

bool initFonts(const DesignDescription& design, fdInterface& ui) {
    for (const auto& f : design.fonts)
        if (!ui.createFont(f.source, f.name, f.size, f.style))
            return false;
    return true;
}

bool loadCursors(const DesignDescription& design, fdInterface& ui) {
    for (const auto& c : design.cursors)
        if (!ui.registerCursor(c.name, c.image, c.x, c.y))
            return false;
    return true;
}

bool loadMaterials(const DesignDescription& design, fdInterface& ui) {
    for (const auto& m : design.materials)
        if (!ui.registerMaterial(m.name, m.image, m.left, m.top, m.right, m.bottom, m.horizontalTile,
                                 m.verticalTile))
            return false;
    return true;
}

bool buildPage(fdPage& page, const DesignDescription& design) {
    const auto it = design.pages.find(page.name());
    if (it == design.pages.end()) {
        Log::log(Log::Critical, "Design has no page %s", page.name());
        return false;
    }
    page.build(*it->second);
    return true;
}

} // namespace Ui
