// The local copy of up.ini on Linux: kept in memory, read by our own profile reader.
#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <vector>

#include "update/LocalFile.h"
#include "update/UpdateRules.h"

namespace folioknife::update {

using splitter::FileOperation;
using splitter::systemFileError;

FileStatus storeLocalFile(const Text& path, const std::string& bytes) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return systemFileError(FileOperation::Create, path, errno);
    std::size_t done = 0;
    int error = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n == 0 ? ENOSPC : errno;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (close(fd) != 0 && error == 0) return systemFileError(FileOperation::Close, path, errno);
    if (error != 0) return systemFileError(FileOperation::Write, path, error);
    return {};
}

FileStatus deleteLocalFile(const Text& path) {
    if (unlink(path.c_str()) != 0) return systemFileError(FileOperation::Delete, path, errno);
    return {};
}

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
