#pragma once
// The search history page ("pageFilterHistory"): the found objects (from the
// search menu; a chosen one is shown on the map again) or the filters (from
// the filter page; a chosen one goes back to it), with deletion of the
// selected entry.

#include "screens/SearchCallbacks.h"
#include "search/SearchHistory.h"
#include "ui/ListModels.h"
#include "ui/fdPage.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Core {
class MessageTable;
}
namespace Render {
class RenderStyles;
}
namespace Ui {
class ButtonBindings;
class fdList;
} // namespace Ui

namespace Screens {

class SearchHistoryPage final : public Ui::fdPage {
  public:
    // The POI types' names, for the points of interest without a name of
    // their own; asked for at every fill, since the page is made before the
    // map renderer that holds them. Null (or giving null) names none.
    using StylesSource = std::function<Render::RenderStyles*()>;

    class HistoryListBase : public Ui::SimpleList {
      public:
        HistoryListBase(Ui::fdList& list, TextSearch::Engine* engine) : SimpleList(list), m_engine(engine) {}
        std::int32_t selectedIndex() const override { return m_selected; }
        // Reloads the entries, selects the first, back to the top.
        void refresh() override;
        void itemClicked(std::int32_t index) override;
        virtual void activate() = 0;
        virtual void cancel() = 0;
        // True when an entry was deleted.
        virtual bool remove() = 0;
        virtual bool isFoundList() const = 0;

      protected:
        virtual void reload() = 0;
        // The selection highlighted where it is on screen.
        void showSelection();
        TextSearch::Engine* m_engine;
        std::int32_t m_selected = -1;
    };

    class FilterHistoryList final : public HistoryListBase {
      public:
        FilterHistoryList(Ui::fdList& list, TextSearch::Engine* engine, std::shared_ptr<FilterSelectCallback> callback,
                          Ui::fdInterface* ui)
            : HistoryListBase(list, engine), m_callback(std::move(callback)), m_ui(ui) {}
        std::int32_t count() const override { return static_cast<std::int32_t>(m_filters.size()); }
        void fillText(Ui::fdStatic& text, std::int32_t index) override;
        void activate() override;
        void cancel() override;
        bool remove() override;
        bool isFoundList() const override { return false; }
        // A row whose place record cannot be read shows its level's prompt.
        void setMessages(const Core::MessageTable* messages) { m_messages = messages; }

      protected:
        void reload() override;

      private:
        std::vector<TextSearch::SearchHistory::Filter> m_filters;
        std::shared_ptr<FilterSelectCallback> m_callback;
        Ui::fdInterface* m_ui;
        const Core::MessageTable* m_messages = nullptr;
    };

    class SearchHistoryList final : public HistoryListBase {
      public:
        SearchHistoryList(Ui::fdList& list, TextSearch::Engine* engine, Ui::fdInterface* ui, StylesSource styles)
            : HistoryListBase(list, engine), m_ui(ui), m_styles(std::move(styles)) {}
        std::int32_t count() const override { return static_cast<std::int32_t>(m_items.size()); }
        void fillText(Ui::fdStatic& text, std::int32_t index) override;
        void activate() override;
        void cancel() override {}
        bool remove() override;
        bool isFoundList() const override { return true; }

      protected:
        void reload() override;

      private:
        std::vector<TextSearch::ResultItem> m_items;
        std::vector<int> m_kinds;
        Ui::fdInterface* m_ui;
        StylesSource m_styles;
    };

    SearchHistoryPage(Ui::fdInterface* ui, TextSearch::Engine* engine, const Core::MessageTable* messages,
                      const Ui::ButtonBindings* bindings, StylesSource styles = nullptr);

    void afterBuild() override;
    void onShow() override;
    void childClicked(const std::string& name) override;
    bool keyDown(int key) override;

    void showFilters(std::shared_ptr<FilterSelectCallback> callback);
    void showFoundObjects();
    HistoryListBase* model() const { return m_model.get(); }

  private:
    // The scroll buttons, the buttons that act on the chosen entry, and the
    // notice of an empty list.
    void updatePage();

    TextSearch::Engine* m_engine;
    const Core::MessageTable* m_messages;
    const Ui::ButtonBindings* m_bindings;
    StylesSource m_styles;
    Ui::fdList* m_list = nullptr;
    std::unique_ptr<HistoryListBase> m_model;
};

} // namespace Screens
