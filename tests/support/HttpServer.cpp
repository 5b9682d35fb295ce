#include "tests/support/HttpServer.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/read_until.hpp>
#include <boost/asio/streambuf.hpp>
#include <boost/asio/write.hpp>

#include <cctype>
#include <deque>

namespace TestSupport {

namespace asio = boost::asio;
using asio::ip::tcp;

struct HttpServer::State {
    asio::io_context io;
    tcp::acceptor acceptor{io};
    std::deque<Reply> script;
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    std::vector<std::string> requests;
    std::vector<tcp::socket> parked; // hanging connections, closed on release
    bool released = false;
    bool stopping = false;
};

namespace {

const char* reason(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 408:
        return "Request Timeout";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

// Value of Content-Length in a request head, 0 when absent.
std::size_t contentLength(const std::string& head) {
    std::string lower = head;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::size_t at = lower.find("\r\ncontent-length:");
    if (at == std::string::npos) return 0;
    return static_cast<std::size_t>(std::stoul(lower.substr(at + 17)));
}

} // namespace

HttpServer::HttpServer(std::vector<Reply> script) : m_state(std::make_shared<State>()) {
    m_state->script.assign(script.begin(), script.end());
    const tcp::endpoint endpoint(asio::ip::make_address("127.0.0.1"), 0);
    m_state->acceptor.open(endpoint.protocol());
    m_state->acceptor.bind(endpoint);
    m_state->acceptor.listen();
    m_port = m_state->acceptor.local_endpoint().port();
    m_thread = std::thread([this] { serve(); });
}

HttpServer::~HttpServer() {
    {
        std::lock_guard lock(m_state->mutex);
        m_state->stopping = true;
    }
    // Wake the blocking accept with a connection of our own.
    try {
        asio::io_context io;
        tcp::socket poke(io);
        poke.connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), m_port));
    } catch (const std::exception&) {
    }
    m_thread.join();
    release();
}

std::string HttpServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

std::vector<std::string> HttpServer::requests() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->requests;
}

bool HttpServer::waitForRequests(std::size_t count, std::chrono::milliseconds limit) const {
    std::unique_lock lock(m_state->mutex);
    return m_state->changed.wait_for(lock, limit, [&] { return m_state->requests.size() >= count; });
}

void HttpServer::release() {
    std::lock_guard lock(m_state->mutex);
    m_state->released = true;
    m_state->parked.clear();
}

void HttpServer::serve() {
    State& s = *m_state;
    for (;;) {
        tcp::socket socket(s.io);
        boost::system::error_code error;
        s.acceptor.accept(socket, error);
        Reply reply;
        {
            std::lock_guard lock(s.mutex);
            if (s.stopping) return;
            if (error) continue;
            if (!s.script.empty()) {
                reply = s.script.front();
                s.script.pop_front();
            } else {
                reply.status = 404;
            }
        }

        asio::streambuf buffer;
        const std::size_t headEnd = asio::read_until(socket, buffer, "\r\n\r\n", error);
        std::string received(asio::buffers_begin(buffer.data()), asio::buffers_end(buffer.data()));
        if (!error) {
            const std::size_t wanted = headEnd + contentLength(received.substr(0, headEnd));
            if (received.size() < wanted) {
                std::string rest(wanted - received.size(), '\0');
                const std::size_t got = asio::read(socket, asio::buffer(rest), error);
                received += rest.substr(0, got);
            }
        }
        {
            std::lock_guard lock(s.mutex);
            s.requests.push_back(received);
        }
        s.changed.notify_all();
        if (error) continue;

        if (reply.drop) {
            socket.close(error);
            continue;
        }
        if (reply.hang) {
            // Parked unanswered until release; the next connection is served.
            std::lock_guard lock(s.mutex);
            if (!s.released) s.parked.push_back(std::move(socket));
            continue;
        }
        if (reply.trickleBytes != 0) {
            const std::string head =
                "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(reply.trickleBytes) + "\r\n\r\n";
            asio::write(socket, asio::buffer(head), error);
            for (std::size_t i = 0; i < reply.trickleBytes && !error; ++i) {
                {
                    std::lock_guard lock(s.mutex);
                    if (s.stopping || s.released) break;
                }
                std::this_thread::sleep_for(reply.trickleStep);
                asio::write(socket, asio::buffer("x", 1), error);
            }
            socket.shutdown(tcp::socket::shutdown_both, error);
            continue;
        }
        const std::string answer =
            !reply.raw.empty()
                ? reply.raw
                : "HTTP/1.0 " + std::to_string(reply.status) + " " + reason(reply.status) +
                      "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(reply.body.size()) +
                      "\r\n\r\n" + reply.body;
        asio::write(socket, asio::buffer(answer), error);
        socket.shutdown(tcp::socket::shutdown_both, error);
    }
}

std::uint16_t closedLoopbackPort() {
    asio::io_context io;
    tcp::acceptor acceptor(io, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0));
    const std::uint16_t port = acceptor.local_endpoint().port();
    acceptor.close();
    return port;
}

} // namespace TestSupport
