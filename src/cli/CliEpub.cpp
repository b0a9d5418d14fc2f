#include "cli/CliEpub.h"

#include <tuple>

#include "epub/EpubBook.h"
#include "epub/EpubFile.h"
#include "epub/EpubText.h"
#include "splitter/CodePage.h"
#include "splitter/Path.h"

namespace folioknife::cli {

using namespace folioknife::splitter;
using namespace folioknife::epub;

namespace {

bool endsWithInAnyCase(const std::string& text, const std::string& ending) {
    if (text.size() < ending.size()) return false;
    for (std::size_t i = 0; i < ending.size(); ++i) {
        const char a = text[text.size() - ending.size() + i];
        if ((a >= 'A' && a <= 'Z' ? a - 'A' + 'a' : a) != ending[i]) return false;
    }
    return true;
}

// The novel's file name without ".txt".
std::string bookName(const std::string& novel) {
    std::string name = fileName(novel, nativePathStyle());
    if (endsWithInAnyCase(name, ".txt") && name.size() > 4) name.resize(name.size() - 4);
    return name;
}

}  // namespace

bool epubAvailable() { return archivesAvailable(); }

bool isEpubName(const std::string& path) { return endsWithInAnyCase(path, ".epub"); }

int writeEpub(const CliOptions& options, const SourceDocument& document,
              const std::vector<ExpressionMatch>& headings, FileService& files,
              const std::string& terminal, std::ostream& out, std::ostream& err) {
    const std::string& codePage = programCodePage();
    const auto show = [&](const std::string& text) {
        return convertForDisplay(text, codePage, terminal);
    };
    if (!isLanguageTag(options.language)) {
        err << "folioknife-split: --lang takes a language tag such as zh, zh-TW or en-US, not "
            << options.language << "\n";
        return kExitUsage;
    }
    BookInfo info;
    info.language = options.language;
    for (auto [typed, into, name] : {std::tuple{&options.title, &info.title, "--title"},
                                     std::tuple{&options.author, &info.author, "--author"}}) {
        const std::optional<std::string> utf8 = convertText(*typed, terminal, "UTF-8");
        if (!utf8) {
            err << "folioknife-split: " << name << " is not text in the terminal's encoding\n";
            return kExitUsage;
        }
        *into = std::string(trimmed(*utf8));
    }

    const std::string_view text = document.text();
    const DocumentEncoding& encoding = document.encoding();
    std::vector<std::int64_t> offsets;
    offsets.reserve(headings.size());
    for (const ExpressionMatch& m : headings) offsets.push_back(m.offset);

    const NamedInFront named = titleAndAuthorIn(text, encoding, offsets);
    if (info.title.empty()) info.title = named.title;
    if (info.title.empty())
        info.title = convertForDisplay(bookName(options.file), codePage, "UTF-8");
    if (info.author.empty()) info.author = named.author;
    info.modified = modificationTime();

    std::string path = options.epubPath;
    if (path.empty()) {
        path =
            joinPath(options.outputDirectory, bookName(options.file) + ".epub", nativePathStyle());
    }
    const std::string folder = folderOf(path, nativePathStyle());
    const std::optional<FileIdentity> novel = files.identify(options.file);
    if (novel && novel == files.identify(path)) {
        err << "folioknife-split: the EPUB would replace the novel itself: " << show(path) << "\n";
        return kExitRefused;
    }

    if (offsets.empty()) {
        err << "folioknife-split: no chapter headings found; the EPUB's documents are cut at line "
               "ends about every 100 KB\n";
    }
    Book book(text, encoding, planBook(text, encoding, offsets), info);
    const std::vector<ArchiveEntry> entries = book.entries();
    if (const std::optional<EpubFailure> failure = installEpub(files, path, folder, entries)) {
        err << "folioknife-split: cannot write " << show(path);
        if (!failure->reason.empty()) err << ": " << show(failure->reason);
        err << "\n";
        return kExitFileError;
    }

    book.countLines();
    for (const Unconvertible& u : book.unconvertible()) {
        err << "folioknife-split: line " << u.line << " (byte " << u.offset
            << ") holds a character that cannot be converted to UTF-8; the EPUB shows U+FFFD in "
               "its place\n";
    }
    const std::int64_t unshown =
        book.unconvertibleCount() - static_cast<std::int64_t>(book.unconvertible().size());
    if (unshown > 0) err << "folioknife-split: and " << unshown << " more such character(s)\n";

    std::int64_t counts[4] = {};
    for (const BookPart& part : book.parts()) ++counts[static_cast<int>(part.kind)];
    out << "folioknife-split: wrote " << show(path) << ": " << encoding.codePage << " to UTF-8, "
        << counts[static_cast<int>(BookPart::Kind::Chapter)] << " chapter(s), "
        << counts[static_cast<int>(BookPart::Kind::Volume)] << " volume(s), "
        << (counts[static_cast<int>(BookPart::Kind::Preface)] ? "a preface, " : "")
        << book.parts().size() << " document(s)\n";

    if (options.deleteSource) {
        const SourceDeletion deletion =
            deleteSourceIfEpubHolds(files, options.file, path, text, encoding);
        switch (deletion.fate) {
            case SourceFate::Deleted:
                out << "folioknife-split: deleted " << show(options.file)
                    << ": the EPUB read back holds every line of it\n";
                break;
            case SourceFate::Differs:
                err << "folioknife-split: kept " << show(options.file)
                    << ": the EPUB read back does not hold all of it: " << show(deletion.reason)
                    << "\n";
                break;
            case SourceFate::IsOutput:
                err << "folioknife-split: kept " << show(options.file)
                    << ": it is the EPUB itself\n";
                break;
            case SourceFate::Failed:
                err << "folioknife-split: kept " << show(options.file) << ": "
                    << show(deletion.reason) << "\n";
                break;
        }
    }
    return kExitDone;
}

}  // namespace folioknife::cli
