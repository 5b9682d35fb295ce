#pragma once
// The page shown while the user interface is being built at start-up: a
// progress bar, a state text and an animation. The page factory owns it
// rather than the interface, and deletes it once every page is built.

#include "ui/fdPage.h"

#include <cstdint>

namespace Ui {
class fdProgressBar;
class fdStatic;
} // namespace Ui

namespace engine {

class SplashPage final : public Ui::fdPage {
  public:
    SplashPage(Ui::fdInterface* ui, Ui::DesignContext* context);

    // The redraw flag: set once more than 100 ms have passed since the tick
    // counter's origin.
    void tick(std::uint32_t now) override;
    void afterBuild() override;

    // Range 0..n, the value pulled into it.
    void setProgressMaximum(std::int32_t maximum);
    // The value pulled into the range; the bar redraws.
    void setProgress(std::int32_t value);
    void setState(const std::u16string& text);

    bool needsRedraw() const { return m_redraw; }
    Ui::fdProgressBar* progressBar() const { return m_progress; }

  private:
    std::uint32_t m_startTime = 0;
    bool m_redraw = false;
    Ui::fdProgressBar* m_progress = nullptr;
    Ui::fdStatic* m_state = nullptr;
};

} // namespace engine
