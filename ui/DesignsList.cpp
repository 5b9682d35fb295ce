#include "ui/DesignsList.h"

#include "core/ConfigNode.h"
#include "core/FileSystem.h"
#include "core/Log.h"
#include "core/Text.h"
#include "core/WinFile.h"
#include "ui/ButtonBindings.h"
#include "ui/ButtonsFile.h"
#include "ui/detail/XmlAttributes.h"

#include <memory>
#include <stdexcept>

namespace Ui {

void DesignsList::loadText(std::string text) {
    auto doc = std::make_unique<rapidxml::xml_document<char>>();
    std::string error;
    const detail::XmlParse parsed = detail::parseXml(text, 16, *doc, error);
    if (parsed == detail::XmlParse::TooDeep)
        throw std::runtime_error("Invalid designs list format");
    if (parsed == detail::XmlParse::Malformed)
        throw std::runtime_error("Can't parse designs list: " + error);
    const auto* root = doc->first_node("designs");
    if (!root)
        throw std::runtime_error("Invalid designs list format");
    std::vector<DesignEntry> entries;
    for (const auto* d = root->first_node("design"); d; d = d->next_sibling("design")) {
        const auto width = detail::attribute(d, "width"), height = detail::attribute(d, "height");
        const auto design = detail::attribute(d, "design_file"), buttons = detail::attribute(d, "buttons_file");
        const auto layouts = detail::attribute(d, "kb_layouts_file");
        if (!width || !height || !design || !buttons || !layouts)
            throw std::runtime_error("Invalid designs list format");
        DesignEntry e{detail::integer(*width), detail::integer(*height), Core::utf8ToWide(*design),
                      Core::utf8ToWide(*buttons), Core::utf8ToWide(*layouts)};
        for (const DesignEntry& earlier : entries)
            if (earlier.width == e.width && earlier.height == e.height)
                throw std::runtime_error("Duplicates in designs list file");
        entries.push_back(std::move(e));
    }
    m_entries = std::move(entries);
}

namespace {
void logFound(const DesignEntry& design, std::int32_t w, std::int32_t h, std::int32_t angle) {
    if (w >= UnreportedScreenSide || h >= UnreportedScreenSide)
        Log::log(Log::Normal, "Design %d x %d was found for a screen of unreported size (%d)", design.width,
                 design.height, angle);
    else
        Log::log(Log::Normal, "Design %d x %d was found for the screen %d x %d (%d)", design.width,
                 design.height, w, h, angle);
}
} // namespace

DesignsList::Choice DesignsList::choose(std::int32_t w, std::int32_t h, std::int32_t angle) const {
    const bool rotated = (angle / 90) % 2 == 1;
    struct Pass {
        const DesignEntry* best = nullptr;
        std::int64_t area = 0;
        const DesignEntry* exact = nullptr;
    };
    auto pass = [&](std::int32_t tw, std::int32_t th) {
        Pass p;
        for (const DesignEntry& e : m_entries) {
            if (e.width == tw && e.height == th) {
                p.exact = &e;
                return p;
            }
            const std::int64_t area = std::int64_t(e.width) * e.height;
            if (e.width <= tw && e.height <= th && area > p.area) {
                p.best = &e;
                p.area = area;
            }
        }
        return p;
    };
    const Pass first = rotated ? pass(h, w) : pass(w, h);
    if (first.exact)
        return {first.exact, angle};
    if (rotated) {
        const Pass second = pass(w, h);
        if (second.exact)
            return {second.exact, 0};
        if (second.area > first.area) {
            logFound(*second.best, w, h, angle);
            return {second.best, 0};
        }
    }
    if (!first.best) {
        Log::log(Log::Critical, "No design was found for the screen %d x %d (%d)", w, h, angle);
        return {};
    }
    logFound(*first.best, w, h, angle);
    return {first.best, angle};
}

bool chooseDesign(const Core::ConfigNodePtr& config, std::u16string_view dataFolder, std::int32_t screenWidth,
                  std::int32_t screenHeight, ButtonBindings& bindings) {
    const std::int32_t angle = config->value("straight_orientation", true) ? 0 : 90;
    bindings.orientation = angle;
    bindings.initialOrientation = angle;
    std::u16string path(dataFolder);
    if (!path.empty() && path.back() != u'/' && path.back() != u'\\')
        path += u'/';
    path += u"designs.xml";
    FileSystem::WinFileForRead file(path);
    if (!file.isOpen()) {
        Log::log(Log::Critical, u"Can't open designs list file '%s' (err %d)", path, file.lastError());
        return false;
    }
    std::uint32_t size = 0;
    const std::unique_ptr<char[]> bytes = FileSystem::readFile(file, &size, path);
    DesignsList list;
    try {
        if (!bytes)
            throw std::runtime_error("Can't load file with designs list");
        list.loadText(std::string(bytes.get(), size));
    } catch (const std::exception& e) {
        Log::log(Log::Critical, "fatal error : %s", e.what());
        return false;
    }
    const DesignsList::Choice choice = list.choose(screenWidth, screenHeight, angle);
    if (!choice.entry)
        return false;
    bindings.designFile = choice.entry->designFile;
    bindings.buttonsFile = choice.entry->buttonsFile;
    bindings.keyboardLayoutsFile = choice.entry->keyboardLayoutsFile;
    return loadButtons(dataFolder, bindings);
}

} // namespace Ui
