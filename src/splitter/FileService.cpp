#include "splitter/FileService.h"

#include <algorithm>

#include "splitter/LargeBuffer.h"

namespace folioknife::splitter {

FileStatus readToEnd(InputFile& file, std::string& text, std::size_t limit) {
    // One byte more than the file holds, so that the read which finds the end needs no growth.
    if (const std::optional<std::uint64_t> size = file.size()) {
        text.reserve(text.size() + static_cast<std::size_t>(std::min<std::uint64_t>(*size, limit)) +
                     1);
        adviseLargeBuffer(&text[0], text.capacity());
    }
    constexpr std::size_t kBlock = std::size_t{8} << 20;
    while (text.size() <= limit) {
        const std::size_t used = text.size();
        const std::size_t room = text.capacity() - used;
        const std::size_t want = room == 0 || room > kBlock ? kBlock : room;
        text.resize(used + want);
        const Expected<std::size_t> n = file.read(&text[used], want);
        text.resize(used + (n ? *n : 0));
        if (!n) return n.error();
        if (*n == 0) break;
    }
    // A file that was cut short after its size was taken should not keep the whole buffer.
    if (text.capacity() - text.size() > (std::size_t{1} << 20)) text.shrink_to_fit();
    return {};
}

std::vector<FileStatus> FileService::deleteFiles(const std::vector<std::string>& paths) {
    std::vector<FileStatus> results;
    results.reserve(paths.size());
    for (const std::string& path : paths) results.push_back(deleteFile(path));
    return results;
}

FileStatus writeInOneStep(FileService& files, const std::string& path, std::string_view bytes,
                          const std::string& temporaryPrefix, bool durable) {
    std::string temporary;
    Expected<std::unique_ptr<OutputFile>> file = files.createTemporary(temporaryPrefix, temporary);
    if (!file) return file.error();
    FileStatus status = (*file)->write(bytes);
    if (FileStatus closed = (*file)->close(); status) status = closed;
    if (status && durable) status = files.flushFiles({temporary});
    if (status) status = files.replaceFile(temporary, path);
    if (!status) static_cast<void>(files.deleteFile(temporary));
    return status;
}

}  // namespace folioknife::splitter
