#include "cli/CliEpub.h"

#include <optional>
#include <tuple>
#include <utility>
#include <vector>

#include "cli/Catalogue.h"
#include "epub/EpubBook.h"
#include "epub/EpubFile.h"
#include "epub/EpubText.h"
#include "splitter/Ascii.h"
#include "splitter/CodePage.h"
#include "splitter/DocumentEncoding.h"
#include "splitter/FileService.h"
#include "splitter/Path.h"
#include "splitter/Recode.h"

namespace folioknife::cli {

using namespace folioknife::splitter;
using namespace folioknife::epub;

namespace {

// Why the book read back is not the novel, in the run's language.
std::string describe(const Difference& d) {
    switch (d.kind) {
        case Difference::Kind::None:
            break;
        case Difference::Kind::Unreadable:
            return trf("the EPUB read back: cannot read {1}", {d.document});
        case Difference::Kind::Differs:
            return trf("line {1} of the novel differs from paragraph {2} of {3} in the EPUB",
                       {std::to_string(d.line), std::to_string(d.paragraph), d.document});
        case Difference::Kind::Unconvertible:
            return trf("line {1} of the novel holds a character that the EPUB could not hold",
                       {std::to_string(d.line)});
        case Difference::Kind::MoreInBook:
            return trf("paragraph {1} of {2} in the EPUB is past the novel's end",
                       {std::to_string(d.paragraph), d.document});
        case Difference::Kind::MoreInNovel:
            return trf("line {1} of the novel is missing from the EPUB", {std::to_string(d.line)});
    }
    return {};
}

}  // namespace

bool isEpubName(const std::string& path) { return splitter::hasExtension(path, ".epub"); }

namespace {

std::string inUtf8(const Text& text) { return convertForDisplay(text, programCodePage(), "UTF-8"); }

// The language of the novel, from its first 256 KB.
std::string languageIn(std::string_view text, const DocumentEncoding& encoding) {
    std::size_t sample = std::min<std::size_t>(text.size(), 256 * 1024);
    while (sample > 0 && !isCharacterBoundary(text, sample, encoding.characters)) --sample;
    return languageOf(readableUtf8(text.substr(0, sample), encoding));
}

// The picture --cover names, into the book's cover; false, the reason reported, when it cannot
// be read or is no JPEG or PNG.
bool readCover(const EpubRun& run, BookInfo& info) {
    const std::string& path = run.options.cover;
    Expected<std::unique_ptr<InputFile>> file = run.files.openForReading(path);
    FileStatus read = file ? readToEnd(**file, info.coverImage) : FileStatus(file.error());
    if (!read) {
        run.report(trf("cannot read {1}: {2}", {inUtf8(path), inUtf8(read.error().reason)}));
        return false;
    }
    if (info.coverImage.substr(0, 3) == "\xFF\xD8\xFF") {
        info.coverType = "image/jpeg";
    } else if (info.coverImage.substr(0, 8) == "\x89PNG\r\n\x1A\n") {
        info.coverType = "image/png";
    } else {
        run.report(trf("--cover {1}: give a JPEG or PNG picture", {inUtf8(path)}));
        info.coverImage.clear();
        return false;
    }
    return true;
}

// What the book says of itself, from the options and the novel's first lines; nothing, the
// reason reported, when an option is no use.
std::optional<BookInfo> bookInfo(const EpubRun& run, std::int64_t firstHeading) {
    const CliOptions& options = run.options;
    if (!options.language.empty() && !isLanguageTag(options.language)) {
        run.report(trf("--lang takes a language tag such as zh, zh-TW or en-US, not {1}",
                       {convertForDisplay(options.language, run.typed, "UTF-8")}));
        return std::nullopt;
    }
    BookInfo info;
    info.language = options.language;
    if (info.language.empty())
        info.language = languageIn(run.document.text(), run.document.encoding());
    for (auto [typed, into, name] : {std::tuple{&options.title, &info.title, "--title"},
                                     std::tuple{&options.author, &info.author, "--author"}}) {
        const std::optional<std::string> utf8 = convertText(*typed, run.typed, "UTF-8");
        if (!utf8) {
            run.report(trf("{1} is not text in the terminal's encoding", {name}));
            return std::nullopt;
        }
        *into = std::string(trimmed(*utf8));
    }
    // The lines before the first heading, or before the volume line above it.
    const NamedInFront named = titleAndAuthorIn(
        run.document.text(), run.document.encoding(),
        firstHeading < 0 ? std::vector<std::int64_t>{} : std::vector<std::int64_t>{firstHeading});
    const NamedInFront inName =
        namedInFileName(inUtf8(novelStem(run.novel, nativePathStyle() == PathStyle::Windows)));
    if (info.title.empty()) info.title = named.title;
    if (info.title.empty()) info.title = inName.title;
    if (info.author.empty()) info.author = named.author;
    if (info.author.empty()) info.author = inName.author;
    info.description = named.description;
    if (!options.cover.empty() && !readCover(run, info)) return std::nullopt;
    info.modified = modificationTime();
    return info;
}

// The characters the book could not convert, the first few with their places.
void reportUnconvertible(const EpubRun& run, Book& book) {
    book.countLines();
    for (const Unconvertible& u : book.unconvertible()) {
        const std::string line = std::to_string(u.line), byte = std::to_string(u.offset);
        run.report(u.unfitForXml
                       ? trf("line {1} (byte {2}) holds a character that XML cannot hold (a "
                             "control character, U+FFFE or U+FFFF); the EPUB shows U+FFFD in "
                             "its place",
                             {line, byte})
                       : trf("line {1} (byte {2}) holds a character that cannot be converted to "
                             "UTF-8; the EPUB shows U+FFFD in its place",
                             {line, byte}));
    }
    const std::int64_t unshown =
        book.unconvertibleCount() - static_cast<std::int64_t>(book.unconvertible().size());
    if (unshown > 0) {
        run.report(unshown == 1 ? tr("and 1 more such character")
                                : trf("and {1} more such characters", {std::to_string(unshown)}));
    }
}

// The novel deleted when asked and the book read back holds it; what became of it, in words.
std::string deleteNovel(const EpubRun& run) {
    if (!run.options.deleteSource) return {};
    const SourceDeletion deletion = deleteSourceIfEpubHolds(
        run.files, run.novel, run.book, run.document.text(), run.document.encoding());
    std::string source;
    switch (deletion.fate) {
        case SourceFate::Deleted:
            return tr("source deleted");
        case SourceFate::Differs:
            source = trf("source kept: {1}", {describe(deletion.difference)});
            break;
        case SourceFate::IsOutput:
            source = trf("source kept: {1}", {tr("it is the EPUB itself")});
            break;
        case SourceFate::Failed:
            source = trf("source kept: {1}", {inUtf8(deletion.reason)});
            break;
    }
    run.report(source);
    return source;
}

// Where each heading's line is, and where the volume line that went with it begins. A book
// built of bare numbered headings (一 青衫磊落险峰行) has them as its chapters.
std::vector<PlannedHeading> plannedHeadings(const EpubRun& run) {
    const HeadingSearch& search = run.plan.search;
    std::vector<PlannedHeading> planned;
    // The search looks for volume lines only when it sorts headings by their lines (default
    // mode); for a custom expression the book looks for them itself.
    const bool volumesSought = run.plan.rules.lineRule;
    for (std::size_t k = 0; k < search.headings.size(); ++k) {
        PlannedHeading h;
        h.offset = search.headings[k].offset;
        if (k < search.details.size()) {
            const HeadingDetail& detail = search.details[k];
            h.offset = detail.match.offset;
            h.length = detail.match.length;
            h.extra = detail.kind == HeadingKind::Extra;
            if (volumesSought)
                h.volumeLine = detail.volumeLine > 0 ? search.headings[k].offset : -1;
        }
        planned.push_back(h);
    }
    if (planned.empty()) {
        for (const std::int64_t line :
             findNumberedLines(run.document.text(), run.document.encoding())) {
            PlannedHeading h;
            h.offset = line;
            planned.push_back(h);
        }
    }
    return planned;
}

// Where the first volume or chapter begins; -1 for a book without either.
std::int64_t firstHeadingOf(const std::vector<BookPart>& parts) {
    for (const BookPart& part : parts) {
        if (part.kind == BookPart::Kind::Volume || part.kind == BookPart::Kind::Chapter)
            return part.begin;
    }
    return -1;
}

// "a.txt: EPUB written: 3 chapters, 1 volumes, 5 documents in a.epub".
std::string writtenSummary(const EpubRun& run, const Book& book) {
    std::int64_t counts[5] = {};
    for (const BookPart& part : book.parts()) ++counts[static_cast<int>(part.kind)];
    return trf(
        "{1}: EPUB written: {2} chapters, {3} volumes, {4} documents in {5}",
        {inUtf8(run.novel), std::to_string(counts[static_cast<int>(BookPart::Kind::Chapter)]),
         std::to_string(counts[static_cast<int>(BookPart::Kind::Volume)]),
         std::to_string(book.parts().size()), inUtf8(run.book)});
}

}  // namespace

int writeEpub(const EpubRun& run) {
    std::vector<PlannedHeading> planned = plannedHeadings(run);
    const std::string_view text = run.document.text();
    const DocumentEncoding& encoding = run.document.encoding();
    // The labels the book makes are in its language: the one given, or the text's.
    const bool english = run.options.language.empty() ? languageIn(text, encoding) == "en"
                                                      : run.options.language.substr(0, 2) == "en";
    PlanOptions options;
    options.english = english;
    std::vector<BookPart> parts = planBook(text, encoding, planned, options);
    const std::optional<BookInfo> info = bookInfo(run, firstHeadingOf(parts));
    if (!info) return kExitUsage;
    const std::optional<FileIdentity> novel = run.files.identify(run.novel).ok();
    if (novel && novel == run.files.identify(run.book).ok()) {
        run.report(trf("the EPUB would replace the novel itself: {1}", {inUtf8(run.book)}));
        return kExitRefused;
    }
    if (planned.empty()) {
        run.report(
            tr("no chapter heading found: the EPUB's documents are cut at line ends about "
               "every 100 KB"));
    }
    Book book(text, encoding, std::move(parts), *info);
    const std::vector<ArchiveEntry> entries = book.entries();
    // More than one character in a hundred that does not convert is no damage: the novel was
    // read in the wrong encoding, and the book would be mojibake.
    const auto readable = [&book] {
        return book.undecodableCount() == 0 ||
               book.undecodableCount() * 100 <= book.characterCount();
    };
    // A missing folder is made, one level, as a split makes its -o folder; one that exists, or
    // cannot be made, changes nothing here: writing the book tells.
    const Text folder = folderOf(run.book, nativePathStyle());
    if (!folder.empty() && run.files.kindOf(folder) == FileKind::Missing)
        (void)run.files.createDirectory(folder);
    if (const std::optional<EpubFailure> failure =
            installEpub(run.files, run.book, folder, entries, novel, readable)) {
        if (failure->refused) {
            run.report(tr("cannot tell the novel's encoding: name it with --codepage"));
            return kExitRefused;
        }
        run.report(trf("cannot write {1}: {2}", {inUtf8(run.book), inUtf8(failure->reason)}));
        return kExitFileError;
    }
    reportUnconvertible(run, book);
    const std::string source = deleteNovel(run);
    std::string summary = writtenSummary(run, book);
    // What became of the novel only when its deletion was asked for.
    if (!source.empty()) summary = trf("{1}; {2}", {summary, source});
    run.out << convertForDisplay(summary, "UTF-8", run.terminal) << "\n";
    return kExitDone;
}

}  // namespace folioknife::cli
