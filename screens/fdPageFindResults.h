#pragma once
// The results page ("pageResults"): the matches of a search by page, each
// with its name, detail text and, where known, distance from the car. A
// tapped row goes back to the find page and to the search's callback;
// "back" returns to the find page with the search as it was.

#include "screens/SearchCallbacks.h"
#include "ui/ListModels.h"
#include "ui/fdPage.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Core {
class MessageTable;
}
namespace Ui {
class ButtonBindings;
class fdList;
} // namespace Ui

namespace Screens {

class fdPageFindResults final : public Ui::fdPage {
  public:
    struct Row {
        // As the search gave it: the callback gets it, the history keeps it.
        TextSearch::ResultItem item;
        // Metres, -1 when unknown.
        std::int32_t distance = -1;
        // The name the row shows (an unnamed POI's type name).
        std::u16string shown;
    };

    class ResultsList final : public Ui::List {
      public:
        ResultsList(Ui::fdList& list, fdPageFindResults& page) : List(list), m_page(page) {}
        void clear();
        // shown: the name the row shows, empty for the item's own.
        void addRow(const TextSearch::ResultItem& item, std::int32_t distance, std::u16string shown = {});
        // Shown name order, then (when distances are shown and known) nearest
        // first, equal distances keeping the name order.
        void finish(bool showDistances);

        std::int32_t count() const override { return static_cast<std::int32_t>(m_rows.size()); }
        void fillEmptyRow(Ui::TemplateWindow& row) override;
        void fillRow(Ui::TemplateWindow& row, std::int32_t index) override;
        void itemClicked(std::int32_t index) override;
        const std::vector<Row>& rows() const { return m_rows; }
        bool hasDistances() const { return m_hasDistances; }

      private:
        fdPageFindResults& m_page;
        std::vector<Row> m_rows;
        bool m_hasDistances = false;
    };

    fdPageFindResults(Ui::fdInterface* ui, const Core::MessageTable* messages, const Ui::ButtonBindings* bindings);

    void afterBuild() override;
    void onShow() override;
    void childClicked(const std::string& name) override;
    bool keyDown(int key) override;

    // Null when the design has no "list".
    ResultsList* results() const { return m_results.get(); }
    void setCallback(SearchResultCallbackPtr callback) { m_callback = std::move(callback); }
    const SearchResultCallbackPtr& callback() const { return m_callback; }
    // "index_label" and the up and down buttons after the list moved.
    void updatePosition();
    // "page/pages"; a list without rows per page is one page, an empty list
    // none (an empty text).
    static std::u16string pageLabel(std::int32_t firstVisible, std::int32_t rowsPerPage, std::int32_t count);

  private:
    friend class ResultsList;
    void choose(const Row& row);

    const Core::MessageTable* m_messages;
    const Ui::ButtonBindings* m_bindings;
    std::unique_ptr<ResultsList> m_results;
    SearchResultCallbackPtr m_callback;
};

} // namespace Screens
