// The HTTP client over libcurl. One curl transfer runs per send, driven by
// the multi interface so that the loop can look at the cancel event and the
// receive time-out between short polls; the whole reply body is kept in the
// request object and handed out by queryDataAvailable/readFile.
//
// libcurl (with its TLS libraries, several megabytes) is not linked: it is
// loaded with the system's loader on the first transfer, so a program whose
// online service never sends anything never maps it. The header gives the
// types and constants only.

#include "platform/Error.h"
#include "platform/Event.h"
#include "platform/Internet.h"
#include "platform/SharedLibrary.h"

// The functions are called through pointers, not the header's type-checking
// macros.
#define CURL_DISABLE_TYPECHECK
#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <type_traits>
#include <chrono>
#include <cstring>
#include <utility>
#include <vector>

namespace Platform {
namespace {

using Clock = std::chrono::steady_clock;

// The libcurl functions used here, from the library loaded at run time.
struct CurlApi {
    decltype(&curl_global_init) globalInit = nullptr;
    decltype(&curl_easy_init) easyInit = nullptr;
    decltype(&curl_easy_cleanup) easyCleanup = nullptr;
    decltype(&curl_easy_setopt) easySetopt = nullptr;
    decltype(&curl_easy_getinfo) easyGetinfo = nullptr;
    decltype(&curl_multi_init) multiInit = nullptr;
    decltype(&curl_multi_cleanup) multiCleanup = nullptr;
    decltype(&curl_multi_add_handle) multiAddHandle = nullptr;
    decltype(&curl_multi_remove_handle) multiRemoveHandle = nullptr;
    decltype(&curl_multi_perform) multiPerform = nullptr;
    decltype(&curl_multi_poll) multiPoll = nullptr;
    decltype(&curl_multi_info_read) multiInfoRead = nullptr;
    decltype(&curl_slist_append) slistAppend = nullptr;
    decltype(&curl_slist_free_all) slistFreeAll = nullptr;
};

// Loads libcurl and initialises it, once for the process (the first caller
// does it, any thread); null when the library, one of its functions or its
// initialisation is missing, with the last error set.
const CurlApi* curlApi() {
    static const CurlApi* const loaded = [] () -> const CurlApi* {
        void* library = loadLibrary(u"libcurl.so.4");
        if (library == nullptr)
            return nullptr;
        static CurlApi api;
        bool complete = true;
        const auto bind = [&](auto& function, const char* name) {
            function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(librarySymbol(library, name));
            complete = complete && function != nullptr;
        };
        bind(api.globalInit, "curl_global_init");
        bind(api.easyInit, "curl_easy_init");
        bind(api.easyCleanup, "curl_easy_cleanup");
        bind(api.easySetopt, "curl_easy_setopt");
        bind(api.easyGetinfo, "curl_easy_getinfo");
        bind(api.multiInit, "curl_multi_init");
        bind(api.multiCleanup, "curl_multi_cleanup");
        bind(api.multiAddHandle, "curl_multi_add_handle");
        bind(api.multiRemoveHandle, "curl_multi_remove_handle");
        bind(api.multiPerform, "curl_multi_perform");
        bind(api.multiPoll, "curl_multi_poll");
        bind(api.multiInfoRead, "curl_multi_info_read");
        bind(api.slistAppend, "curl_slist_append");
        bind(api.slistFreeAll, "curl_slist_free_all");
        if (!complete || api.globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK)
            return nullptr;
        return &api;
    }();
    if (loaded == nullptr)
        setLastError(ErrorNotSupported);
    return loaded;
}

// A reply larger than this is refused: the server is outside our control and
// the program's replies are a few kilobytes.
constexpr std::size_t MaxResponseBytes = 16u << 20;
// How long one wait for socket activity lasts before the loop looks at the
// cancel event and the clock again.
constexpr int PollStepMs = 20;
constexpr std::uint32_t DefaultConnectTimeoutMs = 60000;
constexpr std::uint32_t DefaultReceiveTimeoutMs = 30000;
// The whole exchange, from connecting to the reply's last byte, may take
// this many receive time-outs.
constexpr int WholeRequestFactor = 2;

struct Agent final : InternetObject {
    std::string userAgent;
};

struct Connection final : InternetObject {
    std::string userAgent;
    std::string host;
    std::uint16_t port = 0;
};

struct Request final : InternetObject {
    std::string userAgent;
    std::string host;
    std::uint16_t port = 0;
    std::string verb;
    std::string path;
    std::string version;
    std::uint32_t flags = 0;
    std::vector<std::string> headers;
    std::uint32_t connectTimeoutMs = DefaultConnectTimeoutMs;
    std::uint32_t receiveTimeoutMs = DefaultReceiveTimeoutMs;
    const Event* cancel = nullptr;

