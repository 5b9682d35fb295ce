#include "app/SplashPage.h"

#include "ui/fdInterface.h"
#include "ui/fdList.h"
#include "ui/fdStatic.h"

#include <algorithm>

namespace engine {

SplashPage::SplashPage(Ui::fdInterface* ui, Ui::DesignContext* context) : fdPage(ui, "splash", context) {}

void SplashPage::tick(std::uint32_t now) {
    m_redraw = now - m_startTime > 100;
    fdPage::tick(now);
}

void SplashPage::afterBuild() {
    // A design whose splash lacks a piece still starts: the missing piece is
    // logged once and the progress goes unshown.
    m_progress = dynamic_cast<Ui::fdProgressBar*>(widget("progress"));
    m_state = dynamic_cast<Ui::fdStatic*>(widget("state"));
    if (auto* animation = dynamic_cast<Ui::fdMultiStatic*>(widget("animation")))
        animation->setAnimationPeriod(300);
}

void SplashPage::setProgressMaximum(std::int32_t maximum) {
    if (!m_progress)
        return;
    m_progress->minimum = 0;
    m_progress->maximum = maximum;
    m_progress->value = std::clamp(m_progress->value, 0, std::max(maximum, 0));
    m_progress->invalidate(0);
}

void SplashPage::setProgress(std::int32_t value) {
    if (!m_progress)
        return;
    m_progress->value = std::clamp(value, m_progress->minimum, std::max(m_progress->minimum, m_progress->maximum));
    m_progress->invalidate(0);
}

void SplashPage::setState(const std::u16string& text) {
    if (m_state)
        m_state->setText(text);
}

} // namespace engine
