#pragma once
// The callbacks that carry a search from the search menu through the find
// and results pages to the map page, or to its next step: the houses of a
// chosen street, or back to the POI type choice. Pages hold them as shared
// pointers; a callback that starts a next step keeps the one it came from,
// so that "back" returns one step.

#include "screens/PoiTypeCallbacks.h"
#include "search/ResultItem.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace TextSearch {
class Engine;
}
namespace Ui {
class fdInterface;
}

namespace Screens {

// Centres the map page on the point (with the map's point action when
// asked, the top box naming it by the title) and shows it without a history
// entry; false without a map page.
bool showOnMapPage(Ui::fdInterface* ui, Map::Point point, bool runAction, const std::u16string& title = {});
// Shows a chosen result of a search of that kind on the map page (named
// and zoomed to, see fdPageMap::showFound) and the map page without a
// history entry; false without a map page.
bool showFoundOnMapPage(Ui::fdInterface* ui, TextSearch::Engine* engine, int kind, const TextSearch::ResultItem& item);

class SearchResultCallback {
  public:
    virtual ~SearchResultCallback() = default;
    virtual void onResult(const TextSearch::ResultItem& item) = 0;
    // The user stepped back from the search.
    virtual void onBack() = 0;

    SearchResultCallback() = default;
    SearchResultCallback(const SearchResultCallback&) = delete;
    SearchResultCallback& operator=(const SearchResultCallback&) = delete;
};
using SearchResultCallbackPtr = std::shared_ptr<SearchResultCallback>;

// How the filter history page hands a chosen filter back to the filter
// page, or tells it that nothing was chosen.
class FilterSelectCallback {
  public:
    virtual ~FilterSelectCallback() = default;
    virtual void filterSelected(std::uint32_t level, const std::vector<Map::MapAndOffset>& objects) = 0;
    virtual void cancelled() = 0;

    FilterSelectCallback() = default;
    FilterSelectCallback(const FilterSelectCallback&) = delete;
    FilterSelectCallback& operator=(const FilterSelectCallback&) = delete;
};

// What the search menu needs of the POI type chooser ("select_poi_types"):
// its check boxes set before it is opened, and the callback that receives
// the choice (again on the way back from the POI search, checks kept).
class PoiTypesChooser {
  public:
    virtual ~PoiTypesChooser() = default;
    virtual void prepare(bool checked) = 0;
    virtual void setCallback(std::shared_ptr<SelectPoiTypesResultCallback> callback) = 0;
};

// Records the result in the search history under its kind, centres the map
// page on it with the map's point action, and shows the map.
class FindObjectOnMapCallbalck : public SearchResultCallback {
  public:
    FindObjectOnMapCallbalck(TextSearch::Engine* engine, Ui::fdInterface* ui, int kind)
        : m_engine(engine), m_ui(ui), m_kind(kind) {}
    void onResult(const TextSearch::ResultItem& item) override { showOnMap(item); }
    void onBack() override {}
    int kind() const { return m_kind; }

  protected:
    void showOnMap(const TextSearch::ResultItem& item);

    TextSearch::Engine* m_engine;
    Ui::fdInterface* m_ui;
    int m_kind;
};

// An address: a street with houses asks for the house number next.
class FindStreetForAddressCallbalck : public FindObjectOnMapCallbalck,
                                      public std::enable_shared_from_this<FindStreetForAddressCallbalck> {
  public:
    FindStreetForAddressCallbalck(TextSearch::Engine* engine, Ui::fdInterface* ui);
    void onResult(const TextSearch::ResultItem& item) override;
};

class FindHouseForAddressCallbalck : public FindObjectOnMapCallbalck {
  public:
    FindHouseForAddressCallbalck(TextSearch::Engine* engine, Ui::fdInterface* ui,
                                 std::shared_ptr<FindStreetForAddressCallbalck> street);
    // Back to typing the street, with the street's callback.
    void onBack() override;

  private:
    std::shared_ptr<FindStreetForAddressCallbalck> m_street;
};

class SelectPoiTypesForPoiSearchCallback;

class FindPoiCallbalck : public FindObjectOnMapCallbalck {
  public:
    FindPoiCallbalck(TextSearch::Engine* engine, Ui::fdInterface* ui,
                     std::shared_ptr<SelectPoiTypesForPoiSearchCallback> types);
    // Back to the type choice.
    void onBack() override;

  private:
    std::shared_ptr<SelectPoiTypesForPoiSearchCallback> m_types;
};

class SelectPoiTypesForPoiSearchCallback : public SelectPoiTypesResultCallback,
                                           public std::enable_shared_from_this<SelectPoiTypesForPoiSearchCallback> {
  public:
    SelectPoiTypesForPoiSearchCallback(TextSearch::Engine* engine, Ui::fdInterface* ui) : m_engine(engine), m_ui(ui) {}
    // Starts the POI search over the chosen types.
    void result(const std::vector<std::uint16_t>& types) override;

  private:
    TextSearch::Engine* m_engine;
    Ui::fdInterface* m_ui;
};

} // namespace Screens