    bool answered = false;
    std::uint32_t status = 0;
    std::string body;
    std::size_t readPosition = 0;
};

// State shared with the curl callbacks during one send.
struct Transfer {
    Request* request = nullptr;
    Clock::time_point lastActivity;
    curl_off_t lastDown = 0;
    curl_off_t lastUp = 0;
    bool tooLarge = false;
};

bool fail(int error) {
    setLastError(error);
    return false;
}

bool ok() {
    setLastError(ErrorSuccess);
    return true;
}

template <class T> T* as(InternetHandle handle) {
    return handle ? dynamic_cast<T*>(handle) : nullptr;
}

// Name of a header line, lower case, without the colon.
std::string headerName(std::string_view line) {
    std::string name(line.substr(0, line.find(':')));
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t'))
        name.pop_back();
    for (char& c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

// Splits CRLF-separated header lines; false when a line is not "Name: value".
bool splitHeaders(std::string_view text, std::vector<std::string>& lines) {
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) continue;
        const std::size_t colon = line.find(':');
        if (colon == 0 || colon == std::string_view::npos || line.find('\r') != std::string_view::npos ||
            line.find('\0') != std::string_view::npos)
            return false;
        lines.emplace_back(line);
    }
    return true;
}

bool hasHeader(const std::vector<std::string>& lines, std::string_view name) {
    return std::any_of(lines.begin(), lines.end(),
                       [name](const std::string& l) { return headerName(l) == name; });
}

// Names under the reserved "invalid" top-level domain never resolve; they
// are refused here without asking any name server.
bool isReservedInvalidName(std::string_view host) {
    std::string lower(host);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (!lower.empty() && lower.back() == '.') lower.pop_back();
    return lower == "invalid" || (lower.size() > 8 && lower.ends_with(".invalid"));
}

int errorFromCurl(CURLcode code) {
    switch (code) {
    case CURLE_OK:
        return ErrorSuccess;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return InternetNameNotResolved;
    case CURLE_COULDNT_CONNECT:
        return InternetCannotConnect;
    case CURLE_OPERATION_TIMEDOUT:
        return InternetTimeout;
    case CURLE_ABORTED_BY_CALLBACK:
        return InternetOperationCancelled;
    case CURLE_SEND_ERROR:
        return InternetConnectionAborted;
    case CURLE_RECV_ERROR:
        return InternetConnectionReset;
    case CURLE_GOT_NOTHING:
    case CURLE_WEIRD_SERVER_REPLY:
        return Inet::ErrorInvalidServerResponse;
    case CURLE_URL_MALFORMAT:
        return Inet::ErrorInvalidUrl;
    case CURLE_UNSUPPORTED_PROTOCOL:
        return Inet::ErrorUnrecognizedScheme;
    case CURLE_OUT_OF_MEMORY:
        return ErrorOutOfMemory;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
        return Inet::ErrorSecureChannel;
    default:
        return Inet::ErrorInternal;
    }
}

std::size_t onBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const std::size_t bytes = size * count;
    if (t->request->body.size() + bytes > MaxResponseBytes) {
        t->tooLarge = true;
        return 0; // makes curl stop with a write error
    }
    t->request->body.append(data, bytes);
    t->lastActivity = Clock::now();
    return bytes;
}

int onProgress(void* user, curl_off_t, curl_off_t downNow, curl_off_t, curl_off_t upNow) {
    auto* t = static_cast<Transfer*>(user);
    if (downNow != t->lastDown || upNow != t->lastUp) {
        t->lastDown = downNow;
        t->lastUp = upNow;
        t->lastActivity = Clock::now();
    }
    return t->request->cancel && t->request->cancel->isSet() ? 1 : 0;
}

class CurlInternet final : public Internet {
  public:
    bool crackUrl(std::string_view url, UrlComponents& parts) override {
        if (!Platform::crackUrl(url, parts)) return false;
        return ok();
    }

