#include "screens/fdPageFindX.h"

#include "core/MessageTable.h"
#include "core/Text.h"
#include "map/KvMap.h"
#include "map/MapSet.h"
#include "map/Projection.h"
#include "map/file/AddressSectionReader.h"
#include "render/RenderStyles.h"
#include "screens/FoundObject.h"
#include "screens/fdPageFindResults.h"
#include "search/Engine.h"
#include "search/SearchHistory.h"
#include "ui/EngineServices.h"
#include "ui/KeyboardLayouts.h"
#include "ui/MessageBoxText.h"
#include "ui/fdInterface.h"
#include "ui/fdStatic.h"
#include "userdata/CategorizedWayPointsProvider.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>

namespace Screens {

namespace {

// The waypoints as the engine's name search reads them: a copy of the
// provider's points taken when the search starts.
class WayPointsCollectionConverter final : public Map::WayPointsCollection {
  public:
    explicit WayPointsCollectionConverter(const Map::CategorizedWayPointsProvider& provider) {
        m_points.reserve(provider.pointCount());
        for (std::size_t i = 0; i < provider.pointCount(); ++i) {
            const ::WayPoint& stored = provider.point(i);
            Map::WayPoint point;
            point.flag = stored.flag;
            point.name = stored.name;
            point.comment = stored.comment;
            point.type = stored.type;
            point.point = stored.position;
            m_points.push_back(std::move(point));
        }
    }
    std::size_t count() const override { return m_points.size(); }
    const Map::WayPoint& at(std::size_t index) const override { return m_points.at(index); }

  private:
    std::vector<Map::WayPoint> m_points;
};

// Hands the chosen row to the callback the find page had when the results
// were shown, and gives it back to the find page on "back".
class ResultSelectionCallback final : public SearchResultCallback {
  public:
    ResultSelectionCallback(fdPageFindX& page, SearchResultCallbackPtr wrapped)
        : m_page(page), m_wrapped(std::move(wrapped)) {}
    // The typed text goes once a result is chosen: the next search (the
    // houses of a chosen street) starts from nothing.
    void onResult(const TextSearch::ResultItem& item) override {
        m_page.clearTypedText();
        if (m_wrapped) m_wrapped->onResult(item);
    }
    // Back from the results the typed text is still there to go on from.
    void onBack() override {
        m_page.setCallback(m_wrapped);
        m_page.typedTextKept();
    }

