#include "core/WinInet.h"

#include "core/Format.h"
#include "core/Log.h"
#include "core/LoggedText.h"
#include "core/Text.h"
#include "platform/Error.h"

#include <algorithm>

namespace Network::WinInet {
namespace {

// HTTP/1.0, always from the server (no cache read or write), no dialogs,
// "Pragma: no-cache" on the way.
constexpr std::uint32_t RequestFlags = Platform::Inet::FlagReload | Platform::Inet::FlagNoCacheWrite |
                                       Platform::Inet::FlagKeepConnection | Platform::Inet::FlagNoUi |
                                       Platform::Inet::FlagPragmaNoCache;
static_assert(RequestFlags == 0x84400300u);

// Largest piece read from the client at once, whatever it says is waiting.
constexpr std::uint32_t MaxReadChunk = 64 * 1024;

} // namespace

Impl::InetHandle::~InetHandle() {
    if (m_handle) m_api->closeHandle(m_handle);
}

Impl::Impl(std::shared_ptr<Platform::Internet> api)
    : m_api(std::move(api)), m_listenersMutex("Can't create wininet listeners mutex") {}

void Impl::addListener(InetListener* listener) {
    if (!listener) return;
    Threading::SdlLock lock(m_listenersMutex);
    m_listeners.push_back(listener);
}

void Impl::removeListener(InetListener* listener) {
    Threading::SdlLock lock(m_listenersMutex);
    std::erase(m_listeners, listener);
}

template <class F> void Impl::notify(F&& call) {
    Platform::ErrorKeeper keep;
    Threading::SdlLock lock(m_listenersMutex);
    for (InetListener* listener : m_listeners)
        call(*listener);
}

void Impl::notifyRequestOpened(std::uint32_t request) {
    notify([&](InetListener& l) { l.requestOpened(request); });
}

void Impl::notifyMessageSent(std::uint32_t request, const std::string& body, std::uint32_t headerChars) {
    notify([&](InetListener& l) { l.messageSent(request, body, headerChars); });
}

void Impl::notifySendFailed(std::uint32_t request, int error) {
    notify([&](InetListener& l) { l.sendFailed(request, error); });
}

void Impl::notifyResponseReceived(std::uint32_t request, const std::string& response) {
    notify([&](InetListener& l) { l.responseReceived(request, response); });
}

void Impl::notifyResponseFailed(std::uint32_t request, int error) {
    notify([&](InetListener& l) { l.responseFailed(request, error); });
}

std::unique_ptr<Impl::InetRequest> Impl::openRequest(const std::u16string& userAgent,
                                                     const std::u16string& verb, const std::u16string& url) {
    Platform::Internet& api = *m_api;
    auto agent = std::make_unique<InetHandle>(
        m_api, api.open(Core::wideToUtf8(userAgent), Platform::Inet::OpenTypeDirect));
    if (!agent->get()) {
        Log::log(Log::Critical, u"SendInetMessage failed to create agent (err %d)", Platform::lastError());
        return nullptr;
    }

    Platform::UrlComponents parts;
    if (!api.crackUrl(Core::wideToUtf8(url), parts)) {
        const int error = Platform::lastError();
        // The configured address may carry a login or a session in its query.
        Log::log(Log::Critical, u"SendInetMessage failed to parse url '%s' (err %d)",
                 Core::utf8ToWide(Log::urlWithSecretsHidden(Core::wideToUtf8(url))), error);
        return nullptr;
    }

    const std::u16string host = Core::utf8ToWide(parts.host);
    Log::log(Log::Normal, u"Connecting to %s:%d", host, parts.port);
    auto connection = std::make_unique<InetHandle>(
        m_api, api.connect(agent->get(), parts.host, parts.port, Platform::Inet::ServiceHttp));
    if (!connection->get()) {
        Log::log(Log::Critical, u"SendInetMessage failed to connect (err %d)", Platform::lastError());
        return nullptr;
    }

    Log::log(Log::Normal, u"Requesting %s", Core::utf8ToWide(Log::withSecretsHidden(parts.path)));
    auto request =
        std::make_unique<InetHandle>(m_api, api.openRequest(connection->get(), Core::wideToUtf8(verb),
                                                            parts.path, "HTTP/1.0", RequestFlags));
    if (!request->get()) {
        Log::log(Log::Critical, u"SendInetMessage failed to create request (err %d)", Platform::lastError());
        return nullptr;
    }

    const std::uint32_t number = ++m_requestCounter;
    notifyRequestOpened(number);
    return std::make_unique<InetRequest>(shared_from_this(), std::move(agent), std::move(connection),
                                         std::move(request), number);
}

Impl::InetRequest::InetRequest(std::shared_ptr<Impl> binding, std::unique_ptr<InetHandle> agent,
                               std::unique_ptr<InetHandle> connection, std::unique_ptr<InetHandle> request,
                               std::uint32_t number)
    : m_agent(std::move(agent)), m_connection(std::move(connection)), m_request(std::move(request)),
      m_number(number), m_binding(std::move(binding)) {}

Impl::InetRequest::~InetRequest() {
    m_request.reset();
    m_connection.reset();
    m_agent.reset();
}

bool Impl::InetRequest::keepError(bool result) {
    m_lastError = static_cast<std::uint32_t>(Platform::lastError());
    return result;
}

bool Impl::InetRequest::setOption(std::uint32_t option, const void* data, std::uint32_t size) {
    return keepError(m_binding->api().setOption(m_request->get(), option, data, size));
}

bool Impl::InetRequest::setStopEvent(const Platform::Event* stop) {
    return keepError(m_binding->api().setCancelEvent(m_request->get(), stop));
}

bool Impl::InetRequest::addHeader(std::u16string_view header) {
    const bool added = keepError(m_binding->api().addRequestHeaders(
        m_request->get(), Core::wideToUtf8(header), Platform::Inet::AddHeaderFlagAdd));
    if (!added) {
        Log::log(Log::Critical, u"HttpAddRequestHeaders failed to append header (err %d)", m_lastError);
        return false;
    }
    m_headerChars += static_cast<std::uint32_t>(header.size());
    return true;
}

bool Impl::InetRequest::send(const std::string& body) {
    const std::u16string contentLength = Core::format(u"Content-Length: %d\r\n", body.size());
    const bool sent =
        keepError(m_binding->api().sendRequest(m_request->get(), Core::wideToUtf8(contentLength), body.data(),
                                               static_cast<std::uint32_t>(body.size())));
    if (!sent) {
        m_binding->notifySendFailed(m_number, static_cast<int>(m_lastError));
        Log::log(Log::Critical, u"HttpSendRequest failed to sent message (err %d)", m_lastError);
        return false;
    }
    m_binding->notifyMessageSent(m_number, body,
                                 m_headerChars + static_cast<std::uint32_t>(contentLength.size()));
    return true;
}

bool Impl::InetRequest::readResponse(std::string& out) {
    out.clear();
    Platform::Internet& api = m_binding->api();
    for (;;) {
        std::uint32_t available = 0;
        if (!keepError(api.queryDataAvailable(m_request->get(), available))) {
            m_binding->notifyResponseFailed(m_number, static_cast<int>(m_lastError));
            Log::log(Log::Critical, u"InternetQueryDataAvailable failed to retreive response size (err %d)",
                     m_lastError);
            return false;
        }
        std::uint32_t read = 0;
        if (available) {
            const std::size_t old = out.size();
            out.resize(old + std::min(available, MaxReadChunk));
            if (!keepError(api.readFile(m_request->get(), out.data() + old,
                                        static_cast<std::uint32_t>(out.size() - old), read))) {
                out.resize(old);
                m_binding->notifyResponseFailed(m_number, static_cast<int>(m_lastError));
                Log::log(Log::Critical, u"InternetReadFile failed to read response (err %d)", m_lastError);
                return false;
            }
            out.resize(old + std::min<std::size_t>(read, out.size() - old));
        }
        // Nothing waiting, or a read that brought nothing: the reply is whole.
        if (!available || !read) {
            m_binding->notifyResponseReceived(m_number, out);
            return true;
        }
    }
}

int Impl::InetRequest::statusCode() {
    std::uint32_t status = 0;
    if (!keepError(m_binding->api().queryStatusCode(m_request->get(), status))) return 0;
    return static_cast<int>(status);
}

std::shared_ptr<Impl> create(std::shared_ptr<Platform::Internet> api) {
    if (!api) {
        Log::log(Log::Critical, u"wininet.dll can't be found (err %d)", Platform::lastError());
        return nullptr;
    }
    return std::make_shared<Impl>(std::move(api));
}

std::shared_ptr<Impl> create() {
    return create(Platform::systemInternet());
}

} // namespace Network::WinInet
