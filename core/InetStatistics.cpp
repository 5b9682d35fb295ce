#include "core/InetStatistics.h"

#include "core/Log.h"
#include "core/LoggedText.h"

namespace Network {

namespace {

// A message or reply is dumped up to this many bytes: a server may send
// megabytes, and the log must stay readable and bounded.
constexpr std::size_t MaxDumpBytes = 256;

// The online service's messages carry the user's password and session token
// as XML attributes: the dump shows neither, nor their length. They are
// hidden before the cut, so that the cut leaves no piece of one.
void dump(const std::string& message) {
    const std::string shown = Log::withSecretsHidden(message);
    const std::size_t kept = shown.size() < MaxDumpBytes ? shown.size() : MaxDumpBytes;
    Log::hexDump(shown.data(), kept);
    if (kept < shown.size())
        Log::log(Log::Info, u"... (%u more bytes)", static_cast<unsigned>(shown.size() - kept));
}

} // namespace

InetStatistics::InetStatistics(std::shared_ptr<WinInet::Impl> binding, Clock clock)
    : m_binding(std::move(binding)), m_clock(std::move(clock)) {
    if (m_binding) m_binding->addListener(this);
}

InetStatistics::~InetStatistics() {
    if (m_binding) m_binding->removeListener(this);
    writeUsage();
}

void InetStatistics::messageSent(std::uint32_t, const std::string& body, std::uint32_t headerChars) {
    if (m_messagesSent == 0) m_start = m_clock();
    ++m_messagesSent;
    m_bytesSent += static_cast<std::uint32_t>(body.size()) + headerChars;
    Log::log(Log::Normal, u"Message sent");
    if (Log::installed() && Log::currentSeverity() >= Log::Info) {
        Log::log(Log::Info, u"Sent message begin");
        dump(body);
        Log::log(Log::Info, u"Sent message end");
    }
}

void InetStatistics::responseReceived(std::uint32_t, const std::string& response) {
    const bool detailed = Log::installed() && Log::currentSeverity() >= Log::Info;
    if (detailed) {
        Log::log(Log::Info, u"Received response begin");
        dump(response);
        Log::log(Log::Info, u"Received response end");
    }
    ++m_responsesReceived;
    m_bytesReceived += static_cast<std::uint32_t>(response.size());
    if (m_messagesSent && ((m_messagesSent % 10 == 0 && detailed) || m_messagesSent % 100 == 0)) writeUsage();
}

void InetStatistics::writeUsage() const {
    if (!Log::installed() || Log::currentSeverity() < Log::Normal) return;
    std::int64_t seconds = 0;
    if (m_messagesSent)
        seconds = static_cast<std::int64_t>(Positioning::toUnixTime(m_clock())) -
                  static_cast<std::int64_t>(Positioning::toUnixTime(m_start));
    if (m_messagesSent && seconds != 0) {
        const std::int64_t perMinute =
            (static_cast<std::int64_t>(m_bytesSent) + static_cast<std::int64_t>(m_bytesReceived)) * 60 /
            seconds;
        Log::log(Log::Normal,
                 u"Inet usage (%d byte/min): sent (%u = %u bytes), received (%u = %u bytes) in %I64d seconds",
                 perMinute, m_messagesSent, m_bytesSent, m_responsesReceived, m_bytesReceived, seconds);
    } else {
        Log::log(Log::Normal, u"Inet usage: nothing received or sent");
    }
}

} // namespace Network
