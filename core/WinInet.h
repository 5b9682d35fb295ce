#pragma once
// The binding to the system's HTTP client (platform/Internet.h): the client
// itself, the request counter and the listeners told about every request.
// The engine creates one at start; a missing client leaves the program
// without a binding and the online service with nothing to send with.

#include "core/InetListener.h"
#include "core/InetRequest.h"
#include "core/SdlMutex.h"
#include "platform/Internet.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Network::WinInet {

class Impl : public std::enable_shared_from_this<Impl> {
  public:
    // Owns one client handle and closes it when destroyed; it shares the
    // client so the close stays possible whoever lets go last.
    class InetHandle {
      public:
        InetHandle(std::shared_ptr<Platform::Internet> api, Platform::InternetHandle handle)
            : m_api(std::move(api)), m_handle(handle) {}
        virtual ~InetHandle();
        InetHandle(const InetHandle&) = delete;
        InetHandle& operator=(const InetHandle&) = delete;

        Platform::InternetHandle get() const { return m_handle; }

      private:
        std::shared_ptr<Platform::Internet> m_api;
        Platform::InternetHandle m_handle;
    };

    class InetRequest;

    // Throws std::runtime_error "Can't create wininet listeners mutex".
    explicit Impl(std::shared_ptr<Platform::Internet> api);
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    Platform::Internet& api() const { return *m_api; }

    void addListener(InetListener* listener);
    void removeListener(InetListener* listener);

    // Opens agent, connection and request for one exchange, logging each
    // failure at level Critical; null on failure (the failing call's error
    // stays in Platform::lastError()). The binding must be held by a
    // shared pointer: the request keeps a share of it.
    std::unique_ptr<InetRequest> openRequest(const std::u16string& userAgent, const std::u16string& verb,
                                             const std::u16string& url);

    void notifyRequestOpened(std::uint32_t request);
    void notifyMessageSent(std::uint32_t request, const std::string& body, std::uint32_t headerChars);
    void notifySendFailed(std::uint32_t request, int error);
    void notifyResponseReceived(std::uint32_t request, const std::string& response);
    void notifyResponseFailed(std::uint32_t request, int error);

  private:
    template <class F> void notify(F&& call);

    std::shared_ptr<Platform::Internet> m_api;
    std::atomic<std::uint32_t> m_requestCounter{0};
    Threading::SdlMutex m_listenersMutex;
    std::vector<InetListener*> m_listeners;
};

class Impl::InetRequest final : public Network::InetRequest {
  public:
    // The handles are closed in reverse order of opening.
    InetRequest(std::shared_ptr<Impl> binding, std::unique_ptr<InetHandle> agent,
                std::unique_ptr<InetHandle> connection, std::unique_ptr<InetHandle> request,
                std::uint32_t number);
    ~InetRequest() override;

    bool setOption(std::uint32_t option, const void* data, std::uint32_t size) override;
    bool addHeader(std::u16string_view header) override;
    bool send(const std::string& body) override;
    bool readResponse(std::string& out) override;
    int statusCode() override;
    int lastError() const override { return static_cast<int>(m_lastError); }
    bool setStopEvent(const Platform::Event* stop) override;

    std::uint32_t number() const { return m_number; }

  private:
    bool keepError(bool result);

    std::unique_ptr<InetHandle> m_agent;
    std::unique_ptr<InetHandle> m_connection;
    std::unique_ptr<InetHandle> m_request;
    std::uint32_t m_number;
    std::uint32_t m_headerChars = 0;
    std::shared_ptr<Impl> m_binding;
    std::uint32_t m_lastError = 0;
};

// The binding over the system's client; empty when there is none.
std::shared_ptr<Impl> create();
// The binding over a given client (tests give their own); empty when null.
std::shared_ptr<Impl> create(std::shared_ptr<Platform::Internet> api);

} // namespace Network::WinInet
