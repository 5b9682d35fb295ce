#include "platform/Error.h"
#include "platform/Internet.h"

#include <cctype>

namespace Platform {
namespace {

bool fail(int error) {
    setLastError(error);
    return false;
}

std::string lowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

} // namespace

bool crackUrl(std::string_view url, UrlComponents& parts) {
    const std::size_t schemeEnd = url.find("://");
    if (schemeEnd == std::string_view::npos || schemeEnd == 0) return fail(Inet::ErrorUnrecognizedScheme);
    const std::string scheme = lowerAscii(url.substr(0, schemeEnd));
    std::uint16_t defaultPort = 0;
    if (scheme == "http")
        defaultPort = Inet::HttpPort;
    else if (scheme == "https")
        defaultPort = Inet::HttpsPort;
    else
        return fail(Inet::ErrorUnrecognizedScheme);

    std::string_view rest = url.substr(schemeEnd + 3);
    const std::size_t authorityEnd = rest.find_first_of("/?#");
    std::string_view authority = rest.substr(0, authorityEnd);
    std::string_view path =
        authorityEnd == std::string_view::npos ? std::string_view() : rest.substr(authorityEnd);
    if (const std::size_t hash = path.find('#'); hash != std::string_view::npos) path = path.substr(0, hash);
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos)
        authority = authority.substr(at + 1);

    std::string_view host;
    std::string_view portText;
    if (!authority.empty() && authority.front() == '[') {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos) return fail(Inet::ErrorInvalidUrl);
        host = authority.substr(1, close - 1);
        std::string_view after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':') return fail(Inet::ErrorInvalidUrl);
            portText = after.substr(1);
            if (portText.empty()) return fail(Inet::ErrorInvalidUrl);
        }
    } else {
        const std::size_t colon = authority.find(':');
        host = authority.substr(0, colon);
        if (colon != std::string_view::npos) {
            portText = authority.substr(colon + 1);
            if (portText.empty()) return fail(Inet::ErrorInvalidUrl);
        }
    }
    if (host.empty()) return fail(Inet::ErrorInvalidUrl);
    for (char c : host)
        if (static_cast<unsigned char>(c) <= ' ' || c == '/' || c == '\\' || c == '@')
            return fail(Inet::ErrorInvalidUrl);

    std::uint32_t port = defaultPort;
    if (!portText.empty()) {
        if (portText.size() > 5) return fail(Inet::ErrorInvalidUrl);
        port = 0;
        for (char c : portText) {
            if (c < '0' || c > '9') return fail(Inet::ErrorInvalidUrl);
            port = port * 10 + static_cast<std::uint32_t>(c - '0');
        }
        if (port == 0 || port > 65535) return fail(Inet::ErrorInvalidUrl);
    }

    parts.scheme = scheme;
    parts.host = std::string(host);
    parts.port = static_cast<std::uint16_t>(port);
    parts.path = std::string(path);
    return true;
}

} // namespace Platform
