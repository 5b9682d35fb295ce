#pragma once
// The list widget (rows built from an item template; the list model fills
// them and owns the scrolling), the slider and the progress bar.

#include "ui/DesignTypes.h"
#include "ui/Material.h"
#include "ui/fdStatic.h"

namespace Ui {

class TemplateWindow;

class fdList : public fdWindowBase {
public:
    fdList(fdWindowBase* parent, std::string name, bool attach, fdInterface* ui, DesignContext* context)
        : fdWindowBase(parent, std::move(name), attach, ui), m_context(context) {}

    // Replaces the rows (the old ones are queued for deletion) by count
    // rows that share the list's height.
    void buildRows(const TemplateDescription& itemTemplate, std::uint32_t count, const Material& selection);
    TemplateWindow* rowWidget(std::size_t index) const;
    std::size_t rowCount() const { return m_rows.size(); }
    // Gives the row's background the selection material (and the old one
    // its own back); -1 selects nothing.
    void select(std::int32_t index);
    std::int32_t selectedRow() const { return m_selected; }

    // Draws the used rows only.
    void draw(SDL_Surface* surface, TempSurface& clip, bool force) override;
    bool mouseButtonDown(int button, int x, int y) override;
    bool mouseButtonUp(int button, int x, int y) override;
    bool mouseMove(int x, int y) override;
    bool press(int x, int y) override;
    bool release(int x, int y) override;
    // A row reports a tap by its index; the list selects it and reports its
    // own name to its parent. Rows at or past the used count are ignored.
    void childClicked(const std::string& name) override;

    // Read and written by the list models.
    std::uint32_t usedRows = 0;
    bool releaseClick = false;
    // True while the release of a pressed row reports it again; a press
    // released elsewhere leaves no such report behind.
    bool rowRelease = false;

private:
    struct Row {
        TemplateWindow* window;
        Material normal;
    };
    DesignContext* m_context;
    std::vector<Row> m_rows;
    Material m_selection;
    std::int32_t m_selected = -1;
    TemplateWindow* m_pressedRow = nullptr;
    bool m_inRelease = false;
};

class fdSlider : public fdStatic {
public:
    using fdStatic::fdStatic;

    // The track, and the thumb where the value stands; an empty range (a
    // text that all fits) draws no thumb.
    void draw(SDL_Surface* surface, TempSurface& clip, bool force) override;
    bool press(int x, int y) override;
    bool release(int x, int y) override;
    bool mouseMove(int x, int y) override;
    // The value under a point of the track; the current value off it.
    std::int32_t valueAt(int x, int y) const;

    bool horizontal = true;
    bool notifyWhileDragging = false;
    std::int32_t minimum = 0, maximum = 100, value = 0;
    std::int32_t thumbWidth = 10, thumbHeight = 10;
    Render::Image* thumb = nullptr;

private:
    bool m_dragging = false;
};

class fdProgressBar : public fdStatic {
public:
    using fdStatic::fdStatic;

    // The foreground covers the part of the bar the value reaches (from the
    // left, or from the bottom up); the value is clamped to the range and
    // an empty range draws no foreground.
    void draw(SDL_Surface* surface, TempSurface& clip, bool force) override;
    // The foreground extent in pixels for a bar of that length.
    std::int32_t fillLength(std::int32_t length) const;

    bool horizontal = true;
    std::int32_t minimum = 0, maximum = 100, value = 0;
    Material foreground;
};

} // namespace Ui
