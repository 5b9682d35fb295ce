#pragma once
// The route's street list ("pageStreetList"): the streets of the current
// route in driving order, each with the distance driven along it; a tapped
// street centres the map on the start of its run. The map page fills it
// from the route before opening it.

#include "routing/Path.h"
#include "ui/ListModels.h"
#include "ui/fdPage.h"

#include <memory>
#include <string>
#include <vector>

namespace Core {
class MessageTable;
}
namespace Ui {
class ButtonBindings;
}

namespace Screens {

class fdPageStreetListX final : public Ui::fdPage {
  public:
    class StreetsList final : public Ui::SimpleList {
      public:
        StreetsList(Ui::fdList& list, fdPageStreetListX& page) : SimpleList(list), m_page(page) {}
        std::int32_t count() const override { return static_cast<std::int32_t>(rows.size()); }
        // "<street> <distance>".
        void fillText(Ui::fdStatic& text, std::int32_t index) override;
        void itemClicked(std::int32_t index) override;
        // Back to the first row.
        void toTop() {
            resetPosition();
            refresh();
        }
        std::vector<StreetRun> rows;

      private:
        fdPageStreetListX& m_page;
    };

    fdPageStreetListX(Ui::fdInterface* ui, const Core::MessageTable* messages, const Ui::ButtonBindings* bindings);

    void afterBuild() override;
    void onShow() override;
    void childClicked(const std::string& name) override;
    bool keyDown(int key) override;

    // Replaces the rows (the route's runs) and goes back to the top.
    void setStreets(std::vector<StreetRun> rows);
    StreetsList* streets() const { return m_streets.get(); }
    std::u16string rowText(const StreetRun& row) const;

  private:
    const Core::MessageTable* m_messages;
    const Ui::ButtonBindings* m_bindings;
    std::unique_ptr<StreetsList> m_streets;
};

} // namespace Screens
