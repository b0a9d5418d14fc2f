// The local copy of up.ini on Linux: kept in memory, read by our own profile reader.
#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <vector>

#include "update/LocalFile.h"
#include "update/UpdateRules.h"

namespace folioknife::update {

bool storeLocalFile(const Text& path, const std::string& bytes) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return close(fd) == 0 && done == bytes.size();
}

bool deleteLocalFile(const Text& path) { return unlink(path.c_str()) == 0; }

// Linux has no profile reader; the rules of the Windows one are kept in lookupProfileText.
Text readProfileFile(const Text& path, const Text& section, const Text& key,
                     const Text& defaultText) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return defaultText;
    std::string content;
    char buffer[8192];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        content.append(buffer, static_cast<std::size_t>(n));
    }
    close(fd);
    return lookupProfileText(content, section, key, defaultText);
}

// Installed, the program sits in /usr/bin, where its user may not write; a file in the cache
// folder would only be written to be read back by our own reader. So up.ini stays in memory.
std::vector<Text> localCopyPaths() { return {}; }

}  // namespace folioknife::update
