#include "splitter/SourceDocument.h"

#include <cstring>
#include <optional>
#include <vector>

#include "splitter/LargeBuffer.h"

namespace folioknife::splitter {

DocumentStream::DocumentStream() = default;

DocumentStream DocumentStream::holding(SharedBytes bytes) {
    DocumentStream s;
    s.bytes_ = std::move(bytes);
    s.position_ = static_cast<std::int64_t>(s.bytes_.size());
    return s;
}

std::int64_t DocumentStream::size() const {
    return open_ ? static_cast<std::int64_t>(bytes_.size()) : 0;
}

bool DocumentStream::rewind() { return seek(0); }

bool DocumentStream::seek(std::int64_t offset) {
    if (!open_ || offset < 0) return false;
    position_ = offset;
    return true;
}

std::string_view DocumentStream::readView(std::int64_t count) {
    if (!open_ || count <= 0) return {};
    std::int64_t available = static_cast<std::int64_t>(bytes_.size()) - position_;
    if (available <= 0) return {};
    std::string_view taken(bytes_.view().data() + position_,
                           static_cast<std::size_t>(count < available ? count : available));
    position_ += static_cast<std::int64_t>(taken.size());
    return taken;
}

std::string_view DocumentStream::readRestView() {
    if (!open_) return {};
    return readView(static_cast<std::int64_t>(bytes_.size()) - position_);
}

void DocumentStream::close() {
    if (!open_) return;
    bytes_ = SharedBytes();
    position_ = 0;
    open_ = false;
}

SourceDocument::SourceDocument() : encoding_(encodingOf(programCodePage())) {}

void SourceDocument::replace(Text text) {
    replace(SharedBytes(std::make_shared<const std::string>(std::move(text))));
}

void SourceDocument::replace(SharedBytes text) {
    text_ = std::move(text);
    identity_.reset();
    stream_ = DocumentStream::holding(text_);
    encoding_ = detectDocumentEncoding(text_.view(), programCodePage());
}

void SourceDocument::reopenStream() {
    if (stream_.isOpen()) return;
    stream_ = DocumentStream::holding(text_);
}

namespace {
// Reads the whole file, block by block; the error when a read fails (never a shorter text).
Expected<Text> readText(InputFile& file) {
    Text text;
    // One byte more than the file holds, so that the read which finds the end needs no growth.
    if (auto size = file.size()) {
        text.reserve(static_cast<std::size_t>(*size) + 1);
        adviseLargeBuffer(&text[0], text.capacity());
    }
    constexpr std::size_t kBlock = std::size_t{8} << 20;
    for (;;) {
        std::size_t used = text.size();
        std::size_t room = text.capacity() - used;
        std::size_t want = room == 0 || room > kBlock ? kBlock : room;
        text.resize(used + want);
        const Expected<std::size_t> n = file.read(&text[used], want);
        if (!n) return n.error();
        text.resize(used + *n);
        if (*n == 0) break;
    }
    // A file that was cut short after its size was taken should not keep the whole buffer.
    if (text.capacity() - text.size() > (std::size_t{1} << 20)) text.shrink_to_fit();
    return text;
}
}  // namespace

FileStatus loadSourceDocument(SourceDocument& document, FileService& files, const Text& path,
                              Loading loading) {
    Expected<std::unique_ptr<InputFile>> opened = files.openForReading(path);
    if (!opened) {
        document.replace(Text());
        return opened.error();
    }
    std::unique_ptr<InputFile> file = std::move(*opened);
    std::optional<SharedBytes> mapped;
    if (loading == Loading::Map) mapped = file->mapWhole();
    const std::optional<FileIdentity> identity = files.identify(path).ok();
    if (mapped) {
        file.reset();  // the mapping outlives the file's handle
        document.replace(std::move(*mapped));
        document.setIdentity(identity);
        return {};
    }
    Expected<Text> text = readText(*file);
    file.reset();  // the file is closed before the document takes its text
    if (!text) {
        document.replace(Text());
        return text.error();
    }
    document.replace(std::move(*text));
    document.setIdentity(identity);
    return {};
}

SourceDocument& theSourceDocument() {
    static SourceDocument document;
    return document;
}

}  // namespace folioknife::splitter
