#pragma once
// What the list pages of tracks, waypoints and choosers add to the shared
// list-page helpers (ui/ListPage.h): moving the highlight by the bound keys,
// telling which report of a tap on a list row to act on, and emptying a row
// of a check box and a text.

#include <cstdint>
#include <string>

namespace Ui {
class ButtonBindings;
class List;
class fdList;
class fdPage;
class fdWindowBase;
class TemplateWindow;
} // namespace Ui

namespace Screens {

// The bound up key moves the highlight up one row (to the page's first row
// when it is on no row, so the list scrolls by pages only on "up"), the
// bound down key pages down; then the page's "up" and "down" follow. True
// when there is a list and the key was one of them.
bool moveHighlightByKey(Ui::fdWindowBase& page, Ui::List* list, const Ui::ButtonBindings* bindings, int key);

// A tap on a row reports the list twice, when the row is pressed and again
// when it is released on the same row; a button inside the row reports only
// at the release. True for the report a page acts on: the press, or a
// release that is not the pressed row's own (a button in the row, or a
// page command given directly). The list says which release is which, so
// a press released off its row leaves nothing that could swallow the next
// tap.
class ListTap {
  public:
    bool accept(const Ui::fdList& list);
};

// The list commands of a page that pages its list and acts on a tapped row:
// "up" and "down" page the list (ui/ListPage.h), "list" activates the
// highlighted row once a tap (see ListTap); the buttons follow. False,
// doing nothing, for any other command.
bool listCommand(Ui::fdWindowBase& page, Ui::List* list, ListTap& tap, const std::string& name);

// A row past the last of a list whose rows show a check box ("check_show")
// and a text ("text"): both unchecked, empty and hidden.
void hideCheckRow(Ui::TemplateWindow& row);

} // namespace Screens
