#pragma once
// The file calls the splitter makes, behind one small interface: POSIX and Win32 implement
// it, tests replace it with a fake that can fail on demand.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "splitter/SharedBytes.h"

namespace folioknife::splitter {

// Which call on the file system failed.
enum class FileOperation {
    Open,
    Read,
    Create,
    Write,
    Close,
    Rename,
    CreateFolder,
    Delete,
    Identify,
    Flush,
    Lock,
};

// What went wrong, the same on every system: the platform maps its own codes onto these, as
// libuv does (ENOENT and ERROR_FILE_NOT_FOUND are both NotFound). Busy from lockFolder means
// that another split holds the folder.
enum class FileErrorKind {
    NotFound,  // the file or a folder on its path is not there
    Exists,    // something already has the name
    Access,    // the user may not do it (a read-only file system too)
    NoSpace,   // the disk or the user's quota is full
    Busy,      // another program (or split) has it
    TooLarge,  // larger than the file system or the call takes
    Other,
};

// The kind of the system's error code (errno on POSIX, GetLastError() on Windows); Other for
// 0, which the program uses when it refuses itself.
FileErrorKind fileErrorKindOf(int code);

// A failed file operation as a value: what was done to which path, the system's error code
// (errno, GetLastError()), its kind and its reason in the system's words, in the program's code
// page. The reason may be empty when the system gave none; the code is 0 when the program
// itself refused (an empty path, for one).
struct [[nodiscard]] FileError {
    FileOperation operation = FileOperation::Open;
    std::string path;
    int code = 0;
    std::string reason;
    FileErrorKind kind = FileErrorKind::Other;
};

// The failure of 'operation' on 'path' with the system's error code: its kind, and its reason
// as the system says it.
FileError systemFileError(FileOperation operation, const std::string& path, int code);

// The outcome of a file operation that returns nothing: true when it was done.
class [[nodiscard]] FileStatus {
public:
    FileStatus() = default;
    FileStatus(FileError error) : error_(std::move(error)) {}
    explicit operator bool() const { return !error_; }
    // Only for a failure.
    const FileError& error() const { return *error_; }

private:
    std::optional<FileError> error_;
};

// A value or the error that kept it from being made, for file operations that return one.
template <typename T>
class [[nodiscard]] Expected {
public:
    // Anything that makes a T but a bare null: a failure is an error, never an empty value.
    template <typename U,
              typename = std::enable_if_t<std::is_constructible_v<T, U&&> &&
                                          !std::is_same_v<std::decay_t<U>, FileError> &&
                                          !std::is_same_v<std::decay_t<U>, std::nullptr_t>>>
    Expected(U&& value) : value_(std::forward<U>(value)) {}
    Expected(FileError error) : error_(std::move(error)) {}
    explicit operator bool() const { return value_.has_value(); }
    T& operator*() { return *value_; }
    const T& operator*() const { return *value_; }
    T* operator->() { return &*value_; }
    const T* operator->() const { return &*value_; }
    // Only for a failure.
    const FileError& error() const { return error_; }
    // The value, or nothing when the failure does not matter to the caller.
    std::optional<T> ok() const { return value_; }

private:
    std::optional<T> value_;
    FileError error_;
};

class InputFile {
public:
    virtual ~InputFile() = default;
    // The file's size in bytes, when the platform can tell.
    virtual std::optional<std::uint64_t> size() = 0;
    // Reads up to 'capacity' bytes; the count read, 0 at the end.
    virtual Expected<std::size_t> read(char* buffer, std::size_t capacity) = 0;
    // Moves to 'offset' bytes from the start; false where the file cannot be moved in (a pipe)
    // or the system refuses.
    virtual bool seek(std::uint64_t /*offset*/) { return false; }
    // The whole file mapped into memory, read-only, where the platform can; nothing where it
    // cannot (or the file is empty or not a regular file). The mapping shows the file as it
    // is, not as it was: see exitOnLostMapping.
    virtual std::optional<SharedBytes> mapWhole() { return std::nullopt; }
};

// Reads the file from where it stands to its end onto 'text', or until 'text' holds more than
// 'limit' bytes. On a failed read, the error, with 'text' holding what came before it.
FileStatus readToEnd(InputFile& file, std::string& text,
                     std::size_t limit = std::numeric_limits<std::size_t>::max());

class OutputFile {
public:
    virtual ~OutputFile() = default;
    // Writes all the bytes or fails; a short write is a failure.
    virtual FileStatus write(std::string_view bytes) = 0;
    // Sets what was written on its way to the disk without waiting for it, so that a flush
    // of many files later finds most of it written. Errors are the flush's to report.
    virtual void startFlush() {}
    // Closes the file; a failure when the system reports that the data may not have reached it.
    virtual FileStatus close() = 0;
};

// What a name in the file system is, links followed.
enum class FileKind { Missing, Regular, Directory, Other };

// The same file whatever the name it is reached by (links, "." and "..", case on Windows):
// device and inode on Linux, volume serial number and file index on Windows.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t file = 0;
    bool operator==(const FileIdentity& o) const { return device == o.device && file == o.file; }
    bool operator!=(const FileIdentity& o) const { return !(*this == o); }
};

