#pragma once
// The sound player: short WAV samples named by ids 0 to 217 in sounds.xml,
// read from the data packages, converted to the output format when first
// needed and played as lists through SDL audio (22050 Hz, signed 16-bit,
// stereo). A list plays at once when nothing plays or when it has a higher
// priority than the list that plays; otherwise it is dropped.
//
// play, the switches and the schema are used from the main thread; SDL's
// audio thread mixes. The play list and the samples change only under the
// SDL audio lock.
//
// Without an audio device the player runs silent: the failure is logged
// once, the switches are kept, and every play is refused.

#include "guidance/SoundMixer.h"
#include "ui/SoundPlayer.h"

#include "core/ConfigNode.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace FileSystem {
class VirtualFs;
}

struct SDL_RWops;

namespace Guidance {

namespace detail {
// Whether the RIFF WAV stream has a data chunk and every chunk up to it,
// walked the way SDL's loader reads them, lies inside the stream: the
// loader allocates each at its declared length before reading it. The
// stream is left where it was.
bool wavChunksFitStream(SDL_RWops* stream);
} // namespace detail

class SoundSystem : public Ui::SoundPlayer {
public:
    static constexpr int SoundCount = 218;
    static constexpr int OutputRate = 22050;
    static constexpr int OutputChannels = 2;

    // Opens the audio device and reads the "Sound" node of the configuration
    // root: its `menu` and `navi` switches (default on), both left off when
    // the system volume is muted. Samples are opened through the file system,
    // which must outlive the player.
    SoundSystem(FileSystem::VirtualFs& fileSystem, const Core::ConfigNodePtr& configRoot);
    // Closes the device and frees every sample.
    ~SoundSystem() override;
    SoundSystem(const SoundSystem&) = delete;
    SoundSystem& operator=(const SoundSystem&) = delete;

    // Reads sounds.xml; false (logged) when the file can't be opened or is
    // not a "soundlist". Entries with an id outside 0..217 are logged and
    // skipped; a later entry for an id replaces an earlier one.
    bool loadSchema(const std::u16string& path);

    // Starts the list when the priority rule lets it (see above). True when
    // it started and every id of it has a sample; a list that started with
    // ids lacking samples plays the rest and returns false. Each sample is
    // loaded once, on its first play, and kept until the schema is read
    // again or the player closes.
    bool play(int priority, const std::vector<int>& soundIds) override;
    // The same, but the list also cuts off one that plays with a priority
    // of at most cuts.
    bool playOver(int priority, int cuts, const std::vector<int>& soundIds);

    bool menuSoundsOn() const override { return m_menuOn; }
    bool menuOn() const { return m_menuOn; }
    bool naviOn() const { return m_naviOn; }
    void setMenuSounds(bool on);
    void setNaviSounds(bool on);

    bool audioOpen() const { return m_audioOpen; }
    // True while a list is playing.
    bool playing() const;
    // A list of this priority would start now.
    bool accepts(int priority) const;
    // The number of the last list started and what became of a list (see
    // SoundMixer::lastList, listEnd).
    std::uint32_t lastList() const;
    ListEnd listEnd(std::uint32_t list) const;
    // The sample file of an id, empty when none is named.
    const std::string& fileName(int id) const;
    // How long the list plays: the samples played before by their length,
    // others a second each (a word of the phrase pack).
    double seconds(const std::vector<int>& soundIds) const;

private:
    static void mixCallback(void* self, unsigned char* stream, int length);
    bool load(int id, Sample& sample);

    FileSystem::VirtualFs& m_fileSystem;
    Core::ConfigNodePtr m_soundConfig;
    std::array<std::string, SoundCount> m_names;
    std::array<std::uint32_t, SoundCount> m_lengths{}; // bytes of each sample loaded once, 0 before
    bool m_menuOn = false;
    bool m_naviOn = false;
    int m_volume = SoundMixer::FullVolume;
    bool m_audioOpen = false;
    SoundMixer m_mixer;
};

} // namespace Guidance
