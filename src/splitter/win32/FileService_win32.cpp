// The file calls on Windows, through the ...A functions: paths are bytes in the ANSI code page.
#include <windows.h>

#include "splitter/FileService.h"
#include "splitter/Path.h"

namespace folioknife::splitter {

namespace {

// ReadFile and WriteFile take a DWORD count, so one call can never move 4 GiB. Calls are kept
// far below that: single transfers of more than some 64 MiB fail with
// ERROR_NO_SYSTEM_RESOURCES on network shares and on older systems.
constexpr std::size_t kTransferLimit = std::size_t{32} << 20;

class Win32InputFile : public InputFile {
public:
    explicit Win32InputFile(HANDLE h) : h_(h) {}
    ~Win32InputFile() override { CloseHandle(h_); }
    std::optional<std::uint64_t> size() override {
        DWORD high = 0;
        // INVALID_FILE_SIZE is also the low word of a valid size; only the error tells.
        SetLastError(NO_ERROR);
        const DWORD low = GetFileSize(h_, &high);
        if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return std::nullopt;
        return (static_cast<std::uint64_t>(high) << 32) | low;
    }
    std::int64_t read(char* buffer, std::size_t capacity) override {
        const DWORD want =
            static_cast<DWORD>(capacity < kTransferLimit ? capacity : kTransferLimit);
        DWORD got = 0;
        if (!ReadFile(h_, buffer, want, &got, nullptr)) {
            // A pipe whose writer has gone reports its end this way.
            return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
        }
        return got;
    }

private:
    HANDLE h_;
};

class Win32OutputFile : public OutputFile {
public:
    explicit Win32OutputFile(HANDLE h) : h_(h) {}
    ~Win32OutputFile() override {
        if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    }
    bool write(std::string_view bytes) override {
        const char* p = bytes.data();
        std::size_t left = bytes.size();
        while (left > 0) {
            const DWORD chunk = static_cast<DWORD>(left < kTransferLimit ? left : kTransferLimit);
            DWORD written = 0;
            // A disk that fills up may report success with fewer bytes written; that is a
            // failure too, not a reason to try again.
            if (!WriteFile(h_, p, chunk, &written, nullptr) || written != chunk) return false;
            p += written;
            left -= written;
        }
        return true;
    }
    bool close() override {
        const BOOL ok = CloseHandle(h_);
        h_ = INVALID_HANDLE_VALUE;
        return ok != FALSE;
    }

private:
    HANDLE h_;
};

class Win32FileService : public FileService {
public:
    std::unique_ptr<InputFile> openForReading(const std::string& path) override {
        if (path.empty()) return nullptr;
        // Others may keep reading and writing the novel while it is loaded (an editor that has
        // it open, for one). Without FILE_FLAG_BACKUP_SEMANTICS a directory does not open
        // (ERROR_ACCESS_DENIED), so a folder never passes for a novel.
        HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return nullptr;
        return std::make_unique<Win32InputFile>(h);
    }
    std::unique_ptr<OutputFile> createReplacing(const std::string& path) override {
        if (path.empty()) return nullptr;
        // CREATE_ALWAYS truncates an existing file, so a shorter volume keeps none of the old
        // bytes. It fails on an existing read-only file, and on a hidden or system one whose
        // attributes are not asked for again here: those are left alone.
        HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_ARCHIVE, nullptr);
        if (h == INVALID_HANDLE_VALUE) return nullptr;
        return std::make_unique<Win32OutputFile>(h);
    }
    bool createDirectory(const std::string& path) override {
        return !path.empty() && CreateDirectoryA(path.c_str(), nullptr) != FALSE;
    }
    bool deleteFile(const std::string& path) override {
        return !path.empty() && DeleteFileA(path.c_str()) != FALSE;
    }
    std::string separator() const override { return pathSeparator(PathStyle::Windows); }
};

}  // namespace

FileService& systemFileService() {
    static Win32FileService service;
    return service;
}

// Windows files are always read into memory (a mapped view cut short by another program
// raises an in-page error, a structured exception our MinGW C++ cannot catch cleanly), so
// there is nothing to set.
void exitOnLostMapping(std::string, int) {}

}  // namespace folioknife::splitter
