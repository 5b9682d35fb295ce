#include "guidance/SoundSystem.h"

#include "core/AnsiFile.h"
#include "core/FileSystem.h"
#include "core/Log.h"
#include "core/Text.h"
#include "core/VirtualFs.h"
#include "core/XmlDepth.h"
#include "platform/SystemVolume.h"

#include <SDL/SDL.h>
#include <rapidxml/rapidxml.hpp>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace Guidance {

namespace {

// sounds.xml is two levels deep; this bounds the parser's recursion.
constexpr int MaxSchemaDepth = 16;
// A phrase sample is a few seconds; anything near this is a broken file.
constexpr std::uint64_t MaxConvertedBytes = 64u << 20;

// Holds the SDL audio lock for a scope.
class AudioLock {
public:
    AudioLock() { SDL_LockAudio(); }
    ~AudioLock() { SDL_UnlockAudio(); }
    AudioLock(const AudioLock&) = delete;
    AudioLock& operator=(const AudioLock&) = delete;
};

struct WavBuffer {
    Uint8* data = nullptr;
    ~WavBuffer() { SDL_FreeWAV(data); }
};

} // namespace

SoundSystem::SoundSystem(FileSystem::VirtualFs& fileSystem, const Core::ConfigNodePtr& configRoot)
    : m_fileSystem(fileSystem), m_soundConfig(configRoot->child("Sound")) {
    Log::log(Log::Normal, "Opening audio..");
    SDL_AudioSpec wanted{};
    wanted.freq = OutputRate;
    wanted.format = AUDIO_S16LSB;
    wanted.channels = OutputChannels;
    wanted.samples = 1024;
    wanted.callback = &SoundSystem::mixCallback;
    wanted.userdata = this;
    if (SDL_OpenAudio(&wanted, nullptr) < 0) {
        Log::log(Log::Critical, "Failed to open audio (sdl_err %s)", std::string(SDL_GetError()));
        Log::log(Log::Critical, "No audio device: sounds are off");
    } else {
        m_audioOpen = true;
        SDL_PauseAudio(0);
        Log::log(Log::Normal, "Audio successfully initialized.");
    }

    std::uint32_t volume = 0xFFFF;
    int error = 0;
    if (!Platform::systemVolume(volume, error)) {
        Log::log(Log::Critical, "Can't %s sound system volume (mms_err %d)", std::string("get"), error);
        volume = 0xFFFF;
    }
    if (volume == 0) {
        Log::log(Log::System, "System sound is mute.");
        return;
    }
    m_menuOn = m_soundConfig->value("menu", true);
    m_naviOn = m_soundConfig->value("navi", true);
}

SoundSystem::~SoundSystem() {
    if (m_audioOpen)
        SDL_CloseAudio();
}

bool SoundSystem::loadSchema(const std::u16string& path) {
    FileSystem::AnsiFile file(path, u"rb");
    if (!file.isOpen()) {
        Log::log(Log::Critical, u"Can't open sound schema file '%s' (err %d)", path,
                 Log::Errno{file.lastError()});
        return false;
    }
    std::uint32_t size = 0;
    const std::unique_ptr<char[]> bytes = FileSystem::readFile(file, &size, path);
    if (!bytes || !Core::xmlDepthWithin(std::string_view(bytes.get(), size), MaxSchemaDepth)) {
        Log::log(Log::Critical, "Invalid format of sound schema file");
        return false;
    }
    rapidxml::xml_document<char> doc;
    try {
        doc.parse<0>(bytes.get());
    } catch (const rapidxml::parse_error&) {
        Log::log(Log::Critical, "Invalid format of sound schema file");
        return false;
    }
    const auto* root = doc.first_node("soundlist");
    if (root == nullptr) {
        Log::log(Log::Critical, "Invalid format of sound schema file");
        return false;
    }
    {
        // Samples loaded under the old names go with them.
        AudioLock lock;
        m_mixer.keepOnly({});
    }
    for (const auto* s = root->first_node("sound"); s != nullptr; s = s->next_sibling("sound")) {
        const auto* idText = s->first_attribute("id");
        const auto* src = s->first_attribute("src");
        // An absent id reads as 0, as an empty text converts to 0.
        const long id = idText ? std::strtol(idText->value(), nullptr, 10) : 0;
        if (id < 0 || id >= SoundCount) {
            Log::log(Log::Critical, "Sound id %d out of range in sound schema file",
                     static_cast<int>(std::clamp<long>(id, -0x7FFFFFFF, 0x7FFFFFFF)));
            continue;
        }
        m_names[static_cast<std::size_t>(id)] = src ? std::string(src->value(), src->value_size()) : std::string();
    }
    return true;
}

