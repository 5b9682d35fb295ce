#pragma once
// The coordinate entry pages: degrees, minutes and seconds
// ("pageSearchCoords") and decimal degrees ("pageSearchCoordsAlt"), typed
// on the page's own digit keys or the keyboard's. "ok" shows the position
// on the map with the map's point action; "switch" goes to the other page.
// The values, and which of the two pages was shown last, stay in the pages
// between visits.

#include "map/Point.h"
#include "ui/fdPage.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace Core {
class MessageTable;
}
namespace Ui {
class fdLabel;
class TemplateWindow;
} // namespace Ui

namespace Screens {

// What both pages share: the hemispheres, the common commands, showing the
// point and refusing a position off the globe.
class CoordsPageBase : public Ui::fdPage {
  public:
    CoordsPageBase(Ui::fdInterface* ui, std::string name, const Core::MessageTable* messages)
        : fdPage(ui, std::move(name), nullptr), m_messages(messages) {}

    void onShow() override;
    void childClicked(const std::string& name) override;
    // Escape leaves the page as "back" does; the keyboard's digit keys (the
    // main row's and the keypad's) type as the page's own keys do.
    bool keyDown(int key) override;

    // Degrees, negative south and west; nothing when out of range.
    virtual std::optional<Map::GeoPoint> position() const = 0;
    // The position as the labels show it, latitude then longitude: the
    // name the map's top box gives the shown point.
    virtual std::u16string positionText() const = 0;
    // Shown last of the two pages in this session: the search menu opens
    // the format the driver chose.
    bool chosen() const { return m_chosen; }
    bool north = true;
    bool east = true;

  protected:
    virtual void selectFirst() = 0;
    virtual void refreshLabels() = 0;
    // A page command of its own; false for an unknown one.
    virtual bool pageCommand(const std::string& name) = 0;
    virtual const char* otherPage() const = 0;
    // The page command of a key of the keyboard other than a digit; false
    // for none.
    virtual bool keyCommand(int) { return false; }
    std::u16string message(const char* name) const;
    void setLabel(const char* name, const std::u16string& text);
    // The cursor on the current box's label, off on the previous one.
    void moveCursor(const char* label);

  private:
    void showOnMap();
    void closeMessageBox();

    const Core::MessageTable* m_messages;
    bool m_chosen = false;
    Ui::fdLabel* m_cursor = nullptr;
    Ui::TemplateWindow* m_messageBox = nullptr;
};

class fdPageCoordsX final : public CoordsPageBase {
  public:
    fdPageCoordsX(Ui::fdInterface* ui, const Core::MessageTable* messages);

    std::optional<Map::GeoPoint> position() const override;
    std::u16string positionText() const override;
    // Latitude degrees, minutes, seconds, then longitude's.
    std::array<std::int32_t, 6> values{};
    std::int32_t current = 0;
    void typeDigit(std::int32_t digit);

  protected:
    void selectFirst() override { select(0); }
    void refreshLabels() override;
    bool pageCommand(const std::string& name) override;
    const char* otherPage() const override { return "pageSearchCoordsAlt"; }

  private:
    void select(std::int32_t box);
};

class fdPageCoordsAltX final : public CoordsPageBase {
  public:
    struct Decimal {
        std::int32_t degrees = 0;
        bool point = false;
        std::int32_t fraction = 0;
        std::int32_t digits = 0;
    };

    fdPageCoordsAltX(Ui::fdInterface* ui, const Core::MessageTable* messages);

    std::optional<Map::GeoPoint> position() const override;
    std::u16string positionText() const override;
    Decimal latitude, longitude;
    // 0 latitude, 3 longitude.
    std::int32_t current = 0;
    void typeDigit(std::int32_t digit);
    void typeDot();
    void backspace();
    std::u16string labelText(const Decimal& value, bool positive, const char* plus, const char* minus) const;

  protected:
    void selectFirst() override { select(0); }
    void refreshLabels() override;
    bool pageCommand(const std::string& name) override;
    const char* otherPage() const override { return "pageSearchCoords"; }
    bool keyCommand(int key) override;

  private:
    void select(std::int32_t field);
    Decimal& field() { return current == 0 ? latitude : longitude; }
};

// The coordinate page the search menu opens: the one the driver was on
// last in this session ("pageSearchCoords" at first).
const char* chosenCoordsPage(const Ui::fdInterface& ui);

} // namespace Screens
