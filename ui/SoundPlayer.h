#pragma once
// The sound service that buttons click through. The real player belongs to
// guidance; until it is wired in, SilentSoundPlayer stands in and says so
// once when it is made.

#include <vector>

namespace Ui {

class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    // The user's switch for menu click sounds.
    virtual bool menuSoundsOn() const = 0;
    // True when the list started and every sound of it can be played.
    virtual bool play(int priority, const std::vector<int>& soundIds) = 0;
};

class SilentSoundPlayer : public SoundPlayer {
public:
    // Logs "Sound player not available: interface sounds are off" (Normal).
    SilentSoundPlayer();
    bool menuSoundsOn() const override { return false; }
    bool play(int, const std::vector<int>&) override { return false; }
};

// The sound of a button click.
constexpr int ClickSoundId = 73;

} // namespace Ui
