#include "epub/EpubFile.h"

#include <memory>

#include "splitter/Path.h"

namespace folioknife::epub {

using splitter::FileService;

namespace {

constexpr const char* kNewMark = ".folioknife-new-";
constexpr const char* kOldMark = ".folioknife-old-";
// The letters createTemporary adds.
constexpr std::size_t kUniqueLength = 8;

// What every EPUB begins with: the local header of its first entry, "mimetype", stored, and
// its content. The header's time and checksum fields lie between.
bool beginsLikeABook(std::string_view head) {
    return head.size() >= 58 && head.substr(0, 4) == std::string_view("PK\x03\x04", 4) &&
           head.substr(30, 28) == "mimetypeapplication/epub+zip";
}

// True when the file at 'path' holds no bytes or begins as a book does: made by a run of ours
// (or so near to it that it holds nothing to lose).
bool holdsABookOrNothing(FileService& files, const std::string& path) {
    if (files.entryKind(path) != splitter::FileKind::Regular) return false;
    splitter::Expected<std::unique_ptr<splitter::InputFile>> file = files.openForReading(path);
    if (!file) return false;
    std::string head;
    if (!splitter::readToEnd(**file, head, 64)) return false;
    return head.empty() || beginsLikeABook(head);
}

// The name 'book' + 'mark' + the letters createTemporary adds.
bool isOurName(const std::string& name, const std::string& book, const char* mark) {
    const std::string start = book + mark;
    if (name.size() != start.size() + kUniqueLength || name.rfind(start, 0) != 0) return false;
    for (std::size_t i = start.size(); i < name.size(); ++i) {
        const char c = name[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

}  // namespace

void recoverEpub(FileService& files, const std::string& path, const std::string& folder,
                 std::optional<splitter::FileIdentity> keep) {
    const std::string inFolder = splitter::folderPrefix(path, splitter::nativePathStyle());
    const std::string book = splitter::fileName(path, splitter::nativePathStyle());
    const auto mine = [&](const std::string& name, const char* mark) {
        if (!isOurName(name, book, mark)) return false;
        const std::string full = inFolder + name;
        if (keep && files.identify(full).ok() == keep) return false;
        return holdsABookOrNothing(files, full);
    };
    // Best effort: a leftover that will not go stays under a name of ours, and the next run
    // tries again; it never stands in the way of the book being written.
    for (const std::string& name : files.listFolder(folder)) {
        const std::string full = inFolder + name;
        if (mine(name, kNewMark)) {
            static_cast<void>(files.deleteFile(full));
        } else if (mine(name, kOldMark)) {
            // Set aside, and the new book never took the name: the older one goes back.
            if (files.entryKind(path) == splitter::FileKind::Missing)
                static_cast<void>(files.replaceFile(full, path));
            else
                static_cast<void>(files.deleteFile(full));
        }
    }
}

namespace {

// Sets aside what stands at 'path' under a name of ours, which 'aside' receives (empty when
// nothing stood there, or when this fails and the name keeps what it had); the failure's reason.
std::optional<std::string> setAsideOld(FileService& files, const std::string& path,
                                       std::string& aside) {
    if (files.entryKind(path) == splitter::FileKind::Missing) return std::nullopt;
    splitter::Expected<std::unique_ptr<splitter::OutputFile>> placeholder =
        files.createTemporary(path + kOldMark, aside);
    if (!placeholder) {
        aside.clear();
        return placeholder.error().reason;
    }
    // The placeholder only holds the name: it has no bytes to lose.
    static_cast<void>((*placeholder)->close());
    if (const splitter::FileStatus moved = files.replaceFile(path, aside); !moved) {
        // An empty file of ours that will not go is removed by the next run (recoverEpub).
        static_cast<void>(files.deleteFile(aside));
        aside.clear();
        return moved.error().reason;
    }
    return std::nullopt;
}

// After a failed step: the new book goes ('placed': it took the name already) and the name
// gets back what it held ('aside', or nothing). Best effort: what cannot be put back stays
// under names of ours, which the next run deals with (recoverEpub).
void giveBack(FileService& files, const std::string& path, const std::string& temporary,
              const std::string& aside, bool placed) {
    if (!placed) static_cast<void>(files.deleteFile(temporary));
    if (!aside.empty())
        static_cast<void>(files.replaceFile(aside, path));
    else if (placed)
        static_cast<void>(files.deleteFile(path));
}

}  // namespace

std::optional<EpubFailure> installEpub(FileService& files, const std::string& path,
                                       const std::string& folder,
                                       const std::vector<ArchiveEntry>& entries,
                                       std::optional<splitter::FileIdentity> keep,
                                       const std::function<bool()>& accept) {
    recoverEpub(files, path, folder, keep);
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
    if (!failure && accept && !accept()) {
        // The book refused is thrown away; a temporary file that stays is the next run's.
        static_cast<void>((*file)->close());
        static_cast<void>(files.deleteFile(temporary));
        return EpubFailure{{}, true};
    }
    // The first step that fails says why.
    const auto step = [&](const splitter::FileStatus& status) {
        if (!failure && !status) failure = status.error().reason;
    };
    // A failed close may mean the data never reached the disk.
    step((*file)->close());
    // On stable storage before it takes the name: a power cut must not leave a name that
    // points at a book cut short.
    if (!failure) step(files.flushFiles({temporary}));
    // What stands at the name is set aside, not replaced, until the new name is on stable
    // storage: a failed flush of the folder gives it back.
    std::string aside;
    if (!failure) failure = setAsideOld(files, path, aside);
    if (!failure) step(files.replaceFile(temporary, path));
    const bool placed = !failure;
    if (!failure) step(files.flushFolder(folder));
    if (failure) {
        giveBack(files, path, temporary, aside, placed);
        return EpubFailure{*failure};
    }
    // The older book is no longer wanted; one that will not go stays under a name of ours,
    // which the next run removes (recoverEpub).
    if (!aside.empty()) static_cast<void>(files.deleteFile(aside));
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

    // The book as the disk holds it, not as it was made: read a document at a time where the
    // file can be read at any place, else whole.
    splitter::Expected<std::unique_ptr<splitter::InputFile>> file = files.openForReading(epub);
    if (!file) return failed(file.error());
    Difference difference;
    if ((*file)->seek(0)) {
        difference = compareWithNovel(ArchiveReader(**file), text, encoding);
    } else {
        std::string bytes;
        if (const splitter::FileStatus read = splitter::readToEnd(**file, bytes); !read)
            return failed(read.error());
        difference = compareWithNovel(bytes, text, encoding);
    }
    file->reset();  // closed before the novel may go
    if (difference.kind != Difference::Kind::None) {
        return {SourceFate::Differs, {}, std::move(difference)};
    }
    if (const splitter::FileStatus deleted = files.deleteFile(source); !deleted)
        return failed(deleted.error());
    return {SourceFate::Deleted, {}, {}};
}

}  // namespace folioknife::epub
