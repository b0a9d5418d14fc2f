#pragma once
// A tiny HTTP server for the tests: 127.0.0.1 on a free port, one scripted reply per
// connection, the request heads recorded. It stops after its replies or its lifetime.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
using Socket = SOCKET;
inline void closeSocket(Socket s) { closesocket(s); }
constexpr int kSendFlags = 0;
#else
#include <arpa/inet.h>
#include <sys/select.h>
#include <unistd.h>
using Socket = int;
inline void closeSocket(Socket s) { close(s); }
constexpr int kSendFlags = MSG_NOSIGNAL;  // a client that has gone must not end the test
#endif

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace folioknife::testing {

struct Reply {
    enum class Ending { Close, Stall, Endless };  // after the bytes: close, wait, send 'x's
    std::string bytes;
    Ending ending = Ending::Close;
};

// Content-Length is the body's unless given; "-" leaves it out.
inline Reply httpReply(const std::string& body, const std::string& status = "200 OK",
                       const std::string& length = "") {
    const std::string header =
        length == "-"
            ? ""
            : "Content-Length: " + (length.empty() ? std::to_string(body.size()) : length) + "\r\n";
    return Reply{"HTTP/1.0 " + status + "\r\n" + header + "\r\n" + body};
}

class LoopbackServer {
public:
    explicit LoopbackServer(std::vector<Reply> replies)
        : replies_(std::move(replies)),
          deadline_(std::chrono::steady_clock::now() + std::chrono::seconds(20)) {
        listener_ = listenOnFreePort(port_);
        thread_ = std::thread([this] { serve(); });
    }
    ~LoopbackServer() {
        stop_ = true;
        thread_.join();
        closeSocket(listener_);
    }
    std::string host() const { return "127.0.0.1:" + std::to_string(port_); }
    std::vector<std::string> requests() {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }
    std::size_t connections() {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_.size();
    }
    // A port nobody listens on: taken from the system, then given back.
    static std::string unreachableHost() {
        int port = 0;
        closeSocket(listenOnFreePort(port));
        return "127.0.0.1:" + std::to_string(port);
    }

private:
    static Socket listenOnFreePort(int& port) {
#ifdef _WIN32
        static WSADATA data;
        static const int started = WSAStartup(MAKEWORD(2, 2), &data);
        (void)started;
#endif
        Socket s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            listen(s, 8) != 0 ||
            getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
            std::abort();
        }
        port = ntohs(address.sin_port);
        return s;
    }
    bool expired() const { return stop_ || std::chrono::steady_clock::now() > deadline_; }
    // Up to 50 ms for the socket to become readable or writable.
    static bool ready(Socket s, bool writing = false) {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(s, &set);
        timeval wait{0, 50000};
        return select(static_cast<int>(s) + 1, writing ? nullptr : &set, writing ? &set : nullptr,
                      nullptr, &wait) > 0;
    }
    bool sendAll(Socket s, const std::string& bytes) {
        for (std::size_t done = 0; done < bytes.size();) {
            if (expired()) return false;
            if (!ready(s, true)) continue;
            const int n =
                send(s, bytes.data() + done, static_cast<int>(bytes.size() - done), kSendFlags);
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }
    void serve() {
        for (const Reply& reply : replies_) {
            while (!expired() && !ready(listener_)) {
            }
            if (expired()) return;
            const Socket client = accept(listener_, nullptr, nullptr);
            std::string head;
            char buffer[4096];
            while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536 &&
                   !expired()) {
                if (!ready(client)) continue;
                const int n = recv(client, buffer, sizeof buffer, 0);
                if (n <= 0) break;
                head.append(buffer, static_cast<std::size_t>(n));
            }
            {
                std::lock_guard<std::mutex> lock(mutex_);
                requests_.push_back(head);
            }
            if (sendAll(client, reply.bytes) && reply.ending == Reply::Ending::Endless) {
                while (sendAll(client, std::string(16384, 'x'))) {
                }
            }
            // A stalled reply waits until the client closes (readable, nothing to read).
            while (reply.ending == Reply::Ending::Stall && !expired()) {
                if (ready(client) && recv(client, buffer, sizeof buffer, 0) <= 0) break;
            }
            closeSocket(client);
        }
    }

    std::vector<Reply> replies_;
    std::chrono::steady_clock::time_point deadline_;
    Socket listener_;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

// The tests talk to 127.0.0.1 directly, whatever proxy the environment names.
inline void bypassProxyForLoopback() {
#ifndef _WIN32
    setenv("no_proxy", "127.0.0.1", 1);
#endif
}

}  // namespace folioknife::testing
