#include "positioning/ListenerFanOut.h"

#include <algorithm>

namespace Positioning {

using detail::Lock;

ListenerFanOut::ListenerFanOut() : m_listenersMutex("Can't create GPS listeners mutex") {}

ListenerFanOut::~ListenerFanOut() = default;

void ListenerFanOut::addListener(DataListener* listener) {
    Lock lock(m_listenersMutex);
    m_listeners.push_back(listener);
}

void ListenerFanOut::removeListener(DataListener* listener) {
    Lock lock(m_listenersMutex);
    auto it = std::find(m_listeners.begin(), m_listeners.end(), listener);
    if (it != m_listeners.end()) m_listeners.erase(it);
}

ListenerFanOut::Handed ListenerFanOut::handOver(std::uint32_t added) {
    Lock lock(m_listenersMutex);
    // Every listener that heard readBegins hears readEnds, the last first,
    // also when a listener throws out of the scan.
    struct Read {
        const std::vector<DataListener*>& listeners;
        std::size_t begun = 0;
        ~Read() {
            while (begun > 0)
                listeners[--begun]->readEnds();
        }
    } read{m_listeners};
    while (read.begun < m_listeners.size()) {
        m_listeners[read.begun]->readBegins();
        ++read.begun;
    }
    m_fromReceiver = 0;
    Handed handed;
    handed.sentences = scan(added);
    handed.fromReceiver = m_fromReceiver;
    return handed;
}

void ListenerFanOut::onSentence(const char* text, std::uint32_t length) {
    if (isReceiverSentence(text, length)) ++m_fromReceiver;
    for (DataListener* listener : m_listeners)
        listener->onData(text, length);
}

void ListenerFanOut::tellEnabled(bool enabled) {
    Lock lock(m_listenersMutex);
    for (DataListener* listener : m_listeners)
        listener->enabledChanged(enabled);
}

void ListenerFanOut::tellPortState(bool open) {
    Lock lock(m_listenersMutex);
    for (DataListener* listener : m_listeners)
        listener->portStateChanged(open);
}

} // namespace Positioning
