#pragma once
// The system's sound library under SDL's audio.

namespace Platform {

// ALSA writes its own error lines to the terminal whenever SDL looks for a
// sound card and finds none; the program logs that it runs silent, so those
// lines are switched off here, before SDL opens the library. Does nothing
// where ALSA is not installed. Safe to call more than once.
void silenceSoundLibraryErrors();

} // namespace Platform
