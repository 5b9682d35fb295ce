#pragma once
// What the program's list pages share: the "up" and "down" buttons that
// follow the list's scroll position, the buttons themselves for a page whose
// design does not place its own, the notice of an empty list, and the paging
// key handler.

#include <initializer_list>
#include <string>
#include <string_view>

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
// The page's buttons of those names (those it has) enabled or disabled:
// the buttons that act on a chosen row look dead while none is chosen.
void enableButtons(fdWindowBase& page, std::initializer_list<const char*> names, bool enabled);

// The page's "empty_notice" label, where the design places one, shows the
// text (wrapped to the label's width) while the page has nothing to list,
// and the page's "list" is hidden meanwhile (group headers without items
// say less than the notice); with something to list the notice goes and
// the list shows. A page without the label is left alone.
void updateEmptyNotice(fdWindowBase& page, bool empty, std::u16string_view text);
// The same, empty when the list model has no items or there is none.
void updateEmptyNotice(fdWindowBase& page, const List* list, std::u16string_view text);

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