    bool goOnline(std::string_view) override { return ok(); }
    bool attemptConnect() override { return ok(); }

    InternetHandle open(std::string_view userAgent, std::uint32_t) override {
        auto* agent = new Agent;
        agent->userAgent = std::string(userAgent);
        ok();
        return agent;
    }

    InternetHandle connect(InternetHandle agentHandle, std::string_view host, std::uint16_t port,
                           std::uint32_t service) override {
        Agent* agent = as<Agent>(agentHandle);
        if (!agent) {
            fail(Inet::ErrorIncorrectHandleType);
            return nullptr;
        }
        if (host.empty() || service != Inet::ServiceHttp) {
            fail(ErrorInvalidParameter);
            return nullptr;
        }
        auto* connection = new Connection;
        connection->userAgent = agent->userAgent;
        connection->host = std::string(host);
        connection->port = port ? port : Inet::HttpPort;
        ok();
        return connection;
    }

    InternetHandle openRequest(InternetHandle connectionHandle, std::string_view verb, std::string_view path,
                               std::string_view version, std::uint32_t flags) override {
        Connection* connection = as<Connection>(connectionHandle);
        if (!connection) {
            fail(Inet::ErrorIncorrectHandleType);
            return nullptr;
        }
        auto* request = new Request;
        request->userAgent = connection->userAgent;
        request->host = connection->host;
        request->port = connection->port;
        request->verb = verb.empty() ? std::string("GET") : std::string(verb);
        request->path = path.empty() ? std::string("/") : std::string(path);
        request->version = version.empty() ? std::string("HTTP/1.1") : std::string(version);
        request->flags = flags;
        if (flags & Inet::FlagPragmaNoCache) request->headers.emplace_back("Pragma: no-cache");
        ok();
        return request;
    }

    bool closeHandle(InternetHandle handle) override {
        if (!handle) return fail(ErrorInvalidHandle);
        delete handle;
        return ok();
    }

    bool setOption(InternetHandle handle, std::uint32_t option, const void* data,
                   std::uint32_t size) override {
        Request* request = as<Request>(handle);
        if (!request) return fail(Inet::ErrorIncorrectHandleType);
        if (!data || size != sizeof(std::uint32_t)) return fail(ErrorInvalidParameter);
        std::uint32_t ms = 0;
        std::memcpy(&ms, data, sizeof ms);
        switch (option) {
        case Inet::OptionConnectTimeout:
            request->connectTimeoutMs = ms;
            break;
        case Inet::OptionReceiveTimeout:
            request->receiveTimeoutMs = ms;
            break;
        case Inet::OptionSendTimeout:
            break; // bodies are small; the receive time-out covers the exchange
        default:
            return fail(ErrorInvalidParameter);
        }
        return ok();
    }

    bool addRequestHeaders(InternetHandle handle, std::string_view text, std::uint32_t modifiers) override {
        Request* request = as<Request>(handle);
        if (!request) return fail(Inet::ErrorIncorrectHandleType);
        std::vector<std::string> lines;
        if (!splitHeaders(text, lines) || lines.empty()) return fail(ErrorInvalidParameter);
        for (std::string& line : lines) {
            if (modifiers & Inet::AddHeaderFlagReplace) {
                const std::string name = headerName(line);
                std::erase_if(request->headers,
                              [&name](const std::string& l) { return headerName(l) == name; });
            }
            request->headers.push_back(std::move(line));
        }
        return ok();
    }

