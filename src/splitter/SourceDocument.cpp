#include "splitter/SourceDocument.h"

#include <cstring>
#include <optional>
#include <vector>

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
    Text text;
    const FileStatus read = readToEnd(*file, text);
    file.reset();  // the file is closed before the document takes its text
    if (!read) {
        document.replace(Text());
        return read;
    }
    document.replace(std::move(text));
    document.setIdentity(identity);
    return {};
}

SourceDocument& theSourceDocument() {
    static SourceDocument document;
    return document;
}

}  // namespace folioknife::splitter
