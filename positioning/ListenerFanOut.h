#pragma once
// The reading end the port systems share: a sentence reader whose sentences,
// and the port's changes of state, go to the data listeners in registration
// order under the listeners' lock. The sentences of one read are handed over
// under one taking of that lock, between every listener's readBegins and
// readEnds, so a listener with a lock of its own (the device's) takes it
// once per read of the port, not once per sentence. A listener added or
// removed while a read is handed over waits for its end: it hears all of a
// read's sentences or none, and none after its removal returned.

#include "positioning/DataListener.h"
#include "positioning/NmeaSentenceReader.h"
#include "positioning/detail/Mutex.h"

#include <cstdint>
#include <vector>

namespace Positioning {

class ListenerFanOut : private NmeaSentenceReader {
  public:
    // Throws std::runtime_error("Can't create GPS listeners mutex").
    ListenerFanOut();
    ~ListenerFanOut() override;

  protected:
    // Listeners are not owned; one added twice hears everything twice, and
    // a removal erases the first entry.
    void addListener(DataListener* listener);
    void removeListener(DataListener* listener);

    struct Handed {
        std::uint32_t sentences = 0;
        // Those of them from a receiver (isReceiverSentence).
        std::uint32_t fromReceiver = 0;
    };
    // Accounts for `added` bytes written at writePosition() and hands the
    // sentences they complete to the listeners; says how many.
    Handed handOver(std::uint32_t added);
    void tellEnabled(bool enabled);
    void tellPortState(bool open);

    using NmeaSentenceReader::freeBytes;
    using NmeaSentenceReader::reset;
    using NmeaSentenceReader::writePosition;

  private:
    // Reached only from handOver's scan, with the lock held.
    void onSentence(const char* text, std::uint32_t length) final;

    detail::Mutex m_listenersMutex;
    std::vector<DataListener*> m_listeners;
    std::uint32_t m_fromReceiver = 0; // during one handOver
};

} // namespace Positioning
