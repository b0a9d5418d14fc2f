// The file calls on Windows, through the ...W functions: paths are bytes in the program's code
// page, which need not be the system's, and reach Windows as UTF-16.
#include <windows.h>

#include <optional>
#include <random>
#include <string>
#include <utility>

#include "splitter/CodePage.h"
#include "splitter/Path.h"
#include "splitter/FileService.h"
#include "splitter/win32/WideText.h"

namespace folioknife::splitter {

FileErrorKind fileErrorKindOf(int code) {
    switch (static_cast<DWORD>(code)) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_PATHNAME:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
            return FileErrorKind::NotFound;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return FileErrorKind::Exists;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
        case ERROR_CANT_ACCESS_FILE:
        case ERROR_PRIVILEGE_NOT_HELD:
            return FileErrorKind::Access;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return FileErrorKind::NoSpace;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_BUSY:
        case ERROR_PATH_BUSY:
            return FileErrorKind::Busy;
        case ERROR_FILE_TOO_LARGE:
        case ERROR_ARITHMETIC_OVERFLOW:
            return FileErrorKind::TooLarge;
        default:
            return FileErrorKind::Other;
    }
}

FileError systemFileError(FileOperation operation, const std::string& path, int code) {
    const auto error = static_cast<DWORD>(code);
    return FileError{operation, path, code, systemReason(error), fileErrorKindOf(code)};
}