const std::string& SoundSystem::fileName(int id) const {
    static const std::string none;
    return id >= 0 && id < SoundCount ? m_names[static_cast<std::size_t>(id)] : none;
}

namespace detail {

bool wavChunksFitStream(SDL_RWops* stream) {
    const int start = SDL_RWtell(stream);
    const int end = SDL_RWseek(stream, 0, RW_SEEK_END);
    std::uint8_t header[8];
    // The chunks follow "RIFF", its size and "WAVE"; the loader also takes
    // "WAVE" right after the first word.
    std::int64_t at = std::int64_t{start} + 12;
    if (start >= 0 && SDL_RWseek(stream, start, RW_SEEK_SET) >= 0 && SDL_RWread(stream, header, 1, 8) == 8 &&
        std::memcmp(header + 4, "WAVE", 4) == 0)
        at = std::int64_t{start} + 8;
    // The loader reads chunk after chunk until the data chunk: past the end
    // it would take a length from bytes it never read.
    bool fits = false;
    while (start >= 0 && at + 8 <= end) {
        if (SDL_RWseek(stream, static_cast<int>(at), RW_SEEK_SET) < 0 || SDL_RWread(stream, header, 1, 8) != 8)
            break;
        const std::uint32_t length = header[4] | header[5] << 8 | header[6] << 16 | std::uint32_t{header[7]} << 24;
        if (length > end - (at + 8))
            break;
        if (std::memcmp(header, "data", 4) == 0) {
            fits = true;
            break;
        }
        at += 8 + std::int64_t{length};
    }
    SDL_RWseek(stream, start, RW_SEEK_SET);
    return fits;
}

} // namespace detail

bool SoundSystem::load(int id, Sample& sample) {
    const std::string& name = fileName(id);
    if (Log::enabledFor(Log::Info))
        Log::log(Log::Info, "Loading sound file '%s' from pack", name);
    SDL_RWops* rw = name.empty() ? nullptr : m_fileSystem.open(name, ".zip");
    SDL_AudioSpec source{};
    WavBuffer wav;
    Uint32 length = 0;
    // A chunk longer than the file would have SDL's loader allocate its
    // declared length, gigabytes from a damaged header.
    if (rw != nullptr && !detail::wavChunksFitStream(rw)) {
        SDL_RWclose(rw);
        rw = nullptr;
    }
    if (rw == nullptr || SDL_LoadWAV_RW(rw, 1, &source, &wav.data, &length) == nullptr) {
        Log::log(Log::Critical, "Failed to load sound file '%s' from pack", name);
        return false;
    }
    SDL_AudioCVT cvt{};
    // SDL's converter holds a short fixed list of steps and does not check
    // it: a rate far from the output rate (one halving or doubling step per
    // factor of two) or an unusual channel count from a damaged header
    // would overrun it. Real samples stay well inside these bounds.
    const bool convertible = (source.format == AUDIO_U8 || source.format == AUDIO_S16LSB) &&
                             (source.channels == 1 || source.channels == 2) && source.freq >= OutputRate / 8 &&
                             source.freq <= OutputRate * 8;
    if (!convertible) {
        Log::log(Log::Critical, "Unable convert sound loaded from file '%s'", name);
        return false;
    }
    const int built = SDL_BuildAudioCVT(&cvt, source.format, source.channels, source.freq, AUDIO_S16LSB,
                                        OutputChannels, OutputRate);
    const std::uint64_t room = std::uint64_t(length) * std::uint64_t(std::max(cvt.len_mult, 1));
    if (built < 0 || room > MaxConvertedBytes) {
        Log::log(Log::Critical, "Unable convert sound loaded from file '%s'", name);
        return false;
    }
    // The converters work in place in pairs of bytes and frames; a ragged
    // tail would be read past by a step that assumes whole frames.
    const Uint32 frame = std::uint32_t((source.format & 0xFF) / 8) * std::max<Uint32>(source.channels, 1);
    length -= length % std::max<Uint32>(frame, 1);
    sample.id = id;
    sample.data = std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(room) + 8);
    std::memcpy(sample.data.get(), wav.data, length);
    cvt.buf = sample.data.get();
    cvt.len = static_cast<int>(length);
    if (built > 0 && SDL_ConvertAudio(&cvt) < 0) {
        Log::log(Log::Critical, "Unable convert sound loaded from file '%s'", name);
        return false;
    }
    const Uint32 outFrame = 2 * OutputChannels;
    sample.length = static_cast<std::uint32_t>(built > 0 ? cvt.len_cvt : cvt.len);
    sample.length -= sample.length % outFrame;
    sample.position = 0;
    if (id >= 0 && id < SoundCount)
        m_lengths[static_cast<std::size_t>(id)] = sample.length;
    return true;
}

