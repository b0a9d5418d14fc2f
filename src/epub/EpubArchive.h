#pragma once
// The zip container of an EPUB: written here over zlib, read through libzip.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace folioknife::epub {

// One file of the archive. Its bytes are made only when the archive reaches it, so that a
// book of a hundred megabytes is never in memory as text all at once.
struct ArchiveEntry {
    std::string name;
    bool compressed = true;  // false: stored as it is (the mimetype must be)
    std::function<std::string()> bytes;
    std::int64_t modified = 0;  // the file's time, seconds since 1970 (UTC)
};

// Builds the archive, entries in order, and hands its bytes to 'sink' in pieces of about a
// megabyte (the last may be smaller) as the files are compressed: the archive is never in
// memory as a whole. On failure, the reason (zlib's words; empty when the sink refused).
std::optional<std::string> writeArchive(const std::vector<ArchiveEntry>& entries,
                                        const std::function<bool(std::string_view)>& sink);

// Reads the files of an archive held in memory.
class ArchiveReader {
public:
    explicit ArchiveReader(std::string_view archive);
    ~ArchiveReader();
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;
    // False when the bytes are no archive; 'failure' says why.
    bool isOpen() const { return handle_ != nullptr; }
    const std::string& failure() const { return failure_; }
    // The names of the files, in the order the archive holds them.
    std::vector<std::string> names() const;
    // Whether the file is stored uncompressed.
    bool isStored(const std::string& name) const;
    // The file's bytes, uncompressed; nothing when it is missing or damaged.
    std::optional<std::string> read(const std::string& name) const;

private:
    void* handle_ = nullptr;
    std::string failure_;
};

}  // namespace folioknife::epub
