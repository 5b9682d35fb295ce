#pragma once
// The play list and the loaded samples of the sound player, and the mixing
// step that SDL's audio callback runs. Holds no lock of its own: the owner
// changes it only under the SDL audio lock, and the callback runs under that
// lock.

#include <cstdint>
#include <memory>
#include <vector>

namespace Guidance {

// What became of a list the player started.
enum class ListEnd { Playing, PlayedOut, Cut };

// One sample, already in the output format.
struct Sample {
    std::int32_t id = 0;
    std::unique_ptr<std::uint8_t[]> data;
    std::uint32_t length = 0;   // bytes
    std::uint32_t position = 0; // bytes played of the current run
};

class SoundMixer {
public:
    // Volume at which samples are copied unchanged.
    static constexpr int FullVolume = 128;

    bool idle() const { return m_queue.empty(); }
    int priority() const { return m_priority; }

    // A list of this priority may start now: nothing plays, or what plays
    // has a lower priority. An empty list never starts.
    bool accepts(int priority, const std::vector<int>& ids) const;
    // A list may start over what plays when that has at most the priority
    // cuts (the list it replaces has lost its meaning).
    bool acceptsOver(int cuts, const std::vector<int>& ids) const;

    bool hasSample(int id) const;
    std::uint32_t sampleLength(int id) const;
    // Frees the samples whose ids are not in the sorted list.
    void keepOnly(const std::vector<int>& sortedIds);
    // Adds a sample in id order, replacing one of the same id.
    void insert(Sample sample);

    // The list plays from its first id at once; every sample starts from its
    // beginning, also one that was cut off by this replacement.
    void replace(int priority, const std::vector<int>& ids);
    // Lists are numbered from 1 as replace starts them: the last one's
    // number, 0 before any.
    std::uint32_t lastList() const { return m_lists; }
    // Whether a list still plays, played to its end, or was cut off by the
    // next one. The ends of the last 32 lists are kept; an older list, or a
    // number never given, counts as cut.
    ListEnd listEnd(std::uint32_t list) const;

    // Fills the buffer from the play list, one sample after the other, and
    // leaves the rest of the buffer as it was (SDL has filled it with
    // silence). An id without a sample is skipped. Below FullVolume the
    // samples are mixed in at that volume.
    void mix(std::uint8_t* stream, int length, int volume);

private:
    Sample* find(int id);
    const Sample* find(int id) const;

    int m_priority = 0;
    // Ids still to play, in reverse: the one playing now is at the back.
    std::vector<std::int32_t> m_queue;
    // Sorted by id.
    std::vector<Sample> m_samples;
    std::uint32_t m_lists = 0;
    // Bit i set: list m_lists - i played to its end.
    std::uint32_t m_playedOut = 0;
};

} // namespace Guidance
