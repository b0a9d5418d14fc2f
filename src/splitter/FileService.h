#pragma once
// The file calls the splitter makes, behind one small interface: POSIX and Win32 implement
// it, tests replace it with a fake that can fail on demand.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "splitter/SharedBytes.h"

namespace folioknife::splitter {

class InputFile {
public:
    virtual ~InputFile() = default;
    // The file's size in bytes, when the platform can tell.
    virtual std::optional<std::uint64_t> size() = 0;
    // Reads up to 'capacity' bytes; returns the count read, 0 at the end, -1 on error.
    virtual std::int64_t read(char* buffer, std::size_t capacity) = 0;
    // The whole file mapped into memory, read-only, where the platform can; nothing where it
    // cannot (or the file is empty or not a regular file). The mapping shows the file as it
    // is, not as it was: see exitOnLostMapping.
    virtual std::optional<SharedBytes> mapWhole() { return std::nullopt; }
};

class OutputFile {
public:
    virtual ~OutputFile() = default;
    // Writes all the bytes or reports failure; a short write is a failure.
    virtual bool write(std::string_view bytes) = 0;
    // Closes the file; false when the system reports that the data may not have reached it.
    virtual bool close() = 0;
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
    virtual std::unique_ptr<InputFile> openForReading(const std::string& path) = 0;
    // Creates a new file whose name is 'prefix' followed by a few characters that make it
    // unique, never replacing anything; 'path' receives its name.
    virtual std::unique_ptr<OutputFile> createTemporary(const std::string& prefix,
                                                        std::string& path) = 0;
    // Gives the file 'from' the name 'to' in one step, replacing whatever 'to' named (the
    // name itself: a link or a device there is replaced, never written through). Both names
    // lie in one folder. Fails when 'to' is a folder.
    virtual bool replaceFile(const std::string& from, const std::string& to) = 0;
    // Creates one directory (the last component only). True when it was created.
    virtual bool createDirectory(const std::string& path) = 0;
    virtual bool deleteFile(const std::string& path) = 0;
    virtual FileKind kindOf(const std::string& path) = 0;
    // What the name itself is, links not followed: a link (to anything, or to nothing) is
    // Other.
    virtual FileKind entryKind(const std::string& path) = 0;
    // The names in a folder (not "." and ".."), without the folder; nothing when it cannot be
    // read.
    virtual std::vector<std::string> listFolder(const std::string& path) = 0;
    virtual std::optional<FileIdentity> identify(const std::string& path) = 0;
    // Makes the files' bytes, or the folder's names, reach stable storage. Many files at once,
    // so that the platform can have the disk write them together.
    virtual bool flushFiles(const std::vector<std::string>& paths) = 0;
    virtual bool flushFolder(const std::string& path) = 0;
    // Takes the folder's lock, waiting up to 'waitMilliseconds' for another split to let go.
    // Nothing when it cannot be had: 'busy' then tells whether another split holds it (false:
    // the folder does not exist, may not be written, or its file system keeps no locks; the
    // reason is the last failure).
    virtual std::unique_ptr<FolderLock> lockFolder(const std::string& path, int waitMilliseconds,
                                                   bool& busy) = 0;
    // Why the last call of this thread that failed failed, in the system's words and the
    // program's code page; empty when the system gave no reason.
    virtual std::string lastFailure() const = 0;
    // The separator between a folder and a file name: "\" on Windows, "/" elsewhere.
    virtual std::string separator() const = 0;
};

// The platform's file service (POSIX or Win32, chosen by the build).
FileService& systemFileService();

// Reading a mapped file that another program has meanwhile cut short faults. From this call
// on, such a fault writes 'message' to standard error and ends the process with 'status'
// rather than crashing it. For a program that splits at once after mapping; there is nothing
// to do where the platform maps nothing.
void exitOnLostMapping(std::string message, int status);

}  // namespace folioknife::splitter
