#include "epub/EpubFile.h"

#include <memory>

namespace folioknife::epub {

using splitter::FileService;

std::optional<EpubFailure> installEpub(FileService& files, const std::string& path,
                                       const std::string& folder,
                                       const std::vector<ArchiveEntry>& entries) {
    std::string temporary;
    std::unique_ptr<splitter::OutputFile> file =
        files.createTemporary(path + ".folioknife-new-", temporary);
    if (!file) return EpubFailure{files.lastFailure()};
    std::string sinkFailure;
    std::optional<std::string> failure = writeArchive(entries, [&](std::string_view bytes) {
        if (file->write(bytes)) return true;
        sinkFailure = files.lastFailure();
        return false;
    });
    if (failure && failure->empty()) failure = sinkFailure;
    // A failed close may mean the data never reached the disk.
    if (!file->close() && !failure) failure = files.lastFailure();
    // On stable storage before it takes the name: a power cut must not leave a name that
    // points at a book cut short.
    if (!failure && !files.flushFiles({temporary})) failure = files.lastFailure();
    if (!failure && !files.replaceFile(temporary, path)) failure = files.lastFailure();
    if (failure) {
        files.deleteFile(temporary);
        return EpubFailure{*failure};
    }
    files.flushFolder(folder);
    return std::nullopt;
}

SourceDeletion deleteSourceIfEpubHolds(FileService& files, const std::string& source,
                                       const std::string& epub, std::string_view text,
                                       const splitter::DocumentEncoding& encoding) {
    const auto failed = [&] { return SourceDeletion{SourceFate::Failed, files.lastFailure(), {}}; };
    const std::optional<splitter::FileIdentity> novel = files.identify(source);
    const std::optional<splitter::FileIdentity> book = files.identify(epub);
    if (!novel || !book) return failed();
    if (*novel == *book) return {SourceFate::IsOutput, {}, {}};

    // The book as the disk holds it, not as it was made.
    std::unique_ptr<splitter::InputFile> file = files.openForReading(epub);
    if (!file) return failed();
    std::string bytes;
    if (const std::optional<std::uint64_t> size = file->size()) {
        bytes.reserve(static_cast<std::size_t>(*size));
    }
    char piece[1 << 16];
    for (;;) {
        const std::int64_t n = file->read(piece, sizeof piece);
        if (n < 0) return failed();
        if (n == 0) break;
        bytes.append(piece, static_cast<std::size_t>(n));
    }
    file.reset();
    Difference difference = compareWithNovel(bytes, text, encoding);
    if (difference.kind != Difference::Kind::None) {
        return {SourceFate::Differs, {}, std::move(difference)};
    }
    if (!files.deleteFile(source)) return failed();
    return {SourceFate::Deleted, {}, {}};
}

}  // namespace folioknife::epub
