#pragma once
// The information page ("info"): a title line, the program version and a
// scrollable text, one line per list row, with a slider and up/down buttons
// kept in step with the list. The main menu hands it the text of
// "info.txt"; the atlases page the names of an atlas's maps.

#include "ui/ListModels.h"
#include "ui/fdPage.h"

#include <memory>
#include <string>
#include <vector>

namespace Ui {
class ButtonBindings;
class fdSlider;
} // namespace Ui

namespace Screens {

// One text line per row.
class TextsList final : public Ui::SimpleList {
  public:
    TextsList(Ui::fdList& list, std::vector<std::u16string> lines)
        : SimpleList(list), m_lines(std::move(lines)) {}

    std::int32_t count() const override { return static_cast<std::int32_t>(m_lines.size()); }
    void fillText(Ui::fdStatic& text, std::int32_t index) override;
    void itemClicked(std::int32_t) override {}

    const std::vector<std::u16string>& lines() const { return m_lines; }

    // The text's lines: split at every line feed, carriage returns removed,
    // trailing empty lines dropped.
    static std::vector<std::u16string> splitLines(const std::u16string& text);

  private:
    std::vector<std::u16string> m_lines;
};

class InfoPage final : public Ui::fdPage {
  public:
    // The version the page shows.
    static constexpr const char16_t* Version = u"2.9.0.2230";

    // bindings may be null (the default keys).
    InfoPage(Ui::fdInterface* ui, const Ui::ButtonBindings* bindings);

    void afterBuild() override;
    void onShow() override;
    bool keyDown(int key) override;
    void childClicked(const std::string& name) override;

    // The title into "name", the text into the list (replacing the old one).
    void setText(const std::u16string& title, const std::u16string& text);

    const TextsList* texts() const { return m_texts.get(); }
    Ui::fdSlider* slider() const { return m_slider; }

  private:
    // up/down enabled from the list; with updateSlider the slider follows
    // the list first.
    void synchronise(bool updateSlider);

    const Ui::ButtonBindings* m_bindings;
    std::unique_ptr<TextsList> m_texts;
    Ui::fdList* m_list = nullptr;
    Ui::fdSlider* m_slider = nullptr;
};

} // namespace Screens
