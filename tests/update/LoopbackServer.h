#pragma once
// A tiny HTTP server for the tests: it listens on 127.0.0.1 at a free port, answers one
// scripted reply per connection, records the request heads it received, and stops by itself
// after its replies or its lifetime, whichever comes first.
#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace folioknife::testing {

#ifdef _WIN32
using Socket = SOCKET;
constexpr Socket kNoSocket = INVALID_SOCKET;
inline void closeSocket(Socket s) { closesocket(s); }
constexpr int kSendFlags = 0;
#else
using Socket = int;
constexpr Socket kNoSocket = -1;
inline void closeSocket(Socket s) { close(s); }
constexpr int kSendFlags = MSG_NOSIGNAL;  // a client that has gone must not kill the test
#endif

struct Reply {
    enum class Ending {
        Close,    // send the bytes, then close the connection
        Stall,    // send the bytes, then say nothing until the client gives up
        Endless,  // send the bytes, then body bytes without end until the client gives up
    };
    std::string bytes;
    Ending ending = Ending::Close;
};

// "HTTP/1.0 <status>", a Content-Length line unless contentLength is "-", and the body.
inline Reply httpReply(const std::string& body, const std::string& status = "200 OK",
                       const std::string& contentLength = "") {
    std::string head = "HTTP/1.0 " + status + "\r\nContent-Type: text/plain\r\n";
    if (contentLength != "-") {
        head += "Content-Length: " +
                (contentLength.empty() ? std::to_string(body.size()) : contentLength) + "\r\n";
    }
    return Reply{head + "\r\n" + body};
}

class LoopbackServer {
public:
    explicit LoopbackServer(std::vector<Reply> replies,
                            std::chrono::milliseconds lifetime = std::chrono::seconds(20))
        : replies_(std::move(replies)), deadline_(std::chrono::steady_clock::now() + lifetime) {
        startSockets();
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        socklen_t size = sizeof address;
        if (listener_ == kNoSocket ||
            bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            listen(listener_, 8) != 0 ||
            getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
            std::abort();
        }
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~LoopbackServer() {
        stop_ = true;
        thread_.join();
        closeSocket(listener_);
        stopSockets();
    }

    int port() const { return port_; }
    std::string host() const { return "127.0.0.1:" + std::to_string(port_); }
    std::vector<std::string> requests() {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }
    std::size_t connections() const { return connections_; }

    // A port on which nobody listens: taken from the system, then given back.
    static int unusedPort() {
        startSockets();
        Socket s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
        closeSocket(s);
        stopSockets();
        return ntohs(address.sin_port);
    }

private:
    static void startSockets() {
#ifdef _WIN32
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
#endif
    }
    static void stopSockets() {
#ifdef _WIN32
        WSACleanup();
#endif
    }

    bool expired() const { return stop_ || std::chrono::steady_clock::now() > deadline_; }

    // Waits up to 50 ms for the socket to become readable (or writable).
    static bool ready(Socket s, bool forWriting = false) {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(s, &set);
        timeval wait{0, 50000};
        const int n = forWriting ? select(static_cast<int>(s) + 1, nullptr, &set, nullptr, &wait)
                                 : select(static_cast<int>(s) + 1, &set, nullptr, nullptr, &wait);
        return n > 0;
    }

    bool sendAll(Socket s, const std::string& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            if (expired()) return false;
            if (!ready(s, true)) continue;
            const int n = send(s, bytes.data() + done, static_cast<int>(bytes.size() - done),
                               kSendFlags);
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    void serve() {
        for (const Reply& reply : replies_) {
            Socket client = kNoSocket;
            while (client == kNoSocket && !expired()) {
                if (ready(listener_)) client = accept(listener_, nullptr, nullptr);
            }
            if (client == kNoSocket) return;
            ++connections_;
            answer(client, reply);
            closeSocket(client);
        }
    }

    void answer(Socket client, const Reply& reply) {
        std::string head;
        char buffer[4096];
        while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536 && !expired()) {
            if (!ready(client)) continue;
            const int n = recv(client, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            head.append(buffer, static_cast<std::size_t>(n));
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(head);
        }
        if (!sendAll(client, reply.bytes)) return;
        if (reply.ending == Reply::Ending::Endless) {
            const std::string block(16384, 'x');
            // Bounded as well: 256 MiB, or the lifetime.
            for (int i = 0; i < 16384 && sendAll(client, block); ++i) {
            }
        } else if (reply.ending == Reply::Ending::Stall) {
            // Until the client closes (readable with nothing to read) or the lifetime ends.
            while (!expired()) {
                if (ready(client) && recv(client, buffer, sizeof buffer, 0) <= 0) break;
            }
        }
    }

    std::vector<Reply> replies_;
    std::chrono::steady_clock::time_point deadline_;
    Socket listener_ = kNoSocket;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<std::size_t> connections_{0};
    std::mutex mutex_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

// The tests talk to 127.0.0.1 directly, whatever proxy the environment names.
inline void bypassProxyForLoopback() {
#ifndef _WIN32
    setenv("no_proxy", "127.0.0.1", 1);
    setenv("NO_PROXY", "127.0.0.1", 1);
#endif
}

}  // namespace folioknife::testing