  private:
    fdPageFindX& m_page;
    SearchResultCallbackPtr m_wrapped;
};

bool hasDigitKeys(const Ui::KeyboardGrid& grid) {
    return std::any_of(grid.layouts.begin(), grid.layouts.end(), [](const auto& layout) {
        return std::any_of(layout.rows.begin(), layout.rows.end(), [](const auto& row) {
            return std::any_of(row.begin(), row.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
        });
    });
}

// The first grid by name that has digit keys; empty when none has.
std::string firstGridWithDigits(const Ui::KeyboardLayouts& layouts) {
    for (const std::string& name : layouts.layoutNames(true))
        if (const Ui::KeyboardGrid* grid = layouts.group(name); grid && hasDigitKeys(*grid)) return name;
    return {};
}

// A missing or unknown search layout is replaced by the first grid with
// digit keys (stored back), not merely the first by name: the house-number
// step types digits, and the first name may well be a grid of letters.
void chooseFindLayout(Core::ConfigNode& node, const Ui::KeyboardLayouts& layouts) {
    const std::vector<std::string> names = layouts.layoutNames(true);
    std::string stored;
    node.get("find_layout", stored);
    if (std::find(names.begin(), names.end(), stored) != names.end()) return;
    if (const std::string name = firstGridWithDigits(layouts); !name.empty()) node.set("find_layout", name);
}

} // namespace

fdPageFindX::fdPageFindX(Ui::fdInterface* ui, SearchServices services)
    : fdPage(ui, "pageFind", nullptr), m_services(std::move(services)) {}

void fdPageFindX::afterBuild() {
    m_title = dynamic_cast<Ui::fdStatic*>(findChild("page_name"));
    // Names are found by any of their words: the prompt says so.
    if (auto* hint = dynamic_cast<Ui::fdStatic*>(findChild("enter_hint")); hint && m_services.messages)
        hint->setText(m_services.messages->text("find_words_hint"));
    if (m_services.config) {
        m_useValidLetters = m_services.config->value("use_valid_letters", true);
        m_maxSearchResults = m_services.config->value("max_search_results", 100);
    }
    openKeyboard();
}

void fdPageFindX::openKeyboard() {
    m_keyboard.reset();
    if (!m_services.layouts || !m_services.config) return;
    const Core::ConfigNodePtr node = m_services.config->child("Keyboard");
    const std::string languages = Ui::Keyboard::usedLanguagesSetting(*node, *m_services.layouts);
    chooseFindLayout(*node, *m_services.layouts);
    const std::string layout = stepLayout();
    m_keyboard = Ui::openPageKeyboard(*this, *m_services.layouts, layout, languages);
    if (!m_keyboard) return;
    m_keyboardLayout = layout;
    m_keyboard->searchUse = true;
    if (m_keyboard->letterCase() == 1) m_keyboard->setCase(0);
    updateValidLetters();
}

std::string fdPageFindX::stepLayout() const {
    const Core::ConfigNodePtr node = m_services.config->child("Keyboard");
    const std::string stored = Ui::Keyboard::layoutSetting(*node, "find_layout", true, *m_services.layouts);
    if (!m_services.engine || m_services.engine->kind() != TextSearch::HousesKind) return stored;
    // House numbers need digits: a grid without them (the driver's choice
    // of "Letters") gives way to the first grid with digits for this step
    // only; the setting stays.
    const Ui::KeyboardGrid* grid = m_services.layouts->group(stored);
    if (grid && hasDigitKeys(*grid)) return stored;
    const std::string digits = firstGridWithDigits(*m_services.layouts);
    return digits.empty() ? stored : digits;
}

void fdPageFindX::updateValidLetters() {
    // A step that wants another grid (into or out of the house numbers)
    // gets a keyboard of its own, which comes back here.
    if (m_keyboard && stepLayout() != m_keyboardLayout) {
        openKeyboard();
        return;
    }
    if (!m_keyboard || !m_useValidLetters || !m_services.engine) return;
    TextSearch::Letters letters;
    // A walk that ran out of time knows only some letters: the keys stay
    // as they are unnarrowed. A complete answer is the truth, also when
    // nothing can follow (no letter key lit) and for the space, lit only
    // where a name goes on with one.
    if (m_services.engine->nextLetters(letters))
        m_keyboard->setValidLetters(std::move(letters));
    else
        m_keyboard->setValidLetters(Ui::Keyboard::AllLetters);
}

void fdPageFindX::setTitle(const std::string& message) {
    if (m_title && m_services.messages) {
        m_title->setText(m_services.messages->text(message));
        m_title->invalidate(0);
    }
}

void fdPageFindX::searchStarted(const std::string& titleMessage) {
    setTitle(titleMessage);
    showLabels();
    updateValidLetters();
}

void fdPageFindX::setTitleForKind(int kind) {
    switch (kind) {
    case TextSearch::CountriesKind:
        return searchStarted("find_country");
    case TextSearch::RegionsKind:
        return searchStarted("find_region");
    case TextSearch::DistrictsKind:
        return searchStarted("find_district");
    case TextSearch::CitiesKind:
        return searchStarted("find_city");
    case TextSearch::StreetsKind:
        return searchStarted("find_street");
    case TextSearch::PoisKind:
        return searchStarted("find_poi");
    case TextSearch::HousesKind:
        return searchStarted("find_address");
    default:
        showLabels();
        updateValidLetters();
    }
}

void fdPageFindX::prepareStreetSearch() {
    if (!m_services.engine) return;
    std::uint32_t level = 0;
    std::vector<Map::MapAndOffset> refs;
    if (!m_services.engine->history().lastFilter(level, refs)) level = 0;
    m_services.engine->search(TextSearch::StreetsKind, level, refs);
    searchStarted("find_address_street");
}

void fdPageFindX::preparePoiSearch(const std::vector<std::uint16_t>& types) {
    if (!m_services.engine) return;
    std::uint32_t level = 0;
    std::vector<Map::MapAndOffset> refs;
    if (!m_services.engine->history().lastFilter(level, refs)) level = 0;
    std::shared_ptr<const Map::WayPointsCollection> points;
    if (m_services.waypoints) points = std::make_shared<WayPointsCollectionConverter>(*m_services.waypoints);
    m_services.engine->searchPois(level, refs, std::move(points), TextSearch::PoiTypes(types.begin(), types.end()));
    searchStarted("find_poi");
}

bool fdPageFindX::keyDown(int key) {
    const int modifiers = ui()->keyModifiers() & (KMOD_CTRL | KMOD_SHIFT | KMOD_ALT);
    if (modifiers == 0 && (key == SDLK_RETURN || key == SDLK_KP_ENTER)) {
        childClicked("ok");
        return true;
    }
    if (modifiers == 0 && key == SDLK_ESCAPE) {
        childClicked("back");
        return true;
    }
    return m_keyboard && m_keyboard->keyDown(key);
}

void fdPageFindX::childClicked(const std::string& name) {
    TextSearch::Engine* engine = m_services.engine;
    if (name == "close" || name == "hide") {
        handleCommonCommand(name);
    } else if (name == "back") {
        closeMessageBox();
        if (engine) engine->reset();
        m_textChanged = false;
        showLabels();
        ui()->goBack();
        SearchResultCallbackPtr callback = m_callback;
        if (callback) callback->onBack();
        if (m_keepCallback)
            m_keepCallback = false;
        else
            m_callback.reset();
        updateValidLetters();
    } else if (name == "ok") {
        showResults();
    } else if (name == "mb") {
        closeMessageBox();
    } else if (name == "enter_box") {
        if (!engine) return;
        engine->nextVariant();
        showLabels();
    } else if (name == "kb") {
        if (m_keyboard) typeKey(m_keyboard->lastChild());
    }
}

void fdPageFindX::typeKey(const std::string& key) {
    TextSearch::Engine* engine = m_services.engine;
    if (!engine) return;
    m_textChanged = true;
    if (key == "[bsp]") {
        engine->removeKey();
    } else {
        engine->addKey(Core::utf8ToWide(key));
        if (engine->count() == 0) engine->removeKey();
    }
    showLabels();
    updateValidLetters();
}

std::int32_t fdPageFindX::listedCount() {
    TextSearch::Engine* engine = m_services.engine;
    if (!engine) return 0;
    if (!engine->isEmptyPoiQuery()) {
        // The hits count one object once per map that holds it, and a
        // waypoint of a type not chosen: the rows merge the one and leave
        // out the other. Hits that "ok" refuses to list are counted as such.
        const std::uint32_t hits = engine->count();
        if (hits == 0 || hits > static_cast<std::uint32_t>(m_maxSearchResults))
            return static_cast<std::int32_t>(std::min<std::uint32_t>(hits, INT32_MAX));
    }
    std::vector<TextSearch::ResultItem> rows;
    engine->collectResults(rows);
    return static_cast<std::int32_t>(rows.size());
}

bool fdPageFindX::okLists() const {
    const TextSearch::Engine* engine = m_services.engine;
    if (!engine) return false;
    // Only points of interest and houses are listed untyped; elsewhere
    // nothing typed (a text typed and erased, or a search begun afresh)
    // asks for nothing.
    const int kind = engine->kind();
    if (engine->text().empty()) return kind == TextSearch::PoisKind || kind == TextSearch::HousesKind;
    return m_textChanged;
}

void fdPageFindX::showLabels() {
    const std::u16string text = m_services.engine ? m_services.engine->text() : std::u16string();
    if (auto* label = dynamic_cast<Ui::fdStatic*>(widget("enter_label"))) {
        label->setText(text);
        label->invalidate(0);
    }
    if (auto* counter = dynamic_cast<Ui::fdStatic*>(widget("counter_label"))) {
        counter->setText(Core::utf8ToWide(std::to_string(listedCount())));
        counter->invalidate(0);
    }
    // "ok" looks as it acts: dead while it would do nothing. Too many hits
    // is an answer too (the box says so).
    if (Ui::fdWindowBase* ok = findChild("ok")) {
        const bool acts =
            okLists() || (m_services.engine &&
                          m_services.engine->count() > static_cast<std::uint32_t>(m_maxSearchResults));
        if (ok->enabled() != acts) {
            ok->setEnabled(acts);
            ok->invalidate(0);
        }
    }
}

std::int32_t fdPageFindX::distanceMetres(float carLatitude, float carLongitude, float latitude, float longitude) {
    const float dy = (carLatitude - latitude) * 111195.33f;
    const float dx = (carLongitude - longitude) * 0.017453292f * 6371023.0f *
                     std::cos(0.017453292f * (carLatitude + latitude) * 0.5f);
    const float d = std::sqrt(dx * dx + dy * dy) + 0.5f;
    const std::int32_t metres = static_cast<std::int32_t>(d);
    return metres < 0 ? -1 : metres;
}

void fdPageFindX::showResults() {
    TextSearch::Engine* engine = m_services.engine;
    if (!engine) return;
    if (engine->count() > static_cast<std::uint32_t>(m_maxSearchResults)) {
        if (!m_messageBox) {
            m_messageBox = Ui::createTemplateWindow(*this, "mb_ok", "mb");
            if (m_messageBox && m_services.messages)
                Ui::setMessageText(*m_messageBox, m_services.messages->text("find_overflow_err"));
        }
        return;
    }
    if (!okLists()) return;
    const int kind = engine->kind();
    m_textChanged = false;
    std::vector<TextSearch::ResultItem> rows;
    engine->collectResults(rows);
    auto* page = dynamic_cast<fdPageFindResults*>(ui()->findPage("pageResults"));
    if (!page || !page->results()) return;
    fdPageFindResults::ResultsList& list = *page->results();
    list.clear();
    std::optional<Map::Point> car;
    if ((kind == TextSearch::PoisKind || kind == TextSearch::HousesKind) && m_services.carPosition)
        car = m_services.carPosition();
    const Map::GeoPoint carGeo = car ? Map::Projection::toGeo(*car) : Map::GeoPoint{};
    for (const TextSearch::ResultItem& row : rows) {
        std::int32_t distance = -1;
        if (car) {
            const Map::GeoPoint at = Map::Projection::toGeo(row.point);
            distance = distanceMetres(carGeo.latitude, carGeo.longitude, at.latitude, at.longitude);
        }
        list.addRow(row, distance, shownName(kind, row, engine->maps(), m_services.styles));
    }
    list.finish(kind != TextSearch::HousesKind);
    page->setCallback(std::make_shared<ResultSelectionCallback>(*this, m_callback));
    m_callback.reset();
    ui()->goToPage(page);
}

void fdPageFindX::clearTypedText() {
    if (m_services.engine) m_services.engine->reset();
    m_textChanged = false;
    showLabels();
    updateValidLetters();
}

void fdPageFindX::typedTextKept() {
    // "ok" lists the kept text again.
    m_textChanged = true;
    showLabels();
    updateValidLetters();
}

void fdPageFindX::closeMessageBox() {
    if (!m_messageBox) return;
    Ui::removeTemplateWindow(*this, m_messageBox);
    invalidate(0);
}

} // namespace Screens
