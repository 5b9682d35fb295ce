#pragma once
// What the program's list pages share: the "up" and "down" buttons that
// follow the list's scroll position, the buttons themselves for a page whose
// design does not place its own, and the paging key handler.

#include <string>

namespace Ui {

class ButtonBindings;
class fdPage;
class fdWindowBase;
class List;

namespace ListPage {

// "up" and "down" of the page enabled when the list can scroll that way;
// both disabled without a list. A page without the buttons is left alone.
void updateUpDownButtons(fdWindowBase& page, const List* list);
// The same, under the name the history pages use.
void updateScrollButtons(fdWindowBase& page, const List* list);

// A page whose design places no "up" and "down" gets them from the design
// template "list_updown"; their clicks reach the page as "up" and "down".
// Null when the page has its own buttons or the template is missing.
fdWindowBase* addUpDownButtons(fdPage& page);

// The shared paging key handler: a key bound to up pages the list up, one
// bound to down pages it down (with sideways, left pages up and right down
// as well), then the buttons follow. Every key counts as handled, so
// returns true.
bool pagingKey(fdWindowBase& page, List* list, const ButtonBindings* bindings, int key, bool sideways = false);

// The shared handler of the page commands "up" and "down": the list (when
// there is one) pages that way, then the buttons follow. False, doing
// nothing, for any other command.
bool pageCommand(fdWindowBase& page, List* list, const std::string& name);
// The same for a page whose "up" and "down" move the list by one row.
bool rowCommand(fdWindowBase& page, List* list, const std::string& name);

} // namespace ListPage

} // namespace Ui
