#pragma once
// Observers of the HTTP layer. Notifications arrive on the thread that runs
// the request, under the binding's listeners mutex: a listener must not
// register or unregister from inside one.

#include <cstdint>
#include <string>

namespace Network {

class InetListener {
  public:
    virtual ~InetListener() = default;
    virtual void requestOpened(std::uint32_t request) = 0;
    // headerChars: characters of the header lines sent with the body.
    virtual void messageSent(std::uint32_t request, const std::string& body, std::uint32_t headerChars) = 0;
    virtual void sendFailed(std::uint32_t request, int error) = 0;
    virtual void responseReceived(std::uint32_t request, const std::string& response) = 0;
    virtual void responseFailed(std::uint32_t request, int error) = 0;
};

// Told when the network connection comes or goes; implemented by the engine.
class ConnectionListener {
  public:
    virtual ~ConnectionListener() = default;
    virtual void connectionChanged() = 0;
};

} // namespace Network
