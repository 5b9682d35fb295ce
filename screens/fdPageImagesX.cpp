#include "screens/fdPageImagesX.h"

#include "ui/ListPage.h"
#include "ui/BgRenderers.h"
#include "ui/fdButtonX.h"
#include "ui/fdInterface.h"
#include "ui/fdList.h"
#include "userdata/fdWPManager.h"

#include <cctype>
#include <string>

#include <SDL/SDL_keysym.h>

namespace Screens {

namespace {

// The cell number of a child name, -1 for any other name.
std::int32_t cellNumber(const std::string& name) {
    if (name.empty() || name.size() > 4)
        return -1;
    std::int32_t n = 0;
    for (const char c : name) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return -1;
        n = n * 10 + (c - '0');
    }
    return n;
}

} // namespace

fdPageImagesX::ImagesList::ImagesList(Ui::fdList& list, fdWPManager& waypoints)
    : List(list), m_waypoints(waypoints) {
    if (Ui::TemplateWindow* row = list.rowWidget(0)) {
        std::int32_t cells = 1;
        while (row->findChild(std::to_string(cells)) != nullptr)
            ++cells;
        m_cellsPerRow = row->findChild("0") != nullptr ? cells : 1;
    }
}

std::int32_t fdPageImagesX::ImagesList::count() const {
    const auto icons = static_cast<std::int32_t>(m_waypoints.icons().size());
    return (icons + m_cellsPerRow - 1) / m_cellsPerRow;
}

void fdPageImagesX::ImagesList::fillEmptyRow(Ui::TemplateWindow& row) { fillCells(row, -1); }

void fdPageImagesX::ImagesList::fillRow(Ui::TemplateWindow& row, std::int32_t index) { fillCells(row, index); }

void fdPageImagesX::ImagesList::fillCells(Ui::TemplateWindow& row, std::int32_t index) {
    const auto icons = static_cast<std::int32_t>(m_waypoints.icons().size());
    for (std::int32_t c = 0; c < m_cellsPerRow; ++c) {
        auto* cell = dynamic_cast<Ui::fdCheckedButton*>(row.findChild(std::to_string(c)));
        if (cell == nullptr)
            continue;
        const std::int32_t p = index < 0 ? icons : index * m_cellsPerRow + c;
        if (p >= icons) {
            cell->setVisible(false);
            continue;
        }
        // The page keeps one cell checked; the cell does not toggle itself.
        cell->setToggleOnClick(false);
        cell->setVisible(true);
        cell->setChecked(p == m_selection);
        if (auto* image = dynamic_cast<Ui::fdStatic*>(row.findChild("img_" + std::to_string(c)))) {
            if (image->bgRenderer() == nullptr || image->bgRenderer()->kind() != 4)
                image->setBgRenderer(std::make_unique<Ui::AlignedImageBgRenderer>());
            image->setImage(m_waypoints.icons()[std::size_t(p)]);
            image->invalidate(1);
        }
    }
}

void fdPageImagesX::ImagesList::itemClicked(std::int32_t index) {
    if (index < 0)
        return;
    Ui::TemplateWindow* row = list().rowWidget(static_cast<std::size_t>(index - firstVisibleIndex()));
    const std::int32_t c = row != nullptr ? cellNumber(row->lastChild()) : -1;
    if (c < 0 || c >= m_cellsPerRow)
        return;
    const std::int32_t p = index * m_cellsPerRow + c;
    if (p >= static_cast<std::int32_t>(m_waypoints.icons().size()))
        return;
    m_selection = p;
    refill();
}

void fdPageImagesX::ImagesList::reset() {
    m_selection = -1;
    scrollTo(0);
    refill();
}

void fdPageImagesX::ImagesList::select(std::int32_t position) {
    m_selection = position;
    ensureVisible(position / m_cellsPerRow);
    refill();
}

fdPageImagesX::fdPageImagesX(Ui::fdInterface* ui, fdWPManager* waypoints, const Ui::ButtonBindings* bindings)
    : fdPage(ui, "pageImages", nullptr), m_waypoints(waypoints), m_bindings(bindings) {}

void fdPageImagesX::afterBuild() {
    auto* list = dynamic_cast<Ui::fdList*>(widget("list"));
    if (list != nullptr && m_waypoints != nullptr)
        m_model = std::make_unique<ImagesList>(*list, *m_waypoints);
}

void fdPageImagesX::prepare(std::int32_t point) {
    m_point = point;
    if (m_model == nullptr || m_waypoints == nullptr)
        return;
    const std::int32_t image = point >= 0 && static_cast<std::size_t>(point) < m_waypoints->pointCount()
                                   ? m_waypoints->storedPoint(static_cast<std::size_t>(point)).imageIndex
                                   : -1;
    // The manager keeps a point's image index as its position in the icon
    // list, so the index is the position to select.
    if (image < 0 || static_cast<std::size_t>(image) >= m_waypoints->icons().size())
        m_model->reset();
    else
        m_model->select(image);
    Ui::ListPage::updateUpDownButtons(*this, m_model.get());
}

bool fdPageImagesX::keyDown(int key) {
    // The list takes every key; Escape still leads out as "back" does.
    if (key == SDLK_ESCAPE) {
        childClicked("back");
        return true;
    }
    return Ui::ListPage::pagingKey(*this, m_model.get(), m_bindings, key);
}

void fdPageImagesX::childClicked(const std::string& name) {
    if (Ui::ListPage::pageCommand(*this, m_model.get(), name))
        return;
    if (name == "button_ok") {
        if (m_point < 0 || m_model == nullptr || m_model->selection() < 0 || m_waypoints == nullptr)
            return;
        m_waypoints->setImage(static_cast<std::size_t>(m_point), static_cast<std::size_t>(m_model->selection()));
        ui()->goBack();
    } else if (name == "list") {
        // Only a cell's click chooses: a press on the row between the
        // cells reports the list too, but names no cell.
        if (m_model == nullptr || !m_tap.accept(m_model->list()) || !m_model->list().releaseClick)
            return;
        m_model->activateSelected();
        Ui::ListPage::updateUpDownButtons(*this, m_model.get());
    } else {
        handleCommonCommand(name);
    }
}

} // namespace Screens