    bool setCancelEvent(InternetHandle handle, const Event* cancel) override {
        Request* request = as<Request>(handle);
        if (!request) return fail(Inet::ErrorIncorrectHandleType);
        request->cancel = cancel;
        return ok();
    }

    bool sendRequest(InternetHandle handle, std::string_view extra, const void* body,
                     std::uint32_t length) override {
        Request* request = as<Request>(handle);
        if (!request) return fail(Inet::ErrorIncorrectHandleType);
        if (length && !body) return fail(ErrorInvalidParameter);
        request->answered = false;
        request->status = 0;
        request->body.clear();
        request->readPosition = 0;

        std::vector<std::string> lines = request->headers;
        if (!splitHeaders(extra, lines)) return fail(ErrorInvalidParameter);
        if (request->cancel && request->cancel->isSet()) return fail(InternetOperationCancelled);
        if (isReservedInvalidName(request->host)) return fail(InternetNameNotResolved);
        return perform(*request, lines, body, length);
    }

    bool queryStatusCode(InternetHandle handle, std::uint32_t& status) override {
        Request* request = as<Request>(handle);
        if (!request) return fail(Inet::ErrorIncorrectHandleType);
        if (!request->answered) return fail(Inet::ErrorIncorrectHandleState);
        status = request->status;
        return ok();
    }

    bool queryDataAvailable(InternetHandle handle, std::uint32_t& bytes) override {
        Request* request = as<Request>(handle);
        if (!request) return fail(Inet::ErrorIncorrectHandleType);
        if (!request->answered) return fail(Inet::ErrorIncorrectHandleState);
        bytes = static_cast<std::uint32_t>(request->body.size() - request->readPosition);
        return ok();
    }

    bool readFile(InternetHandle handle, void* buffer, std::uint32_t size, std::uint32_t& read) override {
        Request* request = as<Request>(handle);
        if (!request) return fail(Inet::ErrorIncorrectHandleType);
        if (!request->answered) return fail(Inet::ErrorIncorrectHandleState);
        if (size && !buffer) return fail(ErrorInvalidParameter);
        const std::size_t n = std::min<std::size_t>(size, request->body.size() - request->readPosition);
        if (n) std::memcpy(buffer, request->body.data() + request->readPosition, n);
        request->readPosition += n;
        read = static_cast<std::uint32_t>(n);
        return ok();
    }

  private:
    static bool perform(Request& request, const std::vector<std::string>& lines, const void* body,
                        std::uint32_t length) {
        const CurlApi* loaded = curlApi();
        if (loaded == nullptr)
            return false;
        const CurlApi& api = *loaded;
        CURL* easy = api.easyInit();
        if (!easy) return fail(ErrorOutOfMemory);
        CURLM* multi = api.multiInit();
        if (!multi) {
            api.easyCleanup(easy);
            return fail(ErrorOutOfMemory);
        }

        // Exactly the header lines the caller gave: curl's own Accept,
        // Content-Type and Expect are switched off unless given.
        curl_slist* headerList = nullptr;
        bool listOk = true;
        auto append = [&](const std::string& line) {
            curl_slist* next = api.slistAppend(headerList, line.c_str());
            if (!next)
                listOk = false;
            else
                headerList = next;
        };
        for (const std::string& line : lines)
            append(line);
        static const std::pair<const char*, const char*> automatic[] = {
            {"accept", "Accept:"}, {"content-type", "Content-Type:"}, {"expect", "Expect:"}};
        for (const auto& [name, suppress] : automatic)
            if (!hasHeader(lines, name)) append(suppress);

        const bool secure = (request.flags & Inet::FlagSecure) != 0;
        const bool bracket = request.host.find(':') != std::string::npos;
        const std::string url = std::string(secure ? "https://" : "http://") + (bracket ? "[" : "") +
                                request.host + (bracket ? "]" : "") + ":" + std::to_string(request.port) +
                                request.path;

        Transfer transfer;
        transfer.request = &request;
        transfer.lastActivity = Clock::now();

        api.easySetopt(easy, CURLOPT_URL, url.c_str());
        api.easySetopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
        api.easySetopt(easy, CURLOPT_NOSIGNAL, 1L);
        api.easySetopt(easy, CURLOPT_PROXY, ""); // direct: ignore proxy variables
        api.easySetopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
        api.easySetopt(easy, CURLOPT_HTTP_VERSION,
                         request.version == "HTTP/1.0" ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
        if (!request.userAgent.empty()) api.easySetopt(easy, CURLOPT_USERAGENT, request.userAgent.c_str());
        api.easySetopt(easy, CURLOPT_HTTPHEADER, headerList);
        api.easySetopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(request.connectTimeoutMs));
        if (request.verb == "GET" && length == 0) {
            api.easySetopt(easy, CURLOPT_HTTPGET, 1L);
        } else if (request.verb == "HEAD" && length == 0) {
            api.easySetopt(easy, CURLOPT_NOBODY, 1L);
        } else {
            api.easySetopt(easy, CURLOPT_POST, 1L);
            api.easySetopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(length));
            api.easySetopt(easy, CURLOPT_POSTFIELDS, length ? body : "");
            if (request.verb != "POST") api.easySetopt(easy, CURLOPT_CUSTOMREQUEST, request.verb.c_str());
        }
        api.easySetopt(easy, CURLOPT_WRITEFUNCTION, onBody);
        api.easySetopt(easy, CURLOPT_WRITEDATA, &transfer);
        api.easySetopt(easy, CURLOPT_XFERINFOFUNCTION, onProgress);
        api.easySetopt(easy, CURLOPT_XFERINFODATA, &transfer);
        api.easySetopt(easy, CURLOPT_NOPROGRESS, 0L);

