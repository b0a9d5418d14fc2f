// The download on WinINet.
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <mutex>
#include <new>
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

}  // namespace

HttpFile getHttpFile(const Text& url, const HttpLimits& limits) {
    HttpFile result;
    if (url.empty()) return result;

    std::string canonical;
    if (!canonicalize(url, canonical)) return result;
    char host[256] = {};
    char path[2048] = {};
    char user[128] = {};
    char password[128] = {};
    URL_COMPONENTSA parts{};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = sizeof host;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = sizeof path;
    parts.lpszUserName = user;
    parts.dwUserNameLength = sizeof user;
    parts.lpszPassword = password;
    parts.dwPasswordLength = sizeof password;
    if (!InternetCrackUrlA(canonical.c_str(), 0, 0, &parts)) return result;

    HINTERNET root = rootHandle();
    if (!root) return result;
    Handle connection(
        InternetConnectA(root, host, parts.nPort, user, password, INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) return result;

    INTERNET_PROXY_INFO proxy{};
    proxy.dwAccessType = INTERNET_OPEN_TYPE_PRECONFIG;
    proxy.lpszProxy = nullptr;
    proxy.lpszProxyBypass = nullptr;
    InternetSetOptionA(root, INTERNET_OPTION_PROXY, &proxy, sizeof proxy);

    // The platform's time-outs stand unless the caller asks for others (the tests do).
    setTimeout(connection.get(), INTERNET_OPTION_CONNECT_TIMEOUT, limits.connectTimeout);
    setTimeout(connection.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, limits.totalTimeout);
    setTimeout(connection.get(), INTERNET_OPTION_SEND_TIMEOUT, limits.totalTimeout);

    const Text requestPath = cutFragment(path);
    const char* acceptTypes[] = {"Accept: */* \r\n", nullptr};
    Handle request(HttpOpenRequestA(connection.get(), "GET", requestPath.c_str(), "HTTP/1.0",
                                    nullptr, acceptTypes,
                                    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0));
    if (!request) return result;
    static const char kExtraHeaders[] = "Accept: */*\r\n\r\n";
    if (!HttpSendRequestA(request.get(), kExtraHeaders, 15, nullptr, 0)) return result;

    char lengthText[kContentLengthBuffer] = {};
    DWORD lengthSize = sizeof lengthText;
    std::optional<std::string> contentLength;
    // Too long a value does not fit and fails the query: the rule then takes the default.
    if (HttpQueryInfoA(request.get(), HTTP_QUERY_CONTENT_LENGTH, lengthText, &lengthSize,
                       nullptr)) {
        contentLength = std::string(lengthText, lengthSize);
    }
    const std::size_t chunkSize = chunkSizeFor(contentLength);

    std::vector<char> chunk;
    try {
        chunk.resize(chunkSize);
    } catch (const std::bad_alloc&) {
        return result;
    }
    result.chunkSize = chunkSize;
    try {
        while (result.bytes.size() < limits.maxBytes) {
            DWORD read = 0;
            if (!InternetReadFile(request.get(), chunk.data(), static_cast<DWORD>(chunkSize),
                                  &read) ||
                read == 0) {
                break;
            }
            const std::size_t room = limits.maxBytes - result.bytes.size();
            result.bytes.append(chunk.data(), std::min<std::size_t>(read, room));
        }
    } catch (const std::bad_alloc&) {
        // What was collected until then is the result.
    }
    return result;
}

}  // namespace folioknife::update
