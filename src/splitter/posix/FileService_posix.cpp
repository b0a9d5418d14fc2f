#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

#include "splitter/FileService.h"
#include "splitter/Path.h"

namespace folioknife::splitter {

namespace {

// The files this process has mapped and still holds, by device and inode. Truncating one of
// them would take the text from under the split that reads it, so an output that is one of
// them (a novel called novel_2.txt split into its own folder) is unlinked and created anew,
// which leaves the mapped bytes alone.
class MappedFiles {
public:
    using Key = std::pair<dev_t, ino_t>;
    void add(Key key) {
        std::lock_guard<std::mutex> lock(mutex_);
        keys_.push_back(key);
    }
    void remove(Key key) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = std::find(keys_.begin(), keys_.end(), key);
        if (it != keys_.end()) keys_.erase(it);
    }
    bool holds(Key key) {
        std::lock_guard<std::mutex> lock(mutex_);
        return std::find(keys_.begin(), keys_.end(), key) != keys_.end();
    }

private:
    std::mutex mutex_;
    std::vector<Key> keys_;
};

MappedFiles& mappedFiles() {
    static MappedFiles files;
    return files;
}

class PosixInputFile : public InputFile {
public:
    explicit PosixInputFile(int fd) : fd_(fd) {}
    ~PosixInputFile() override { ::close(fd_); }
    std::optional<std::uint64_t> size() override {
        struct stat st;
        if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
        return static_cast<std::uint64_t>(st.st_size);
    }
    std::int64_t read(char* buffer, std::size_t capacity) override {
        for (;;) {
            ssize_t n = ::read(fd_, buffer, capacity);
            if (n >= 0) return n;
            if (errno != EINTR) return -1;
        }
    }
    std::optional<SharedBytes> mapWhole() override {
        struct stat st;
        if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0) return std::nullopt;
        const auto size = static_cast<std::size_t>(st.st_size);
        // Private and read-only; populated at once, which maps the pages the system already
        // holds in a few calls instead of faulting them in one by one.
        void* base = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd_, 0);
        if (base == MAP_FAILED) return std::nullopt;
        ::madvise(base, size, MADV_SEQUENTIAL);
        const MappedFiles::Key key(st.st_dev, st.st_ino);
        mappedFiles().add(key);
        std::shared_ptr<const void> owner(base, [size, key](const void* p) {
            ::munmap(const_cast<void*>(p), size);
            mappedFiles().remove(key);
        });
        return SharedBytes(std::move(owner), std::string_view(static_cast<const char*>(base), size));
    }

private:
    int fd_;
};

class PosixOutputFile : public OutputFile {
public:
    explicit PosixOutputFile(int fd) : fd_(fd) {}
    ~PosixOutputFile() override {
        if (fd_ >= 0) ::close(fd_);
    }
    bool write(std::string_view bytes) override {
        const char* p = bytes.data();
        std::size_t left = bytes.size();
        while (left > 0) {
            // Large volumes go out in pieces: some systems refuse single writes over 2 GiB.
            std::size_t chunk = left < (std::size_t{1} << 30) ? left : (std::size_t{1} << 30);
            ssize_t n = ::write(fd_, p, chunk);
            if (n < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            if (n == 0) return false;
            p += n;
            left -= static_cast<std::size_t>(n);
        }
        return true;
    }
    bool close() override {
        // close() is not retried after EINTR: the descriptor is gone either way on Linux.
        int r = ::close(fd_);
        fd_ = -1;
        return r == 0;
    }

private:
    int fd_;
};

class PosixFileService : public FileService {
public:
    std::unique_ptr<InputFile> openForReading(const std::string& path) override {
        if (path.empty()) return nullptr;
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return nullptr;
        struct stat st;
        if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
            ::close(fd);
            return nullptr;
        }
        return std::make_unique<PosixInputFile>(fd);
    }
    std::unique_ptr<OutputFile> createReplacing(const std::string& path) override {
        if (path.empty()) return nullptr;
        struct stat st;
        if (::stat(path.c_str(), &st) == 0 && mappedFiles().holds({st.st_dev, st.st_ino}) &&
            ::unlink(path.c_str()) != 0) {
            return nullptr;  // it cannot be replaced without cutting the mapped text short
        }
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0) return nullptr;
        return std::make_unique<PosixOutputFile>(fd);
    }
    bool createDirectory(const std::string& path) override {
        return !path.empty() && ::mkdir(path.c_str(), 0777) == 0;
    }
    bool deleteFile(const std::string& path) override {
        return !path.empty() && ::unlink(path.c_str()) == 0;
    }
    std::string separator() const override { return pathSeparator(PathStyle::Posix); }
};

// What a fault in a lost mapping writes and returns; set once, before anything is mapped,
// and only read by the handler.
std::string* lostMappingMessage = nullptr;
int lostMappingStatus = 2;

extern "C" void onLostMapping(int) {
    if (lostMappingMessage) {
        const char* p = lostMappingMessage->data();
        std::size_t left = lostMappingMessage->size();
        while (left > 0) {
            ssize_t n = ::write(STDERR_FILENO, p, left);
            if (n <= 0) break;
            p += n;
            left -= static_cast<std::size_t>(n);
        }
    }
    ::_exit(lostMappingStatus);
}

}  // namespace

FileService& systemFileService() {
    static PosixFileService service;
    return service;
}

void exitOnLostMapping(std::string message, int status) {
    // Kept for the life of the process: the handler may run at any moment.
    static std::string kept;
    kept = std::move(message);
    lostMappingMessage = &kept;
    lostMappingStatus = status;
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = onLostMapping;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, nullptr);
}

}  // namespace folioknife::splitter
