#include "guidance/SoundMixer.h"

#include <SDL/SDL_audio.h>

#include <algorithm>
#include <cstring>

namespace Guidance {

bool SoundMixer::accepts(int priority, const std::vector<int>& ids) const {
    if (ids.empty())
        return false;
    return m_queue.empty() || m_priority < priority;
}

bool SoundMixer::acceptsOver(int cuts, const std::vector<int>& ids) const {
    if (ids.empty())
        return false;
    return m_queue.empty() || m_priority <= cuts;
}

Sample* SoundMixer::find(int id) {
    auto it = std::lower_bound(m_samples.begin(), m_samples.end(), id,
                               [](const Sample& s, int key) { return s.id < key; });
    return it != m_samples.end() && it->id == id ? &*it : nullptr;
}

const Sample* SoundMixer::find(int id) const {
    return const_cast<SoundMixer*>(this)->find(id);
}

bool SoundMixer::hasSample(int id) const { return find(id) != nullptr; }

std::uint32_t SoundMixer::sampleLength(int id) const {
    const Sample* s = find(id);
    return s ? s->length : 0;
}

void SoundMixer::keepOnly(const std::vector<int>& sortedIds) {
    std::erase_if(m_samples, [&](const Sample& s) {
        return !std::binary_search(sortedIds.begin(), sortedIds.end(), s.id);
    });
}

void SoundMixer::insert(Sample sample) {
    if (Sample* same = find(sample.id)) {
        *same = std::move(sample);
        return;
    }
    auto it = std::lower_bound(m_samples.begin(), m_samples.end(), sample.id,
                               [](const Sample& s, int key) { return s.id < key; });
    m_samples.insert(it, std::move(sample));
}

void SoundMixer::replace(int priority, const std::vector<int>& ids) {
    m_queue.assign(ids.rbegin(), ids.rend());
    m_priority = priority;
    ++m_lists;
    m_playedOut <<= 1;
    for (Sample& s : m_samples)
        s.position = 0;
}

void SoundMixer::mix(std::uint8_t* stream, int length, int volume) {
    while (length > 0 && !m_queue.empty()) {
        Sample* s = find(m_queue.back());
        if (s == nullptr) {
            // Nothing to play for this id: go on with the rest of the list
            // rather than holding the queue (and every later list) up.
            m_queue.pop_back();
            continue;
        }
        const std::uint32_t left = s->length - std::min(s->position, s->length);
        const std::uint32_t n = std::min<std::uint32_t>(static_cast<std::uint32_t>(length), left);
        if (n > 0) {
            if (volume < FullVolume)
                SDL_MixAudio(stream, s->data.get() + s->position, n, volume);
            else
                std::memcpy(stream, s->data.get() + s->position, n);
        }
        s->position += n;
        stream += n;
        length -= static_cast<int>(n);
        if (s->position >= s->length) {
            s->position = 0;
            m_queue.pop_back();
        }
    }
    if (m_queue.empty() && m_lists != 0)
        m_playedOut |= 1u;
}

ListEnd SoundMixer::listEnd(std::uint32_t list) const {
    if (list == 0 || list > m_lists)
        return ListEnd::Cut;
    const std::uint32_t back = m_lists - list;
    if (back == 0 && !m_queue.empty())
        return ListEnd::Playing;
    return back < 32 && ((m_playedOut >> back) & 1u) != 0 ? ListEnd::PlayedOut : ListEnd::Cut;
}

} // namespace Guidance