double SoundSystem::seconds(const std::vector<int>& soundIds) const {
    double total = 0.0;
    for (int id : soundIds) {
        const std::uint32_t bytes = id >= 0 && id < SoundCount ? m_lengths[static_cast<std::size_t>(id)] : 0;
        total += bytes != 0 ? bytes / double(OutputRate * 2 * OutputChannels) : 1.0;
    }
    return total;
}

bool SoundSystem::play(int priority, const std::vector<int>& soundIds) {
    return playOver(priority, priority - 1, soundIds);
}

bool SoundSystem::playOver(int priority, int cuts, const std::vector<int>& soundIds) {
    if (!m_audioOpen)
        return false;
    {
        AudioLock lock;
        if (!m_mixer.acceptsOver(std::max(cuts, priority - 1), soundIds))
            return false;
    }
    std::vector<int> distinct = soundIds;
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());

    // Only this thread changes the sample list, so which samples are missing
    // can be read without the lock, and they are loaded (file reading and
    // conversion) while the audio thread goes on playing. Loaded samples
    // stay: a drive speaks the same few words again and again, and the
    // samples of all ids together are a few megabytes.
    std::vector<Sample> loaded;
    bool complete = true;
    for (int id : distinct) {
        if (m_mixer.hasSample(id))
            continue;
        Sample sample;
        if (load(id, sample))
            loaded.push_back(std::move(sample));
        else
            complete = false;
    }
    {
        AudioLock lock;
        for (Sample& s : loaded)
            m_mixer.insert(std::move(s));
        m_mixer.replace(priority, soundIds);
    }
    if (Log::enabledFor(Log::Info)) {
        Log::log(Log::Info, "play sounds begin: %d", static_cast<int>(soundIds.size()));
        for (std::size_t i = 0; i < soundIds.size(); ++i) {
            if (m_mixer.hasSample(soundIds[i]))
                Log::log(Log::Info, "sound %d: phrase %d, %d bytes", static_cast<int>(i), soundIds[i],
                         static_cast<int>(m_mixer.sampleLength(soundIds[i])));
            else
                Log::log(Log::Info, "sound %d: phrase %d not loaded", static_cast<int>(i), soundIds[i]);
        }
        Log::log(Log::Info, "play sounds end");
    }
    return complete;
}

bool SoundSystem::playing() const {
    AudioLock lock;
    return !m_mixer.idle();
}

bool SoundSystem::accepts(int priority) const {
    if (!m_audioOpen)
        return false;
    AudioLock lock;
    return m_mixer.accepts(priority, {0});
}

std::uint32_t SoundSystem::lastList() const {
    AudioLock lock;
    return m_mixer.lastList();
}

ListEnd SoundSystem::listEnd(std::uint32_t list) const {
    AudioLock lock;
    return m_mixer.listEnd(list);
}

void SoundSystem::setMenuSounds(bool on) {
    m_menuOn = on;
    m_soundConfig->set("menu", on);
}

void SoundSystem::setNaviSounds(bool on) {
    m_naviOn = on;
    m_soundConfig->set("navi", on);
}

void SoundSystem::mixCallback(void* self, unsigned char* stream, int length) {
    auto* player = static_cast<SoundSystem*>(self);
    player->m_mixer.mix(stream, length, player->m_volume);
}

} // namespace Guidance
