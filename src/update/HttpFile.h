#pragma once
// One HTTP download into memory: WinINet on Windows, libcurl on Linux.
#include <chrono>
#include <cstddef>
#include <limits>
#include <optional>
#include <string>

#include "splitter/CodePage.h"

namespace folioknife::update {

using splitter::Text;

struct HttpLimits {
    // Nothing: the platform's choice. WinINet's own time-outs are finite; libcurl has none,
    // so on Linux nothing means 15 s to connect and 60 s for the whole transfer.
    std::optional<std::chrono::milliseconds> connectTimeout;
    std::optional<std::chrono::milliseconds> totalTimeout;
    // The body is cut here and the transfer ended.
    std::size_t maxBytes = std::numeric_limits<std::size_t>::max();
};

struct HttpFile {
    std::string bytes;          // the body in the order received; empty on any failure
    std::size_t chunkSize = 0;  // the portion the body was read in; 0 when no response came
};

// GET of the URL with version HTTP/1.0 and the agent "Mozilla/4.0 (compatible; MSIE 6.0;
// Windows NT 5.0)", answered by the server and not a cache, redirects followed, through the
// system's proxy settings; the fragment is never sent. The status is not looked at: the body
// of any response counts. A transfer that breaks off gives what arrived before. Never shows
// anything.
HttpFile getHttpFile(const Text& url, const HttpLimits& limits = HttpLimits());

}  // namespace folioknife::update
