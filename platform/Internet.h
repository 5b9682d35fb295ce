#pragma once
// The HTTP client interface, shaped like the WinInet calls the network code
// was written against: open an agent, connect it to a host, open a request,
// add headers, send, query the status, read the reply. Handles are closed
// explicitly, children before parents. Every call that fails returns false or
// null and leaves a WinInet-numbered error in Platform::lastError():
// 12002 time-out, 12007 name not resolved, 12029 cannot connect, 12017
// cancelled. Text is UTF-8; callers holding wide text convert it first.
//
// The system implementation runs over libcurl; tests substitute their own to
// reach the paths a real network seldom takes (offline mode, odd errors).

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace Platform {

class Event;

namespace Inet {
// Access type of open: connect directly, never through a proxy.
constexpr std::uint32_t OpenTypeDirect = 1;
// Service of connect.
constexpr std::uint32_t ServiceHttp = 3;
// Option numbers of setOption (a u32 number of milliseconds each).
constexpr std::uint32_t OptionConnectTimeout = 2;
constexpr std::uint32_t OptionSendTimeout = 5;
constexpr std::uint32_t OptionReceiveTimeout = 6;
// Request flags of openRequest.
constexpr std::uint32_t FlagReload = 0x80000000u;
constexpr std::uint32_t FlagKeepConnection = 0x00400000u;
constexpr std::uint32_t FlagSecure = 0x00800000u;
constexpr std::uint32_t FlagNoCacheWrite = 0x04000000u;
constexpr std::uint32_t FlagNoUi = 0x00000200u;
constexpr std::uint32_t FlagPragmaNoCache = 0x00000100u;
// Modifier of addRequestHeaders.
constexpr std::uint32_t AddHeaderFlagAdd = 0x20000000u;
constexpr std::uint32_t AddHeaderFlagReplace = 0x80000000u;
// Default ports.
constexpr std::uint16_t HttpPort = 80;
constexpr std::uint16_t HttpsPort = 443;
// Errors that only this interface reports.
constexpr int ErrorInternal = 12004;
constexpr int ErrorInvalidUrl = 12005;
constexpr int ErrorUnrecognizedScheme = 12006;
constexpr int ErrorIncorrectHandleType = 12018;
constexpr int ErrorIncorrectHandleState = 12019;
constexpr int ErrorInvalidServerResponse = 12152;
constexpr int ErrorSecureChannel = 12157;
} // namespace Inet

// What crackUrl takes out of a URL. The path keeps the query; it is empty
// when the URL names only the host.
struct UrlComponents {
    std::string scheme;
    std::string host;
    std::uint16_t port = 0;
    std::string path;
};

// Splits "scheme://[user[:password]@]host[:port][/path]" (IPv6 hosts in
// brackets). Only http and https are known; the port defaults to theirs.
// Sets 12006 for an unknown scheme and 12005 for any other malformed URL.
bool crackUrl(std::string_view url, UrlComponents& parts);

// A handle's object; what it holds is the implementation's business.
class InternetObject {
  public:
    virtual ~InternetObject() = default;
};
using InternetHandle = InternetObject*;

class Internet {
  public:
    virtual ~Internet() = default;

    virtual bool crackUrl(std::string_view url, UrlComponents& parts) = 0;
    // Leaves offline mode; there is none on this system, so it succeeds.
    virtual bool goOnline(std::string_view url) = 0;
    virtual bool attemptConnect() = 0;

    virtual InternetHandle open(std::string_view userAgent, std::uint32_t accessType) = 0;
    virtual InternetHandle connect(InternetHandle agent, std::string_view host, std::uint16_t port,
                                   std::uint32_t service) = 0;
    virtual InternetHandle openRequest(InternetHandle connection, std::string_view verb,
                                       std::string_view path, std::string_view version,
                                       std::uint32_t flags) = 0;
    virtual bool closeHandle(InternetHandle handle) = 0;

    virtual bool setOption(InternetHandle handle, std::uint32_t option, const void* data,
                           std::uint32_t size) = 0;
    // One or more "Name: value" lines separated by CRLF.
    virtual bool addRequestHeaders(InternetHandle request, std::string_view headers,
                                   std::uint32_t modifiers) = 0;
    // Sends the request with the extra header lines and the body and waits
    // for the reply; an HTTP status of any value is a success here.
    virtual bool sendRequest(InternetHandle request, std::string_view headers, const void* body,
                             std::uint32_t length) = 0;
    virtual bool queryStatusCode(InternetHandle request, std::uint32_t& status) = 0;
    virtual bool queryDataAvailable(InternetHandle request, std::uint32_t& bytes) = 0;
    virtual bool readFile(InternetHandle request, void* buffer, std::uint32_t size, std::uint32_t& read) = 0;

    // Not in WinInet (which cancels by closing a handle from another thread):
    // while the event is set, a send under way gives up with 12017 within a
    // few tens of milliseconds, and a new one fails at once. Null clears it.
    virtual bool setCancelEvent(InternetHandle request, const Event* cancel) = 0;
};

// The process's libcurl-backed implementation, made on first use; null (with
// the last error set) when libcurl cannot be initialised.
std::shared_ptr<Internet> systemInternet();

} // namespace Platform
