#pragma once
// One HTTP request opened through the WinInet binding: headers are added,
// the body is sent (again, for a retry), then the status and the reply are
// read. Every operation keeps the Win32/WinInet error number of its call for
// lastError().

#include <cstdint>
#include <string>
#include <string_view>

namespace Platform {
class Event;
}

namespace Network {

class InetRequest {
  public:
    InetRequest() = default;
    virtual ~InetRequest() = default;
    InetRequest(const InetRequest&) = delete;
    InetRequest& operator=(const InetRequest&) = delete;

    virtual bool setOption(std::uint32_t option, const void* data, std::uint32_t size) = 0;
    // One "Name: value" line.
    virtual bool addHeader(std::u16string_view header) = 0;
    virtual bool send(const std::string& body) = 0;
    // Replaces out with the whole reply body.
    virtual bool readResponse(std::string& out) = 0;
    // The HTTP status of the last send, 0 when unknown.
    virtual int statusCode() = 0;
    virtual int lastError() const = 0;
    // While the event is set a send under way gives up (error 12017); null
    // clears it.
    virtual bool setStopEvent(const Platform::Event* stop) = 0;
};

} // namespace Network
