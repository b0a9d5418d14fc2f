// The download on WinINet.
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "update/HttpFile.h"
#include "update/UpdateRules.h"

namespace folioknife::update {

namespace {

const char kAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";

// One root handle for the whole process, opened by the first download that gets that far and
// kept; a failed open leaves none, and the next download tries again.
HINTERNET rootHandle() {
    static std::mutex guard;
    static HINTERNET root = nullptr;
    std::lock_guard<std::mutex> lock(guard);
    if (!root) root = InternetOpenA(kAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    return root;
}

// Closes a connection or request handle on every way out.
class Handle {
public:
    explicit Handle(HINTERNET h) : h_(h) {}
    ~Handle() {
        if (h_) InternetCloseHandle(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HINTERNET get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }

private:
    HINTERNET h_;
};

bool canonicalize(const Text& url, std::string& canonical) {
    std::vector<char> buffer(2084);
    DWORD length = static_cast<DWORD>(buffer.size());
    if (!InternetCanonicalizeUrlA(url.c_str(), buffer.data(), &length, ICU_NO_ENCODE)) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
        // The first answer names the size it needs.
        buffer.assign(length + 1, 0);
        length = static_cast<DWORD>(buffer.size());
        if (!InternetCanonicalizeUrlA(url.c_str(), buffer.data(), &length, ICU_NO_ENCODE)) {
            return false;
        }
    }
    canonical.assign(buffer.data(), length);
    return true;
}

void setTimeout(HINTERNET handle, DWORD option, const std::optional<std::chrono::milliseconds>& t) {
    if (!t) return;
    DWORD ms = static_cast<DWORD>(std::max<std::chrono::milliseconds::rep>(1, t->count()));
    InternetSetOptionA(handle, option, &ms, sizeof ms);
}

// The parts of a URL that the connection and the request need.
struct UrlParts {
    char host[256] = {};
    char path[2048] = {};
    char user[128] = {};
    char password[128] = {};
    INTERNET_PORT port = 0;
};

// The canonical form of the URL taken apart; false when WinINet cannot read it.
bool crackUrl(const Text& url, UrlParts& parts) {
    std::string canonical;
    if (!canonicalize(url, canonical)) return false;
    URL_COMPONENTSA components{};
    components.dwStructSize = sizeof components;
    components.lpszHostName = parts.host;
    components.dwHostNameLength = sizeof parts.host;
    components.lpszUrlPath = parts.path;
    components.dwUrlPathLength = sizeof parts.path;
    components.lpszUserName = parts.user;
    components.dwUserNameLength = sizeof parts.user;
    components.lpszPassword = parts.password;
    components.dwPasswordLength = sizeof parts.password;
    if (!InternetCrackUrlA(canonical.c_str(), 0, 0, &components)) return false;
    parts.port = components.nPort;
    return true;
}

// The system's proxy settings on the root handle; the caller's time-outs, if any, on the
// connection (the platform's own stand otherwise; the tests ask for others).
void setConnectionOptions(HINTERNET root, HINTERNET connection, const HttpLimits& limits) {
    INTERNET_PROXY_INFO proxy{};
    proxy.dwAccessType = INTERNET_OPEN_TYPE_PRECONFIG;
    proxy.lpszProxy = nullptr;
    proxy.lpszProxyBypass = nullptr;
    InternetSetOptionA(root, INTERNET_OPTION_PROXY, &proxy, sizeof proxy);
    setTimeout(connection, INTERNET_OPTION_CONNECT_TIMEOUT, limits.connectTimeout);
    setTimeout(connection, INTERNET_OPTION_RECEIVE_TIMEOUT, limits.totalTimeout);
    setTimeout(connection, INTERNET_OPTION_SEND_TIMEOUT, limits.totalTimeout);
}

// A GET of the path over HTTP/1.0, answered by the server and not a cache.
Handle openGetRequest(HINTERNET connection, const Text& path) {
    static const char* acceptTypes[] = {"Accept: */* \r\n", nullptr};
    return Handle(HttpOpenRequestA(connection, "GET", path.c_str(), "HTTP/1.0", nullptr,
                                   acceptTypes, INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE,
                                   0));
}

// The Content-Length header as the server wrote it, or nothing. Too long a value does not fit
// and fails the query: the chunk rule then takes its default.
std::optional<std::string> contentLengthOf(HINTERNET request) {
    char lengthText[kContentLengthBuffer] = {};
    DWORD lengthSize = sizeof lengthText;
    if (!HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, lengthText, &lengthSize, nullptr))
        return std::nullopt;
    return std::string(lengthText, lengthSize);
}

// The body, read chunk by chunk until the end, a failed read or maxBytes; nothing at all when
// the chunk cannot be had.
void readBody(HINTERNET request, std::size_t chunkSize, std::size_t maxBytes, HttpFile& result) {
    std::vector<char> chunk;
    try {
        chunk.resize(chunkSize);
    } catch (const std::bad_alloc&) {
        return;
    }
    result.chunkSize = chunkSize;
    try {
        while (result.bytes.size() < maxBytes) {
            DWORD read = 0;
            if (!InternetReadFile(request, chunk.data(), static_cast<DWORD>(chunkSize), &read) ||
                read == 0) {
                break;
            }
            const std::size_t room = maxBytes - result.bytes.size();
            result.bytes.append(chunk.data(), std::min<std::size_t>(read, room));
        }
    } catch (const std::bad_alloc&) {
        // What was collected until then is the result.
    }
}

}  // namespace

HttpFile getHttpFile(const Text& url, const HttpLimits& limits) {
    HttpFile result;
    UrlParts parts;
    if (url.empty() || !crackUrl(url, parts)) return result;

    HINTERNET root = rootHandle();
    if (!root) return result;
    Handle connection(InternetConnectA(root, parts.host, parts.port, parts.user, parts.password,
                                       INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) return result;
    setConnectionOptions(root, connection.get(), limits);

    Handle request = openGetRequest(connection.get(), cutFragment(parts.path));
    if (!request) return result;
    static const char kExtraHeaders[] = "Accept: */*\r\n\r\n";
    if (!HttpSendRequestA(request.get(), kExtraHeaders, 15, nullptr, 0)) return result;

    readBody(request.get(), chunkSizeFor(contentLengthOf(request.get())), limits.maxBytes, result);
    return result;
}

}  // namespace folioknife::update
