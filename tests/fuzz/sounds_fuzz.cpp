// sounds.xml and the WAV samples it names: the schema read, and a sample
// loaded and converted through SDL as the player does before it plays. The
// first byte picks which of the two files the rest of the input is.
#include "core/Config.h"
#include "core/Text.h"
#include "core/VirtualFs.h"
#include "guidance/SoundSystem.h"
#include "tests/fuzz/FuzzInput.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput::quietLog();
    if (size == 0)
        return 0;
    // Samples are opened as "<folder>/<name>" from the data root, so the
    // root is the scratch folder's parent.
    static const std::u16string folder = FuzzInput::scratchFolder();
    static const std::size_t cut = folder.find_last_of(u'/', folder.size() - 2);
    static FileSystem::VirtualFs files(folder.substr(0, cut + 1));
    static Core::Config config;
    static const std::string src = Core::wideToUtf8(folder.substr(cut + 1)) + "sample.wav";
    static const std::string names =
        "<soundlist><sound id=\"1\" src=\"" + src + "\"/><sound id=\"2\" src=\"" + src + "\"/></soundlist>";
    static const std::u16string namesPath =
        FuzzInput::scratchFile("names.xml", reinterpret_cast<const std::uint8_t*>(names.data()), names.size());
    static Guidance::SoundSystem* player = [] {
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        return new Guidance::SoundSystem(files, config.root());
    }();
    static int priority = 0;
    if (data[0] % 2 == 0) {
        player->loadSchema(FuzzInput::scratchFile("sounds.xml", data + 1, size - 1));
        for (int id = 0; id < Guidance::SoundSystem::SoundCount; ++id)
            player->fileName(id);
        return 0;
    }
    player->loadSchema(namesPath);
    FuzzInput::scratchFile("sample.wav", data + 1, size - 1);
    ++priority;
    player->play(priority, {1 + priority % 2}); // the other id: the file is loaded again
    return 0;
}
