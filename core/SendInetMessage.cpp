#include "core/SendInetMessage.h"

#include "core/Log.h"
#include "core/Text.h"
#include "platform/Error.h"
#include "platform/Event.h"

namespace Network {
namespace {

constexpr int Attempts = 3;
constexpr int ErrorWorkingOffline = 2;

} // namespace

bool SendInetMessage(const std::u16string& extraHeader, const std::shared_ptr<WinInet::Impl>& binding,
                     const std::u16string& userAgent, const std::u16string& verb, const std::u16string& url,
                     const std::string& body, std::string& response, bool autoConnect,
                     const SendControl& control) {
    if (!binding) return false;
    std::unique_ptr<WinInet::Impl::InetRequest> request = binding->openRequest(userAgent, verb, url);
    if (!request) return false;

    if (!extraHeader.empty()) request->addHeader(extraHeader);
    request->addHeader(u"Accept: */*");
    const std::uint32_t timeoutMs = control.receiveTimeoutMs;
    request->setOption(Platform::Inet::OptionReceiveTimeout, &timeoutMs, sizeof timeoutMs);
    if (control.stop) request->setStopEvent(control.stop);

    bool ok = false;
    for (int attempt = 0; attempt < Attempts && !ok; ++attempt) {
        if (!request->send(body)) {
            switch (request->lastError()) {
            case ErrorWorkingOffline:
                Log::log(Log::Critical, u"Offline mode detected - restoring online");
                if (autoConnect)
                    binding->api().goOnline(Core::wideToUtf8(url));
                else
                    Log::log(Log::Normal, u"Auto connecting is off...");
                continue;
            case Platform::InternetTimeout:
            case Platform::InternetNameNotResolved:
            case Platform::InternetOperationCancelled:
            case Platform::Inet::ErrorIncorrectHandleState:
            case Platform::InternetCannotConnect:
                return false;
            default:
                continue;
            }
        }
        const int status = request->statusCode();
        switch (status) {
        case 200:
            Log::log(Log::Info, u"HTTP status: %d (ok)", status);
            ok = true;
            break;
        case 400:
        case 500:
            Log::log(Log::Critical, u"Bad HTTP status: %d - retrying", status);
            break;
        case 408:
            Log::log(Log::Critical, u"Bad HTTP status: %d (timeout)", status);
            return false;
        default:
            Log::log(Log::Critical, u"Bad HTTP status: %d", status);
            return false;
        }
        if (!ok && control.stop && control.stop->isSet())
            return false; // no retry once the daemon is stopping
    }
    if (!ok) {
        Log::log(Log::Normal, u"SendInetMessage message sending failed %d times", Attempts);
        return false;
    }
    return request->readResponse(response);
}

} // namespace Network
