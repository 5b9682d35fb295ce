#pragma once
// A small HTTP server on 127.0.0.1 at a port chosen by the system, for
// tests of the HTTP client. It answers connections one at a time from a
// script of replies and keeps the exact bytes of every request it read.
// Connections past the end of the script get status 404.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace TestSupport {

class HttpServer {
  public:
    struct Reply {
        Reply(int status = 200, std::string body = {}) : status(status), body(std::move(body)) {}
        // Reads the request, then answers nothing and keeps the connection
        // open until release() or the server's end.
        static Reply hanging() {
            Reply r;
            r.hang = true;
            return r;
        }
        // Reads the request, then closes the connection unanswered.
        static Reply dropped() {
            Reply r;
            r.drop = true;
            return r;
        }
        // Answers 200 with a body of `bytes` bytes announced in full but sent
        // one byte per step: the line is never idle for long, yet the
        // reply takes bytes x step (a trickling server). Stops when the
        // client goes, at release() or at the server's end.
        static Reply trickling(std::size_t bytes, std::chrono::milliseconds step) {
            Reply r;
            r.trickleBytes = bytes;
            r.trickleStep = step;
            return r;
        }
        // Sends these bytes as they stand (a damaged reply).
        static Reply rawBytes(std::string bytes) {
            Reply r;
            r.raw = std::move(bytes);
            return r;
        }

        int status = 200;
        std::string body;
        bool hang = false;
        bool drop = false;
        std::string raw;
        std::size_t trickleBytes = 0;
        std::chrono::milliseconds trickleStep{0};
    };

    explicit HttpServer(std::vector<Reply> script);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    std::uint16_t port() const { return m_port; }
    // "http://127.0.0.1:<port><path>"
    std::string url(const std::string& path) const;
    // The requests read so far, each as the bytes received.
    std::vector<std::string> requests() const;
    // Waits (bounded) until at least count requests were read.
    bool waitForRequests(std::size_t count, std::chrono::milliseconds limit = std::chrono::seconds(10)) const;
    // Lets hanging connections close.
    void release();

  private:
    struct State;
    void serve();

    std::shared_ptr<State> m_state;
    std::uint16_t m_port = 0;
    std::thread m_thread;
};

// A loopback port on which nothing listens (bound, then closed at once).
std::uint16_t closedLoopbackPort();

} // namespace TestSupport
