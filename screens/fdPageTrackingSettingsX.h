#pragma once
// The recording settings ("pageTrackingSettings"): the rule by which fixes
// are recorded (every fix, by time, by distance), the time and distance
// steps, and the colour and line size of new tracks. The page edits copies
// and gives them to the track manager on "ok".

#include "ui/fdPage.h"

#include <array>
#include <cstdint>

class fdTrackManager;
namespace Core {
class MessageTable;
}

namespace Screens {

class fdPageTrackingSettingsX : public Ui::fdPage {
  public:
    enum class Rule { None, EveryFix, ByTime, ByDistance };

    static constexpr std::array<int, 6> IntervalsMs = {1000, 3000, 5000, 7000, 10000, 30000};
    static constexpr std::array<float, 6> DistancesMetres = {3.0f, 5.0f, 10.0f, 15.0f, 20.0f, 30.0f};

    // The first step whose value is not below the stored one; an interval
    // above the last step gives step 0, a distance above it the last step.
    static int intervalStep(int milliseconds);
    static int distanceStep(float metres);
    // Sizes run 1-10 round: 0 gives 10, 11 gives 1.
    static int foldSize(int size) { return ((size + 9) % 10 + 10) % 10 + 1; }

    // The step labels are numbers with the unit words "second_short" and
    // "meter" of the messages (none: bare numbers).
    fdPageTrackingSettingsX(Ui::fdInterface* ui, fdTrackManager* tracks,
                            const Core::MessageTable* messages = nullptr);

    void afterBuild() override;
    void onShow() override;
    bool press(int x, int y) override;
    bool release(int x, int y) override;
    bool mouseMove(int x, int y) override;
    void childClicked(const std::string& name) override;

    Rule rule() const { return m_rule; }
    int intervalStepShown() const { return m_intervalStep; }
    int distanceStepShown() const { return m_distanceStep; }
    std::uint32_t colourIndex() const { return m_colourIndex; }
    int size() const { return m_size; }

  private:
    void showLabels();
    void showColour();

    fdTrackManager* m_tracks;
    const Core::MessageTable* m_messages;
    Rule m_rule = Rule::None;
    int m_intervalStep = 0;
    int m_distanceStep = 0;
    std::uint32_t m_colourIndex = 0;
    int m_size = 1;
    bool m_colourPressed = false;
};

} // namespace Screens
