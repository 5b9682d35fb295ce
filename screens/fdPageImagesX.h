#pragma once
// The image chooser ("pageImages"): the icons a waypoint may show, several
// to a row; "ok" gives the chosen one to the point.

#include "screens/ListPageSupport.h"
#include "ui/ListModels.h"
#include "ui/fdPage.h"

#include <memory>

class fdWPManager;

namespace Ui {
class ButtonBindings;
}

namespace Screens {

class fdPageImagesX : public Ui::fdPage {
  public:
    // Rows of image cells: the row's children "0", "1", ... are the cells
    // (checked buttons), each showing its icon in the row's "img_<n>".
    class ImagesList : public Ui::List {
      public:
        ImagesList(Ui::fdList& list, fdWPManager& waypoints);

        std::int32_t count() const override;
        void fillEmptyRow(Ui::TemplateWindow& row) override;
        void fillRow(Ui::TemplateWindow& row, std::int32_t index) override;
        // The cell that reported the click (the row's last child) becomes
        // the selection.
        void itemClicked(std::int32_t index) override;

        // No selection, first row.
        void reset();
        // Selects the position and scrolls its row into view.
        void select(std::int32_t position);
        std::int32_t selection() const { return m_selection; }
        std::int32_t cellsPerRow() const { return m_cellsPerRow; }

      private:
        void fillCells(Ui::TemplateWindow& row, std::int32_t index);

        fdWPManager& m_waypoints;
        std::int32_t m_cellsPerRow = 1;
        std::int32_t m_selection = -1;
    };

    fdPageImagesX(Ui::fdInterface* ui, fdWPManager* waypoints, const Ui::ButtonBindings* bindings);

    void afterBuild() override;
    bool keyDown(int key) override;
    void childClicked(const std::string& name) override;

    // The point whose image is chosen; its current image is selected.
    void prepare(std::int32_t point);
    ImagesList* model() const { return m_model.get(); }

  private:
    fdWPManager* m_waypoints;
    const Ui::ButtonBindings* m_bindings;
    std::unique_ptr<ImagesList> m_model;
    std::int32_t m_point = -1;
    ListTap m_tap;
};

} // namespace Screens
