#include "epub/EpubFile.h"

#include <memory>

namespace folioknife::epub {

using splitter::FileService;

std::optional<EpubFailure> installEpub(FileService& files, const std::string& path,
                                       const std::string& folder,
                                       const std::vector<ArchiveEntry>& entries) {
    std::string temporary;
    splitter::Expected<std::unique_ptr<splitter::OutputFile>> file =
        files.createTemporary(path + ".folioknife-new-", temporary);
    if (!file) return EpubFailure{file.error().reason};
    std::string sinkFailure;
    std::optional<std::string> failure = writeArchive(entries, [&](std::string_view bytes) {
        const splitter::FileStatus written = (*file)->write(bytes);
        if (!written) sinkFailure = written.error().reason;
        return static_cast<bool>(written);
    });
    if (failure && failure->empty()) failure = sinkFailure;
    // The first step that fails says why.
    const auto step = [&](const splitter::FileStatus& status) {
        if (!failure && !status) failure = status.error().reason;
    };
    // A failed close may mean the data never reached the disk.
    step((*file)->close());
    // On stable storage before it takes the name: a power cut must not leave a name that
    // points at a book cut short.
    if (!failure) step(files.flushFiles({temporary}));
    if (!failure) step(files.replaceFile(temporary, path));
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
    const auto failed = [](const splitter::FileError& error) {
        return SourceDeletion{SourceFate::Failed, error.reason, {}};
    };
    const splitter::Expected<splitter::FileIdentity> novel = files.identify(source);
    if (!novel) return failed(novel.error());
    const splitter::Expected<splitter::FileIdentity> book = files.identify(epub);
    if (!book) return failed(book.error());
    if (*novel == *book) return {SourceFate::IsOutput, {}, {}};

    // The book as the disk holds it, not as it was made.
    splitter::Expected<std::unique_ptr<splitter::InputFile>> file = files.openForReading(epub);
    if (!file) return failed(file.error());
    std::string bytes;
    if (const std::optional<std::uint64_t> size = (*file)->size()) {
        bytes.reserve(static_cast<std::size_t>(*size));
    }
    char piece[1 << 16];
    for (;;) {
        const splitter::Expected<std::size_t> n = (*file)->read(piece, sizeof piece);
        if (!n) return failed(n.error());
        if (*n == 0) break;
        bytes.append(piece, *n);
    }
    file->reset();  // closed before the novel may go
    Difference difference = compareWithNovel(bytes, text, encoding);
    if (difference.kind != Difference::Kind::None) {
        return {SourceFate::Differs, {}, std::move(difference)};
    }
    if (const splitter::FileStatus deleted = files.deleteFile(source); !deleted)
        return failed(deleted.error());
    return {SourceFate::Deleted, {}, {}};
}

}  // namespace folioknife::epub