        int error = ErrorSuccess;
        if (!listOk || api.multiAddHandle(multi, easy) != CURLM_OK) {
            error = ErrorOutOfMemory;
        } else {
            error = drive(api, multi, request, transfer);
            api.multiRemoveHandle(multi, easy);
        }
        if (error == ErrorSuccess) {
            long status = 0;
            api.easyGetinfo(easy, CURLINFO_RESPONSE_CODE, &status);
            request.status = static_cast<std::uint32_t>(status);
            request.answered = true;
        } else {
            request.body.clear();
        }
        api.multiCleanup(multi);
        api.easyCleanup(easy);
        api.slistFreeAll(headerList);
        return error == ErrorSuccess ? ok() : fail(error);
    }

    // Runs the transfer to its end; returns the error number (0 on success).
    static int drive(const CurlApi& api, CURLM* multi, Request& request, Transfer& transfer) {
        const auto receiveLimit = std::chrono::milliseconds(request.receiveTimeoutMs);
        // A server that trickles a byte now and then is never idle for the
        // receive time-out: the whole exchange is bounded as well.
        const auto wholeLimit = WholeRequestFactor * receiveLimit;
        const Clock::time_point start = Clock::now();
        for (;;) {
            int running = 0;
            if (api.multiPerform(multi, &running) != CURLM_OK) return Inet::ErrorInternal;
            if (!running) break;
            if (request.cancel && request.cancel->isSet()) return InternetOperationCancelled;
            if (request.receiveTimeoutMs && (Clock::now() - transfer.lastActivity >= receiveLimit ||
                                             Clock::now() - start >= wholeLimit))
                return InternetTimeout;
            if (api.multiPoll(multi, nullptr, 0, PollStepMs, nullptr) != CURLM_OK)
                return Inet::ErrorInternal;
        }
        int messages = 0;
        while (CURLMsg* message = api.multiInfoRead(multi, &messages)) {
            if (message->msg != CURLMSG_DONE) continue;
            const CURLcode code = message->data.result;
            if (code == CURLE_WRITE_ERROR && transfer.tooLarge) return InternetReplyTooLarge;
            return errorFromCurl(code);
        }
        return Inet::ErrorInternal;
    }
};

} // namespace

std::shared_ptr<Internet> systemInternet() {
    static const std::shared_ptr<Internet> instance = std::make_shared<CurlInternet>();
    return instance;
}

} // namespace Platform
