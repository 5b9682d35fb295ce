#pragma once
// Counts the HTTP traffic and writes usage figures to the log: a line every
// 100 sent messages (every 10 at severity Info or more) and one when the
// statistics go away; at severity Info or more every message and reply is
// also dumped in hex. Registers itself with the binding for its lifetime.

#include "core/DateTime.h"
#include "core/InetListener.h"
#include "core/WinInet.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace Network {

class InetStatistics final : public InetListener {
  public:
    // The local time of the first sent message starts the measured period.
    using Clock = std::function<Positioning::DateTime()>;

    explicit InetStatistics(std::shared_ptr<WinInet::Impl> binding,
                            Clock clock = &Positioning::localDateTime);
    ~InetStatistics() override;
    InetStatistics(const InetStatistics&) = delete;
    InetStatistics& operator=(const InetStatistics&) = delete;

    void requestOpened(std::uint32_t) override {}
    void messageSent(std::uint32_t request, const std::string& body, std::uint32_t headerChars) override;
    void sendFailed(std::uint32_t, int) override {}
    void responseReceived(std::uint32_t request, const std::string& response) override;
    void responseFailed(std::uint32_t, int) override {}

    // "Inet usage (...)" or "Inet usage: nothing received or sent", level 2.
    void writeUsage() const;

    // The counters, for a caller that knows no exchange is under way.
    std::uint32_t messagesSent() const { return m_messagesSent; }
    std::uint32_t bytesSent() const { return m_bytesSent; }
    std::uint32_t responsesReceived() const { return m_responsesReceived; }
    std::uint32_t bytesReceived() const { return m_bytesReceived; }

  private:
    std::shared_ptr<WinInet::Impl> m_binding;
    Clock m_clock;
    Positioning::DateTime m_start;
    std::uint32_t m_messagesSent = 0;
    std::uint32_t m_bytesSent = 0;
    std::uint32_t m_responsesReceived = 0;
    std::uint32_t m_bytesReceived = 0;
};

} // namespace Network
