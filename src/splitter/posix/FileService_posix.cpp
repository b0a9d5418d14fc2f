#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "splitter/FileService.h"

namespace folioknife::splitter {

namespace {

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
    std::string separator() const override { return "/"; }
};

}  // namespace

FileService& systemFileService() {
    static PosixFileService service;
    return service;
}

}  // namespace folioknife::splitter
