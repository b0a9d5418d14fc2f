#include "splitter/SourceDocument.h"

#include <cstring>
#include <optional>
#include <vector>

namespace folioknife::splitter {

SourceDocument::SourceDocument() : encoding_(encodingOf(programCodePage())) {}

void SourceDocument::replace(Text text) {
    replace(SharedBytes(std::make_shared<const std::string>(std::move(text))));
}

void SourceDocument::replace(SharedBytes text) {
    text_ = std::move(text);
    identity_.reset();
    encoding_ = detectDocumentEncoding(text_.view(), programCodePage());
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