// The file in an output folder whose lock is the folder's, and what a lock file that a split
// made begins with: a file of that name without it is someone else's and is never removed.
constexpr const char* kLockFileName = ".folioknife-lock";
constexpr const char* kLockFileHeader = "folioknife lock 1\n";

// Held while it lives: the right to write into one folder, shared with no other split.
class FolderLock {
public:
    virtual ~FolderLock() = default;
};

class FileService {
public:
    virtual ~FileService() = default;
    // Opens an existing regular file for reading only, letting others read and write it
    // meanwhile. Anything else (a folder, a FIFO, a device, a socket) does not open, and
    // opening never waits for a writer.
    virtual Expected<std::unique_ptr<InputFile>> openForReading(const std::string& path) = 0;
    // Creates a new file whose name is 'prefix' followed by a few characters that make it
    // unique, never replacing anything; 'path' receives its name.
    virtual Expected<std::unique_ptr<OutputFile>> createTemporary(const std::string& prefix,
                                                                  std::string& path) = 0;
    // Gives the file 'from' the name 'to' in one step, replacing whatever 'to' named (the
    // name itself: a link or a device there is replaced, never written through). Both names
    // lie in one folder. Fails when 'to' is a folder. A failure names 'to'.
    virtual FileStatus replaceFile(const std::string& from, const std::string& to) = 0;
    // Creates one directory (the last component only); fails when it exists.
    virtual FileStatus createDirectory(const std::string& path) = 0;
    virtual FileStatus deleteFile(const std::string& path) = 0;
    // Removes an empty directory: a folder a split made and then wrote nothing into.
    virtual FileStatus removeDirectory(const std::string& path) = 0;
    // Deletes each file as deleteFile does; the results in the order of the paths. The
    // platform may delete several at once: on a disk that is told of every freed block (a file
    // system mounted with discard), each unlink of a file that held bytes waits on the disk,
    // and those waits overlap.
    virtual std::vector<FileStatus> deleteFiles(const std::vector<std::string>& paths);
    virtual FileKind kindOf(const std::string& path) = 0;
    // What the name itself is, links not followed: a link (to anything, or to nothing) is
    // Other.
    virtual FileKind entryKind(const std::string& path) = 0;
    // The names in a folder (not "." and ".."), without the folder; nothing when it cannot be
    // read (a folder that may be written but not read is asked name by name instead).
    virtual std::vector<std::string> listFolder(const std::string& path) = 0;
    virtual Expected<FileIdentity> identify(const std::string& path) = 0;
    // Makes the files' bytes, or the folder's names, reach stable storage. Many files at once,
    // so that the platform can have the disk write them together.
    virtual FileStatus flushFiles(const std::vector<std::string>& paths) = 0;
    virtual FileStatus flushFolder(const std::string& path) = 0;
    // Takes the folder's lock, waiting up to 'waitMilliseconds' for another split to let go.
    // The lock file is made exclusively and begins with kLockFileHeader; letting go removes it
    // only when it was made by a split, never a file of that name that someone else put there.
    // A failure is of the kind Busy when another split holds the lock, and of no other kind
    // then (the folder does not exist, may not be written, or its file system keeps no locks).
    virtual Expected<std::unique_ptr<FolderLock>> lockFolder(const std::string& path,
                                                             int waitMilliseconds) = 0;
};

// The platform's file service (POSIX or Win32, chosen by the build).
FileService& systemFileService();

// Writes 'bytes' to 'path' in one step, so that whoever reads the folder sees the old file or
// the new one, never half of one: they go into a new file named 'temporaryPrefix' and a few
// letters, in the same folder, which then takes the name. With 'durable', the bytes reach
// stable storage before the rename (the folder's names are the caller's to flush). A failed
// step removes the temporary file and names what failed.
FileStatus writeInOneStep(FileService& files, const std::string& path, std::string_view bytes,
                          const std::string& temporaryPrefix, bool durable);

// Reading a mapped file that another program has meanwhile cut short faults. From this call
// on, such a fault writes 'message' to standard error and ends the process with 'status'
// rather than crashing it. For a program that splits at once after mapping; there is nothing
// to do where the platform maps nothing.
void exitOnLostMapping(std::string message, int status);

}  // namespace folioknife::splitter
