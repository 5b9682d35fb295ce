#include "app/PageCreators.h"

#include "app/fdEngine.h"

#include "core/Text.h"
#include "map/AtlasFolderList.h"
#include "map/MapFileName.h"
#include "screens/AtlasesPage.h"
#include "screens/HandlerNavigation.h"
#include "screens/InfoPage.h"
#include "screens/KeyboardPropPage.h"
#include "screens/fdMainMenuPage.h"
#include "screens/fdSettingsMenuPage.h"
#include "ui/DesignDescription.h"
#include "ui/Messages.h"
#include "ui/fdInterface.h"
#include "ui/fdStatic.h"

namespace engine {

namespace {

// One line per atlas whose maps carry a credit: "<atlas>: Map data <credit>",
// the credits of its maps joined with "; ".
std::u16string atlasCredits(const Map::AtlasFolderList* folders) {
    std::u16string text;
    if (!folders) return text;
    for (const Map::AtlasFolderList::Record& record : folders->records()) {
        const std::vector<std::u16string> names = Map::atlasMapNames(record.path);
        if (names.empty()) continue;
        text += (text.empty() ? u"" : u"\n") + record.name + u": Map data ";
        for (std::size_t i = 0; i < names.size(); ++i)
            text += (i ? u"; " : u"") + names[i];
    }
    return text;
}

} // namespace

// The main and settings menus, information, keyboard and atlases pages.
bool createMenuPage(fdEngine& engine, const std::string& designName) {
    Ui::fdInterface* ui = engine.ui();
    if (designName == "menuMain") {
        Map::AtlasFolderList* folders = engine.atlasFolders();
        new Screens::fdMainMenuPage(ui, ui->soundPlayer(), [folders] { return atlasCredits(folders); });
    } else if (designName == "pageSettingsMain" || designName == "pageSettingsLists") {
        new Screens::fdSettingsMenuPage(designName, ui);
    } else if (designName == "info") {
        new Screens::InfoPage(ui, engine.bindings());
    } else if (designName == "keyboard_prop") {
        new Screens::KeyboardPropPage(ui, engine.configRoot(), engine.keyboardLayouts(), engine.bindings());
    } else if (designName == "atlases") {
        Screens::AtlasesPage::Services services;
        services.folders = engine.atlasFolders();
        services.atlas = engine.atlas();
        services.mapEvents = engine.mapEvents();
        services.navigation = engine.navigation();
        services.camera = &engine.camera();
        services.bindings = engine.bindings();
        fdEngine* e = &engine;
        services.switched = [e](std::uint32_t index) { e->setAtlasIndex(index); };
        new Screens::AtlasesPage(ui, std::move(services));
    } else {
        return false;
    }
    return true;
}

void buildStandInPages(fdEngine& engine) {
    Ui::fdInterface* ui = engine.ui();
    const Ui::DesignDescription* design = engine.design();
    if (!ui || !design) return;
    const auto found = design->templates.find("page_stand_in");
    if (found == design->templates.end()) return;
    for (Ui::fdWindowBase* child : ui->children()) {
        auto* page = dynamic_cast<Ui::fdPage*>(child);
        if (!page || page->built()) continue;
        page->setRect(0, 0, ui->rect().w, ui->rect().h);
        page->buildStandIn(*found->second, design->systemFont);
        std::u16string title = engine.messages() ? engine.messages()->text("page_" + page->name()) : u"";
        if (title.empty()) title = Core::utf8ToWide(page->name());
        if (auto* label = dynamic_cast<Ui::fdStatic*>(page->findChild("title"))) label->setText(title);
    }
}

} // namespace engine
