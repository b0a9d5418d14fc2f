#include <dirent.h>
#include <fcntl.h>
#include <langinfo.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <random>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "splitter/CodePage.h"
#include "splitter/Path.h"
#include "splitter/FileService.h"
#include "splitter/Messages.h"

namespace folioknife::splitter {

FileErrorKind fileErrorKindOf(int code) {
    switch (code) {
        case ENOENT:
            return FileErrorKind::NotFound;
        case EEXIST:
            return FileErrorKind::Exists;
        case EACCES:
        case EPERM:
        case EROFS:
            return FileErrorKind::Access;
        case ENOSPC:
        case EDQUOT:
            return FileErrorKind::NoSpace;
        case EBUSY:
        case ETXTBSY:
            return FileErrorKind::Busy;
        case EFBIG:
        case EOVERFLOW:
            return FileErrorKind::TooLarge;
        default:
            return FileErrorKind::Other;
    }
}

FileError systemFileError(FileOperation operation, const std::string& path, int code) {
    char buffer[256];
    // The GNU strerror_r: the text is in the buffer or a static string. It follows the
    // locale's messages and codeset; the program may work in another code page.
    const char* text = ::strerror_r(code, buffer, sizeof buffer);
    const char* codeset = ::nl_langinfo(CODESET);
    const std::string from =
        codeset && *codeset && std::strcmp(codeset, "ANSI_X3.4-1968") != 0 ? codeset : "UTF-8";
    return FileError{operation, path, code,
                     sameCodePage(from, programCodePage())
                         ? std::string(text)
                         : convertForDisplay(text, from, programCodePage()),
                     fileErrorKindOf(code)};
}

namespace {

// The failure of 'operation' on 'path', with errno's reason as the system says it.
FileError fail(FileOperation operation, const std::string& path, int error = errno) {
    return systemFileError(operation, path, error);
}

// A failed lock: Busy when another split holds it, and only then.
FileError lockFailure(const std::string& path, int error, bool busy) {
    FileError failed = fail(FileOperation::Lock, path, error);
    if (busy)
        failed.kind = FileErrorKind::Busy;
    else if (failed.kind == FileErrorKind::Busy)
        failed.kind = FileErrorKind::Other;
    return failed;
}

// Opens without ever waiting: a FIFO would otherwise block until some writer comes.
int openNonBlocking(const std::string& path, int flags) {
    int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

// The folder that holds 'path' ("." for a bare name, "/" for one at the root).
std::string parentFolderOf(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path == "." ? ".." : folderOf(path, PathStyle::Posix);
}

// True when the name is one of the system's devices or a process's descriptor (/dev/stdin,
// /proc/self/fd/0, /dev/fd/3): a link that may lead to a regular file, but no file of the
// user's, and its folder, where the volumes would go, is the system's. Only a link is looked
// into further: a volume's name, asked about thousands of times, costs one lstat.
bool isSystemName(const std::string& path) {
    struct stat link;
    if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return false;
    char* folder = ::realpath(parentFolderOf(path).c_str(), nullptr);
    if (!folder) return false;
    const std::string real = folder;
    ::free(folder);
    const auto endsWith = [&](const std::string& end) {
        return real.size() >= end.size() &&
               real.compare(real.size() - end.size(), end.size(), end) == 0;
    };
    return real == "/dev" || (real.rfind("/proc/", 0) == 0 && endsWith("/fd"));
}

// What 'path' names, as stat or lstat (links not followed) sees it.
FileKind kindBy(int (*statOf)(const char*, struct stat*), const std::string& path) {
    struct stat st;
    if (path.empty() || statOf(path.c_str(), &st) != 0) return FileKind::Missing;
    if (S_ISREG(st.st_mode)) return isSystemName(path) ? FileKind::Other : FileKind::Regular;
    return S_ISDIR(st.st_mode) ? FileKind::Directory : FileKind::Other;
}

class PosixInputFile : public InputFile {
public:
    PosixInputFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    ~PosixInputFile() override { ::close(fd_); }
    std::optional<std::uint64_t> size() override {
        struct stat st;
        if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
        return static_cast<std::uint64_t>(st.st_size);
    }
    Expected<std::size_t> read(char* buffer, std::size_t capacity) override {
        for (;;) {
            ssize_t n = ::read(fd_, buffer, capacity);
            if (n >= 0) return static_cast<std::size_t>(n);
            if (errno != EINTR) return fail(FileOperation::Read, path_);
        }
    }
    bool seek(std::uint64_t offset) override {
        return offset <= static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()) &&
               ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) != -1;
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
        // An output that replaces the mapped novel (novel_2.txt split into its own folder)
        // takes its name only: the mapped file lives on until it is unmapped.
        std::shared_ptr<const void> owner(
            base, [size](const void* p) { ::munmap(const_cast<void*>(p), size); });
        return SharedBytes(std::move(owner),
                           std::string_view(static_cast<const char*>(base), size));
    }

private:
    int fd_;
    std::string path_;
};

class PosixOutputFile : public OutputFile {
public:
    PosixOutputFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    ~PosixOutputFile() override {
        if (fd_ >= 0) ::close(fd_);
    }
    FileStatus write(std::string_view bytes) override {
        const char* p = bytes.data();
        std::size_t left = bytes.size();
        while (left > 0) {
            // Large volumes go out in pieces: some systems refuse single writes over 2 GiB.
            std::size_t chunk = left < (std::size_t{1} << 30) ? left : (std::size_t{1} << 30);
            ssize_t n = ::write(fd_, p, chunk);
            if (n < 0) {
                if (errno == EINTR) continue;
                // The bytes come from the mapped novel: a part that another program cut off
                // is no longer there to be written.
                if (errno == EFAULT)
                    return FileError{FileOperation::Write, path_, EFAULT,
                                     chineseText(MessageId::CutShortDuringSplit)};
                return fail(FileOperation::Write, path_);
            }
            if (n == 0) return fail(FileOperation::Write, path_, ENOSPC);
            p += n;
            left -= static_cast<std::size_t>(n);
        }
        return {};
    }
    void startFlush() override { ::sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE); }
    FileStatus close() override {
        // close() is not retried after EINTR: the descriptor is gone either way on Linux.
        int r = ::close(fd_);
        fd_ = -1;
        if (r != 0) return fail(FileOperation::Close, path_);
        return {};
    }

private:
    int fd_;
    std::string path_;
};