namespace {

// The failure of 'operation' on 'path', with the reason for GetLastError()'s code as the system
// says it.
FileError fail(FileOperation operation, const std::string& path, DWORD error = GetLastError()) {
    return systemFileError(operation, path, static_cast<int>(error));
}

// A failed lock: Busy when another split holds it, and only then.
FileError lockFailure(const std::string& path, DWORD error, bool busy) {
    FileError failed = fail(FileOperation::Lock, path, error);
    if (busy)
        failed.kind = FileErrorKind::Busy;
    else if (failed.kind == FileErrorKind::Busy)
        failed.kind = FileErrorKind::Other;
    return failed;
}

// The path as Windows takes it; an empty one (which names nothing) for bytes that are no text
// of the program's code page, so that the call fails as for a missing file.
std::wstring wide(const std::string& path) { return toWide(path).value_or(std::wstring()); }

// Why a call on wide(path) failed: the system's error, or that the path was no text.
DWORD errorFor(const std::string& path) {
    return !path.empty() && !toWide(path) ? ERROR_NO_UNICODE_TRANSLATION : GetLastError();
}

// The drive a path begins with ("D:"), if it names one.
std::optional<Text> driveOf(const std::string& path) {
    const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    if (path.size() >= 2 && letter(path[0]) && path[1] == ':') return path.substr(0, 2);
    return std::nullopt;
}

// A handle on the file or folder itself, for asking what it is; no access to its content.
HANDLE openForQuery(const std::string& path) {
    return CreateFileW(wide(path).c_str(), 0,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// ReadFile and WriteFile take a DWORD count, so one call can never move 4 GiB. Calls are kept
// far below that: single transfers of more than some 64 MiB fail with
// ERROR_NO_SYSTEM_RESOURCES on network shares and on older systems.
constexpr std::size_t kTransferLimit = std::size_t{32} << 20;

class Win32InputFile : public InputFile {
public:
    Win32InputFile(HANDLE h, std::string path) : h_(h), path_(std::move(path)) {}
    ~Win32InputFile() override { CloseHandle(h_); }
    std::optional<std::uint64_t> size() override {
        DWORD high = 0;
        // INVALID_FILE_SIZE is also the low word of a valid size; only the error tells.
        SetLastError(NO_ERROR);
        const DWORD low = GetFileSize(h_, &high);
        if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return std::nullopt;
        return (static_cast<std::uint64_t>(high) << 32) | low;
    }
    Expected<std::size_t> read(char* buffer, std::size_t capacity) override {
        const DWORD want =
            static_cast<DWORD>(capacity < kTransferLimit ? capacity : kTransferLimit);
        DWORD got = 0;
        if (!ReadFile(h_, buffer, want, &got, nullptr)) {
            // A pipe whose writer has gone reports its end this way.
            const DWORD error = GetLastError();
            if (error == ERROR_BROKEN_PIPE) return std::size_t{0};
            return fail(FileOperation::Read, path_, error);
        }
        return std::size_t{got};
    }
    bool seek(std::uint64_t offset) override {
        if (offset > static_cast<std::uint64_t>(std::numeric_limits<LONGLONG>::max())) return false;
        LARGE_INTEGER to;
        to.QuadPart = static_cast<LONGLONG>(offset);
        return SetFilePointerEx(h_, to, nullptr, FILE_BEGIN) != 0;
    }

private:
    HANDLE h_;
    std::string path_;
};

class Win32OutputFile : public OutputFile {
public:
    Win32OutputFile(HANDLE h, std::string path) : h_(h), path_(std::move(path)) {}
    ~Win32OutputFile() override {
        if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    }
    FileStatus write(std::string_view bytes) override {
        const char* p = bytes.data();
        std::size_t left = bytes.size();
        while (left > 0) {
            const DWORD chunk = static_cast<DWORD>(left < kTransferLimit ? left : kTransferLimit);
            DWORD written = 0;
            // A disk that fills up may report success with fewer bytes written; that is a
            // failure too, not a reason to try again.
            if (!WriteFile(h_, p, chunk, &written, nullptr))
                return fail(FileOperation::Write, path_);
            if (written != chunk) return fail(FileOperation::Write, path_, ERROR_DISK_FULL);
            p += written;
            left -= written;
        }
        return {};
    }
    FileStatus close() override {
        const BOOL ok = CloseHandle(h_);
        h_ = INVALID_HANDLE_VALUE;
        if (!ok) return fail(FileOperation::Close, path_);
        return {};
    }

private:
    HANDLE h_;
    std::string path_;
};

// The lock is the lock file held open without sharing: any other open of it, from this
// process or another, on this machine or over a network share, fails until it is closed, and
// the system closes it however the split ends. A lock file a split made goes with its handle
// (FILE_FLAG_DELETE_ON_CLOSE), so no split leaves one behind, even when it is killed.
class Win32FolderLock : public FolderLock {
public:
    explicit Win32FolderLock(HANDLE h) : h_(h) {}
    ~Win32FolderLock() override { CloseHandle(h_); }

private:
    HANDLE h_;
};

class Win32FileService : public FileService {
public:
    Expected<std::unique_ptr<InputFile>> openForReading(const std::string& path) override {
        constexpr FileOperation kOpen = FileOperation::Open;
        if (path.empty()) return fail(kOpen, path, ERROR_FILE_NOT_FOUND);
        // Others may keep reading and writing the novel while it is loaded (an editor that has
        // it open, for one). Without FILE_FLAG_BACKUP_SEMANTICS a directory does not open
        // (ERROR_ACCESS_DENIED), so a folder never passes for a novel.
        HANDLE h = CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return fail(kOpen, path, errorFor(path));
        // A pipe, the console or a device (NUL, COM1) is no novel: reading it may never end.
        if (GetFileType(h) != FILE_TYPE_DISK) {
            CloseHandle(h);
            return fail(kOpen, path, ERROR_INVALID_FUNCTION);
        }
        return std::make_unique<Win32InputFile>(h, path);
    }
    Expected<std::unique_ptr<OutputFile>> createTemporary(const std::string& prefix,
                                                          std::string& path) override {
        static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
        static thread_local std::mt19937 random{std::random_device{}() ^ GetCurrentProcessId() ^
                                                GetTickCount()};
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string name = prefix;
            for (int i = 0; i < 8; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
            // CREATE_NEW never opens what is there already. Readers may look, and the file may
            // be renamed while open (FILE_SHARE_DELETE).
            HANDLE h =
                CreateFileW(wide(name).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                            nullptr, CREATE_NEW, FILE_ATTRIBUTE_ARCHIVE, nullptr);
            if (h != INVALID_HANDLE_VALUE) {
                path = name;
                return std::make_unique<Win32OutputFile>(h, std::move(name));
            }
            const DWORD error = errorFor(name);
            if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
                return fail(FileOperation::Create, name, error);
        }
        return fail(FileOperation::Create, prefix, ERROR_FILE_EXISTS);
    }
    FileStatus replaceFile(const std::string& from, const std::string& to) override {
        // MOVEFILE_WRITE_THROUGH: the call returns once the new name is on the disk, so the
        // source is never deleted while its volumes' names may still be lost.
        if (!MoveFileExW(wide(from).c_str(), wide(to).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return fail(FileOperation::Rename, to, toWide(from) ? errorFor(to) : errorFor(from));
        return {};
    }
    FileStatus createDirectory(const std::string& path) override {
        if (path.empty()) return FileError{FileOperation::CreateFolder, path, 0, {}};
        if (!CreateDirectoryW(wide(path).c_str(), nullptr)) {
            const DWORD error = errorFor(path);
            // For a drive that is not there Windows says only that the path was not found;
            // the reader is told which drive is missing.
            if (const std::optional<Text> drive = driveOf(path);
                drive && GetDriveTypeW(wide(*drive + "\\").c_str()) == DRIVE_NO_ROOT_DIR) {
                return FileError{FileOperation::CreateFolder, path, static_cast<int>(error),
                                 programText("没有驱动器 ") + *drive, FileErrorKind::NotFound};
            }
            return fail(FileOperation::CreateFolder, path, error);
        }
        return {};
    }
    FileStatus deleteFile(const std::string& path) override {
        if (path.empty()) return FileError{FileOperation::Delete, path, 0, {}};
        if (!DeleteFileW(wide(path).c_str()))
            return fail(FileOperation::Delete, path, errorFor(path));
        return {};
    }
    FileStatus removeDirectory(const std::string& path) override {
        if (path.empty()) return FileError{FileOperation::Delete, path, 0, {}};
        if (!RemoveDirectoryW(wide(path).c_str()))
            return fail(FileOperation::Delete, path, errorFor(path));
        return {};
    }
    FileKind kindOf(const std::string& path) override {
        if (path.empty()) return FileKind::Missing;
        HANDLE h = openForQuery(path);
        if (h == INVALID_HANDLE_VALUE) return FileKind::Missing;
        BY_HANDLE_FILE_INFORMATION info;
        FileKind kind = FileKind::Other;
        if (GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info)) {
            kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? FileKind::Directory
                                                                      : FileKind::Regular;
        }
        CloseHandle(h);
        return kind;
    }
    FileKind entryKind(const std::string& path) override {
        // Reparse points (symbolic links, junctions) are not followed by the attributes.
        const DWORD attributes =
            path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(wide(path).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) return FileKind::Missing;
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return FileKind::Other;
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? FileKind::Directory : FileKind::Regular;
    }
    std::vector<std::string> listFolder(const std::string& path) override {
        std::vector<std::string> names;
        const std::optional<std::wstring> folder = toWide(path);
        if (!folder) return names;
        WIN32_FIND_DATAW found;
        HANDLE h = FindFirstFileW((*folder + L"\\*").c_str(), &found);
        if (h == INVALID_HANDLE_VALUE) return names;
        do {
            const std::wstring name = found.cFileName;
            // A name that the program's code page cannot write is listed with '?' for what it
            // lacks, as the ...A functions gave it: its open then fails and says so, where
            // leaving it out would skip a novel without a word.
            if (name != L"." && name != L"..") names.push_back(fromWideForDisplay(name));
        } while (FindNextFileW(h, &found));
        FindClose(h);
        return names;
    }
    Expected<FileIdentity> identify(const std::string& path) override {
        constexpr FileOperation kIdentify = FileOperation::Identify;
        if (path.empty()) return fail(kIdentify, path, ERROR_FILE_NOT_FOUND);
        HANDLE h = openForQuery(path);
        if (h == INVALID_HANDLE_VALUE) return fail(kIdentify, path, errorFor(path));
        BY_HANDLE_FILE_INFORMATION info;
        const bool ok = GetFileInformationByHandle(h, &info) != FALSE;
        const DWORD error = GetLastError();
        CloseHandle(h);
        if (!ok) return fail(kIdentify, path, error);
        return FileIdentity{
            info.dwVolumeSerialNumber,
            (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
    }
    FileStatus flushFiles(const std::vector<std::string>& paths) override {
        for (const std::string& path : paths) {
            HANDLE h = CreateFileW(wide(path).c_str(), GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (h == INVALID_HANDLE_VALUE) return fail(FileOperation::Flush, path, errorFor(path));
            const bool ok = FlushFileBuffers(h) != FALSE;
            const DWORD error = GetLastError();
            CloseHandle(h);
            if (!ok) return fail(FileOperation::Flush, path, error);
        }
        return {};
    }
    // The volumes' names were written through when they were given (replaceFile).
    FileStatus flushFolder(const std::string&) override { return {}; }
    Expected<std::unique_ptr<FolderLock>> lockFolder(const std::string& path,
                                                     int waitMilliseconds) override {
        // A folder that may be written but not read (a drop box) is locked as well. The lock
        // file is made exclusively (CREATE_NEW) with the header of ours; a file of that name
        // that was there before (someone's own, the novel itself) is opened as it is, never
        // written to and never removed. Read access when it may not be written.
        const std::string name = joinPath(path, kLockFileName, PathStyle::Windows);
        if (!toWide(name)) return lockFailure(path, ERROR_NO_UNICODE_TRANSLATION, false);
        const std::wstring wideName = wide(name);
        const DWORD started = GetTickCount();
        for (;;) {
            HANDLE h = CreateFileW(wideName.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
            if (h != INVALID_HANDLE_VALUE) {
                const std::string header =
                    kLockFileHeader + ("pid " + std::to_string(GetCurrentProcessId())) + "\n";
                DWORD written = 0;
                // Should the disk be full, the file still goes with its handle.
                WriteFile(h, header.data(), static_cast<DWORD>(header.size()), &written, nullptr);
                return std::make_unique<Win32FolderLock>(h);
            }
            DWORD error = GetLastError();
            // Refused in a folder that may not be written; a lock file that is about to go
            // with its handle refuses the same way.
            if (error == ERROR_ACCESS_DENIED &&
                GetFileAttributesW(wideName.c_str()) == INVALID_FILE_ATTRIBUTES)
                return lockFailure(path, error, false);
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) {
                h = CreateFileW(wideName.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
                if (h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED)
                    h = CreateFileW(wideName.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
                if (h != INVALID_HANDLE_VALUE) {
                    if (GetFileType(h) == FILE_TYPE_DISK)
                        return std::make_unique<Win32FolderLock>(h);
                    CloseHandle(h);
                    return lockFailure(path, ERROR_INVALID_FUNCTION, false);
                }
                error = GetLastError();
                // Let go and removed meanwhile: made afresh.
                if (error == ERROR_FILE_NOT_FOUND) continue;
            }
            if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION &&
                error != ERROR_ACCESS_DENIED)
                return lockFailure(path, error, false);
            if (GetTickCount() - started >= static_cast<DWORD>(waitMilliseconds))
                return lockFailure(path, error, error != ERROR_ACCESS_DENIED);
            Sleep(20);
        }
    }
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
