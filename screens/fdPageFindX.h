#pragma once
// The find page ("pageFind"): the user types a name on the on-screen
// keyboard while the text search narrows the candidates; the keyboard
// offers only letters that can follow, a letter that leaves no match is
// refused, and "ok" lists the matches on the results page. What happens with
// the chosen match is the business of the result callback the caller set.

#include "ui/KeyboardOwner.h"
#include "screens/SearchCallbacks.h"
#include "screens/SearchServices.h"
#include "ui/Keyboard.h"
#include "ui/fdPage.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Ui {
class fdStatic;
class TemplateWindow;
} // namespace Ui

namespace Screens {

class fdPageFindX final : public Ui::fdPage, public Ui::KeyboardOwner {
  public:
    fdPageFindX(Ui::fdInterface* ui, SearchServices services);

    void afterBuild() override;
    void childClicked(const std::string& name) override;
    bool keyDown(int key) override;
    // Leaving the page closes the "too many results" box: it would cover
    // the keyboard of the next search.
    void onHide() override { closeMessageBox(); }

    // Opens the keyboard with the "find_layout" grid (at the house step one
    // with digits) and the used languages of the "Keyboard" settings; again
    // after they change.
    void openKeyboard();
    void reopenKeyboard() override { openKeyboard(); }
    // The street step of an address search, in the newest filter of the
    // history: titled as the address's step, not as the street search of
    // the menu's "Streets".
    void prepareStreetSearch();
    // A POI search of the sorted types (waypoint names included).
    void preparePoiSearch(const std::vector<std::uint16_t>& types);
    // The engine was set to a search (or its next step): the title of the
    // message, the count of what "ok" lists, and the keyboard's letters.
    void searchStarted(const std::string& titleMessage);
    // The same with the title of a search kind (another kind keeps the
    // title).
    void setTitleForKind(int kind);
    // The keyboard offers the letters that may follow (none when nothing
    // can, all when the engine ran out of time before it knew), on the
    // grid of the search's step.
    void updateValidLetters();

    void setCallback(SearchResultCallbackPtr callback) { m_callback = std::move(callback); }
    const SearchResultCallbackPtr& callback() const { return m_callback; }
    // Keeps the callback through the next "back" (the house step returning
    // to the street step sets it).
    void keepCallbackOnce() { m_keepCallback = true; }

    // A result was chosen: the typed text, its labels and the keys start
    // afresh.
    void clearTypedText();
    // Back from the results page: the typed text stays and may be listed
    // again.
    void typedTextKept();
    // The "too many results" box, while it is open.
    Ui::TemplateWindow* messageBox() const { return m_messageBox; }

    Ui::Keyboard* keyboard() const { return m_keyboard.get(); }
    bool textChanged() const { return m_textChanged; }
    std::int32_t maxSearchResults() const { return m_maxSearchResults; }
    const SearchServices& services() const { return m_services; }

    // Whole metres between two positions in degrees, computed in single
    // precision as the results page shows them; -1 when negative.
    static std::int32_t distanceMetres(float carLatitude, float carLongitude, float latitude, float longitude);

  private:
    // The stored search layout; at the house step, when it has no digits,
    // the first grid that has.
    std::string stepLayout() const;
    void setTitle(const std::string& message);
    void typeKey(const std::string& key);
    void showResults();
    // "ok" lists something: a typed text not listed yet, or, with nothing
    // typed, the places of a POI search or the houses of a street.
    bool okLists() const;
    // How many rows "ok" lists: the rows of the typed text (the engine's
    // hits when there are more than "ok" lists); with nothing typed in a
    // POI or house search, the rows listed untyped (the nearest places, the
    // street's houses).
    std::int32_t listedCount();
    // "enter_label" the typed text, "counter_label" the listed count.
    void showLabels();
    void closeMessageBox();

    SearchServices m_services;
    Ui::fdStatic* m_title = nullptr;
    Ui::PageKeyboardPtr m_keyboard;
    std::string m_keyboardLayout;
    bool m_useValidLetters = true;
    std::int32_t m_maxSearchResults = 100;
    bool m_textChanged = false;
    SearchResultCallbackPtr m_callback;
    bool m_keepCallback = false;
    Ui::TemplateWindow* m_messageBox = nullptr;
};

} // namespace Screens