class PosixFolderLock : public FolderLock {
public:
    PosixFolderLock(int fd, std::string path, bool ours)
        : fd_(fd), path_(std::move(path)), ours_(ours) {}
    // A lock file of ours goes while it is still locked, then closing lets go of the lock: a
    // split that was waiting on it finds, once it has it, that the name no longer leads to it,
    // and opens the name afresh (lockFolder). A file someone else put at the name is only
    // unlocked.
    ~PosixFolderLock() override {
        if (ours_) ::unlink(path_.c_str());
        ::close(fd_);
    }

private:
    int fd_;
    std::string path_;
    bool ours_;
};

// The lock file at 'name' as lockFolder opens it: made exclusively, with the header of ours,
// when it is not there; else opened as it is, read-only when it may not be written. Not open
// (fd -1): 'error' says why, or 'gone' that it was let go meanwhile and is to be made afresh.
struct LockFile {
    int fd = -1;
    bool created = false;
    bool gone = false;
    int error = 0;
};
LockFile openLockFile(const std::string& name) {
    const int flags = O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | flags, 0666);
    if (fd >= 0) {
        // Should the disk be full, the file is still this split's own to remove.
        const std::string header = kLockFileHeader + ("pid " + std::to_string(::getpid())) + "\n";
        ssize_t n;
        do {
            n = ::write(fd, header.data(), header.size());
        } while (n < 0 && errno == EINTR);
        return {fd, true, false, 0};
    }
    if (errno == EEXIST) {
        fd = ::open(name.c_str(), O_RDWR | flags);
        if (fd < 0 && errno == ENOENT) return {-1, false, true, 0};
    }
    if (fd < 0 && errno == EACCES) {
        fd = ::open(name.c_str(), O_RDONLY | flags);
        // The folder's own refusal: the name is not there to be read either.
        if (fd < 0 && errno == ENOENT) return {-1, false, false, EACCES};
    }
    return {fd, false, false, fd < 0 ? errno : 0};
}

// True when the open file begins as the lock files that splits make do, or is empty: a split
// killed between making it and writing its header leaves it so, and it holds nothing to lose.
bool isLockFileOfOurs(int fd) {
    const std::size_t size = std::strlen(kLockFileHeader);
    std::string head(size, '\0');
    ssize_t n;
    do {
        n = ::pread(fd, &head[0], size, 0);
    } while (n < 0 && errno == EINTR);
    return n == 0 || (n == static_cast<ssize_t>(size) && head == kLockFileHeader);
}

