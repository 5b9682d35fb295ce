#pragma once
// What the list pages of tracks, waypoints and choosers share: the scroll
// buttons, paging by the bound keys, and telling which report of a tap on a
// list row to act on.

#include <cstdint>

namespace Ui {
class ButtonBindings;
class List;
class fdList;
class fdPage;
} // namespace Ui

namespace Screens {

// Enables the page's "up" and "down" buttons (when it has them) as far as
// the list can scroll that way, and redraws the page.
void updateListButtons(Ui::fdPage& page, const Ui::List* list);

// The shared paging key handler: the bound up key pages up, the bound down
// key pages down (then the buttons are updated). Every key counts as
// handled, so no key of a list page reaches the pages behind it.
bool pageListByKey(Ui::fdPage& page, Ui::List* list, const Ui::ButtonBindings* bindings, int key);

// The bound up key moves the highlight up one row (to the page's first row
// when it is on no row, so the list scrolls by pages only on "up"), the
// bound down key pages down. True when the key was one of them.
bool moveHighlightByKey(Ui::List& list, const Ui::ButtonBindings* bindings, int key);

// A tap on a row reports the list twice, when the row is pressed and again
// when it is released on the same row; a button inside the row reports only
// at the release. True for the report a page acts on: the press, or a
// release that no press of a row came before (a button in the row, or a
// page command given directly).
class ListTap {
  public:
    bool accept(const Ui::fdList& list);

  private:
    bool m_pressed = false;
};

} // namespace Screens
