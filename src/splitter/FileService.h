#pragma once
// The file calls the splitter makes, behind one small interface: POSIX and Win32 implement
// it, tests replace it with a fake that can fail on demand.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

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

class FileService {
public:
    virtual ~FileService() = default;
    // Opens an existing file for reading only, letting others read and write it meanwhile.
    virtual std::unique_ptr<InputFile> openForReading(const std::string& path) = 0;
    // Creates a file, or replaces an existing one (truncated to nothing), for writing.
    virtual std::unique_ptr<OutputFile> createReplacing(const std::string& path) = 0;
    // Creates one directory (the last component only). True when it was created.
    virtual bool createDirectory(const std::string& path) = 0;
    virtual bool deleteFile(const std::string& path) = 0;
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
