// The download on libcurl. curl's easy interface hands over the body in pieces of its own
// choosing; they are gathered into chunks of the size the chunk rule gives, and a chunk goes
// to the result when it is full or the body has ended, as reads of that size would.
#include <curl/curl.h>
#include <strings.h>

#include <algorithm>
#include <new>
#include <vector>

#include "update/HttpFile.h"
#include "update/UpdateRules.h"

namespace folioknife::update {

namespace {

constexpr long kConnectTimeoutMs = 15000;
constexpr long kTotalTimeoutMs = 60000;
constexpr long kMostRedirects = 8;

struct Transfer {
    std::optional<std::string> contentLength;
    std::size_t chunkSize = 0;
    std::vector<char> chunk;
    std::size_t filled = 0;
    std::string bytes;
    std::size_t maxBytes = 0;
    bool full = false;  // maxBytes reached: the rest is not wanted

    // Moves the gathered chunk to the result, keeping at most maxBytes in all.
    void flush() {
        const std::size_t room = maxBytes - bytes.size();
        bytes.append(chunk.data(), std::min(filled, room));
        if (filled >= room) full = true;
        filled = 0;
    }
};

size_t onHeader(char* data, size_t size, size_t count, void* user) {
    auto& transfer = *static_cast<Transfer*>(user);
    const size_t length = size * count;
    std::string line(data, length);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    // Each response of a redirect chain brings its own header block; the last one counts.
    if (line.compare(0, 5, "HTTP/") == 0) {
        transfer.contentLength.reset();
        transfer.chunkSize = 0;
    } else if (line.empty()) {
        transfer.chunkSize = chunkSizeFor(transfer.contentLength);
    } else if (strncasecmp(line.c_str(), "Content-Length:", 15) == 0) {
        // The value without the blanks after the colon, as WinINet hands it over: they are no
        // part of it, and counted they would push a 31-character value past the chunk rule's
        // buffer.
        transfer.contentLength =
            line.substr(std::min(line.find_first_not_of(" \t", 15), line.size()));
    }
    return length;
}

size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto& transfer = *static_cast<Transfer*>(user);
    const size_t length = size * count;
    try {
        if (transfer.chunkSize == 0) transfer.chunkSize = chunkSizeFor(transfer.contentLength);
        if (transfer.chunk.size() != transfer.chunkSize) {
            transfer.chunk.assign(transfer.chunkSize, 0);
            transfer.filled = 0;
        }
        for (size_t done = 0; done < length;) {
            const size_t piece = std::min(length - done, transfer.chunkSize - transfer.filled);
            std::copy(data + done, data + done + piece, transfer.chunk.data() + transfer.filled);
            transfer.filled += piece;
            done += piece;
            if (transfer.filled == transfer.chunkSize) transfer.flush();
            // Returning less than was given ends the transfer.
            if (transfer.full) return 0;
        }
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return length;
}

long milliseconds(const std::optional<std::chrono::milliseconds>& limit, long otherwise) {
    if (!limit) return otherwise;
    return static_cast<long>(std::max<std::chrono::milliseconds::rep>(1, limit->count()));
}

}  // namespace

HttpFile getHttpFile(const Text& url, const HttpLimits& limits) {
    HttpFile result;
    const Text address = cutFragment(url);
    if (address.empty()) return result;
    CURL* curl = curl_easy_init();
    if (!curl) return result;

    Transfer transfer;
    transfer.maxBytes = limits.maxBytes;
    curl_slist* headers = nullptr;
    // curl sends "Accept: */*" by itself; named here so that it is there whatever the version.
    for (const char* header : {"Accept: */*", "Cache-Control: no-cache", "Pragma: no-cache"}) {
        if (curl_slist* more = curl_slist_append(headers, header)) headers = more;
    }
    curl_easy_setopt(curl, CURLOPT_URL, address.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)");
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMostRedirects);
    // A redirect may lead to another web address, never to a file or another protocol.
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    // Left at their defaults, curl would wait for a silent server for ever.
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS,
                     milliseconds(limits.connectTimeout, kConnectTimeoutMs));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, milliseconds(limits.totalTimeout, kTotalTimeoutMs));
    // This runs off the main thread: time-outs must not be signals.
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    // The proxy comes from the environment (http_proxy, no_proxy, ...), as curl reads it.

    // Whatever ended the transfer (its end, a broken connection, a time-out, the limit), the
    // bytes that arrived count.
    curl_easy_perform(curl);
    if (transfer.filled > 0 && !transfer.full) transfer.flush();
    result.bytes = std::move(transfer.bytes);
    result.chunkSize = transfer.chunkSize;
    curl_easy_cleanup(curl);
    curl_slist_free_all(headers);
    return result;
}

}  // namespace folioknife::update