class PosixFileService : public FileService {
public:
    Expected<std::unique_ptr<InputFile>> openForReading(const std::string& path) override {
        constexpr FileOperation kOpen = FileOperation::Open;
        if (path.empty()) return fail(kOpen, path, ENOENT);
        // Looked at before it is opened: opening some devices does something (a tape rewinds).
        struct stat st;
        if (::stat(path.c_str(), &st) != 0) return fail(kOpen, path);
        if (!S_ISREG(st.st_mode)) return fail(kOpen, path, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
        if (isSystemName(path)) return fail(kOpen, path, EINVAL);
        int fd = openNonBlocking(path, O_RDONLY);
        if (fd < 0) return fail(kOpen, path);
        // And again once open: the name may have been given to something else meanwhile.
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            return fail(kOpen, path, EINVAL);
        }
        return std::make_unique<PosixInputFile>(fd, path);
    }
    Expected<std::unique_ptr<OutputFile>> createTemporary(const std::string& prefix,
                                                          std::string& path) override {
        static const char kLetters[] =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
        static thread_local std::mt19937_64 random{std::random_device{}() ^
                                                   static_cast<std::uint64_t>(::getpid())};
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string name = prefix;
            for (int i = 0; i < 8; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
            // O_EXCL: a name someone put there meanwhile, even a link, is never opened.
            int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd >= 0) {
                path = name;
                return std::make_unique<PosixOutputFile>(fd, std::move(name));
            }
            if (errno != EEXIST) return fail(FileOperation::Create, name);
        }
        return fail(FileOperation::Create, prefix, EEXIST);
    }
    FileStatus replaceFile(const std::string& from, const std::string& to) override {
        if (::rename(from.c_str(), to.c_str()) != 0) return fail(FileOperation::Rename, to);
        return {};
    }
    FileStatus createDirectory(const std::string& path) override {
        if (path.empty()) return FileError{FileOperation::CreateFolder, path, 0, {}};
        if (::mkdir(path.c_str(), 0777) != 0) return fail(FileOperation::CreateFolder, path);
        return {};
    }
    FileStatus removeDirectory(const std::string& path) override {
        if (path.empty() || ::rmdir(path.c_str()) != 0) return fail(FileOperation::Delete, path);
        return {};
    }
    FileStatus deleteFile(const std::string& path) override {
        if (path.empty()) return FileError{FileOperation::Delete, path, 0, {}};
        if (::unlink(path.c_str()) != 0) return fail(FileOperation::Delete, path);
        return {};
    }
    std::vector<FileStatus> deleteFiles(const std::vector<std::string>& paths) override {
        // Each unlink of a file with bytes may wait a millisecond or more for the disk (ext4
        // mounted with discard): the old volumes of a re-split, one at a time, took most of its
        // time. Several threads make those waits overlap. The threads only unlink and keep
        // errno; the reasons are made here.
        constexpr std::size_t kThreads = 8;
        constexpr std::size_t kFilesPerThread = 64;
        std::vector<int> codes(paths.size(), 0);
        std::atomic<std::size_t> next{0};
        const auto work = [&] {
            for (std::size_t i = next++; i < paths.size(); i = next++) {
                if (!paths[i].empty() && ::unlink(paths[i].c_str()) != 0) codes[i] = errno;
            }
        };
        std::vector<std::thread> threads;
        const std::size_t wanted = std::min(kThreads, paths.size() / kFilesPerThread);
        for (std::size_t t = 1; t < wanted; ++t) {
            try {
                threads.emplace_back(work);
            } catch (const std::system_error&) {
                break;  // fewer threads: the others do the work
            }
        }
        work();
        for (std::thread& thread : threads) thread.join();
        std::vector<FileStatus> results;
        results.reserve(paths.size());
        for (std::size_t i = 0; i < paths.size(); ++i) {
            if (paths[i].empty())
                results.emplace_back(FileError{FileOperation::Delete, paths[i], 0, {}});
            else if (codes[i] != 0)
                results.emplace_back(fail(FileOperation::Delete, paths[i], codes[i]));
            else
                results.emplace_back();
        }
        return results;
    }
    FileKind kindOf(const std::string& path) override { return kindBy(::stat, path); }
    FileKind entryKind(const std::string& path) override { return kindBy(::lstat, path); }
    std::vector<std::string> listFolder(const std::string& path) override {
        std::vector<std::string> names;
        DIR* dir = ::opendir(path.c_str());
        if (!dir) return names;
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        ::closedir(dir);
        return names;
    }
    Expected<FileIdentity> identify(const std::string& path) override {
        struct stat st;
        if (path.empty()) return fail(FileOperation::Identify, path, ENOENT);
        if (::stat(path.c_str(), &st) != 0) return fail(FileOperation::Identify, path);
        return FileIdentity{static_cast<std::uint64_t>(st.st_dev),
                            static_cast<std::uint64_t>(st.st_ino)};
    }
    FileStatus flushFiles(const std::vector<std::string>& paths) override {
        // Many files: one flush of their whole file system (one journal commit) costs far
        // less than one fsync, and one commit, each. It returns writeback errors since Linux
        // 5.8. The files lie in one folder, so on one file system.
        constexpr std::size_t kManyFiles = 32;
        if (paths.size() >= kManyFiles) return flushFileSystem(paths.front());
        // First every file's writing is started, then each is waited for: the disk gets all
        // of it at once instead of one file per round trip.
        for (const std::string& path : paths) {
            int fd = openNonBlocking(path, O_RDONLY);
            if (fd < 0) continue;  // the fsync pass below says why
            ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
            ::close(fd);
        }
        for (const std::string& path : paths) {
            if (FileStatus flushed = flush(path, O_RDONLY); !flushed) return flushed;
        }
        return {};
    }
    FileStatus flushFolder(const std::string& path) override {
        const FileStatus flushed = flush(path, O_RDONLY | O_DIRECTORY);
        if (flushed || (flushed.error().code != EACCES && flushed.error().code != EPERM))
            return flushed;
        // A folder that may be written but not read (a drop box) cannot be opened to be
        // flushed. A flush of its whole file system makes its names durable as well: through
        // any file of that file system that opens, the folder's lock file or its parent.
        struct stat folder;
        if (::stat(path.c_str(), &folder) != 0) return flushed;
        for (const std::string& other :
             {joinPath(path, kLockFileName, PathStyle::Posix), parentFolderOf(path)}) {
            int fd = openNonBlocking(other, O_RDONLY | O_NOFOLLOW);
            if (fd < 0) continue;
            struct stat st;
            FileStatus status = flushed;
            if (::fstat(fd, &st) == 0 && st.st_dev == folder.st_dev)
                status = ::syncfs(fd) == 0 ? FileStatus() : fail(FileOperation::Flush, path);
            ::close(fd);
            if (status || status.error().code != flushed.error().code) return status;
        }
        return flushed;
    }
    Expected<std::unique_ptr<FolderLock>> lockFolder(const std::string& path,
                                                     int waitMilliseconds) override {
        // flock on a file of the folder's own: one that may be written but not read (a drop
        // box) is locked as well, and the lock goes with the process however it ends. A split
        // makes the file exclusively and writes its header into it; it is removed when the lock
        // is let go, by whichever split holds it then, and by a split that made it but could not
        // lock it (a file system without locks). A file of that name that does not begin with
        // the header (someone's own, the novel itself) is locked all the same, never written
        // and never removed. Read-only when another user's split left it and it may not be
        // written.
        const std::string name = joinPath(path, kLockFileName, PathStyle::Posix);
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMilliseconds);
        for (;;) {
            const LockFile file = openLockFile(name);
            if (file.gone) continue;  // let go meanwhile: made afresh
            if (file.fd < 0) return lockFailure(path, file.error, false);
            const int fd = file.fd;
            const bool created = file.created;
            struct stat held;
            if (::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
                ::close(fd);
                return lockFailure(path, EINVAL, false);
            }
            for (;;) {
                if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
                    // Still the file at the name? The split that held it removes it as it lets
                    // go; then this one is open on a file no one else will see.
                    struct stat named;
                    if (::stat(name.c_str(), &named) == 0 && named.st_dev == held.st_dev &&
                        named.st_ino == held.st_ino)
                        return std::make_unique<PosixFolderLock>(fd, name,
                                                                 created || isLockFileOfOurs(fd));
                    break;
                }
                // ENOLCK: no lock service.
                const int error = errno;
                const bool waiting = error == EWOULDBLOCK || error == EINTR;
                if (!waiting || std::chrono::steady_clock::now() >= deadline) {
                    const FileError failed = lockFailure(path, error, waiting);
                    if (created && !waiting) ::unlink(name.c_str());
                    ::close(fd);
                    return failed;
                }
                ::usleep(20000);
            }
            ::close(fd);
        }
    }

private:
    // fsync on a file or folder opened with 'flags'.
    static FileStatus flush(const std::string& path, int flags) {
        int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) return fail(FileOperation::Flush, path);
        // Some file systems cannot flush a folder and say EINVAL: their names need no flush.
        const bool folder = (flags & O_DIRECTORY) != 0;
        FileStatus status;
        if (::fsync(fd) != 0 && !(folder && errno == EINVAL))
            status = fail(FileOperation::Flush, path);
        ::close(fd);
        return status;
    }
    static FileStatus flushFileSystem(const std::string& path) {
        int fd = openNonBlocking(path, O_RDONLY);
        if (fd < 0) return fail(FileOperation::Flush, path);
        FileStatus status;
        if (::syncfs(fd) != 0) status = fail(FileOperation::Flush, path);
        ::close(fd);
        return status;
    }
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
