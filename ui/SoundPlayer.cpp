#include "ui/SoundPlayer.h"

#include "core/Log.h"

namespace Ui {

SilentSoundPlayer::SilentSoundPlayer() {
    Log::log(Log::Normal, "Sound player not available: interface sounds are off");
}

} // namespace Ui
