#include "cli/CliSplit.h"

#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "splitter/ChapterExpression.h"
#include "splitter/CodePage.h"
#include "splitter/Messages.h"
#include "splitter/Path.h"
#include "splitter/SourceDocument.h"
#include "splitter/SplitFlow.h"
#include "splitter/VolumeFiles.h"

namespace folioknife::cli {

using namespace folioknife::splitter;

namespace {

// The core works in the chosen code page, paths included, as the window does on a system of
// that code page; the file system gets its names back in the terminal's encoding.
class PathConvertingFileService : public FileService {
public:
    PathConvertingFileService(FileService& inner, std::string codePage, std::string terminal)
        : inner_(inner), codePage_(std::move(codePage)), terminal_(std::move(terminal)) {}
    std::unique_ptr<InputFile> openForReading(const std::string& path) override {
        return inner_.openForReading(native(path));
    }
    std::unique_ptr<OutputFile> createTemporary(const std::string& prefix,
                                                std::string& path) override {
        std::string made;
        auto file = inner_.createTemporary(native(prefix), made);
        // The characters added are ASCII, the same in either code page.
        if (file) path = prefix + made.substr(native(prefix).size());
        return file;
    }
    bool replaceFile(const std::string& from, const std::string& to) override {
        return inner_.replaceFile(native(from), native(to));
    }
    bool createDirectory(const std::string& path) override {
        return inner_.createDirectory(native(path));
    }
    bool deleteFile(const std::string& path) override { return inner_.deleteFile(native(path)); }
    FileKind kindOf(const std::string& path) override { return inner_.kindOf(native(path)); }
    FileKind entryKind(const std::string& path) override { return inner_.entryKind(native(path)); }
    std::vector<std::string> listFolder(const std::string& path) override {
        std::vector<std::string> names = inner_.listFolder(native(path));
        for (std::string& name : names) {
            auto converted = convertText(name, terminal_, codePage_);
            if (converted) name = *converted;
        }
        return names;
    }
    std::optional<FileIdentity> identify(const std::string& path) override {
        return inner_.identify(native(path));
    }
    bool flushFiles(const std::vector<std::string>& paths) override {
        std::vector<std::string> converted;
        for (const std::string& path : paths) converted.push_back(native(path));
        return inner_.flushFiles(converted);
    }
    bool flushFolder(const std::string& path) override { return inner_.flushFolder(native(path)); }
    std::unique_ptr<FolderLock> lockFolder(const std::string& path, int waitMilliseconds,
                                           bool& busy) override {
        return inner_.lockFolder(native(path), waitMilliseconds, busy);
    }
    std::string lastFailure() const override { return inner_.lastFailure(); }
    std::string separator() const override { return inner_.separator(); }

private:
    std::string native(const std::string& path) const {
        auto converted = convertText(path, codePage_, terminal_);
        return converted ? *converted : path;
    }
    FileService& inner_;
    std::string codePage_;
    std::string terminal_;
};

class CliSettings : public SplitSettings {
public:
    CliSettings(const CliOptions& o, Text file) : o_(o), file_(std::move(file)) {}
    bool customMode() override { return o_.customMode; }
    Text expressionText() override { return o_.expression; }
    Text prefix() override { return o_.prefix; }
    Text suffix() override { return o_.suffix; }
    Text chaptersPerFileText() override { return o_.perFile; }
    Text outputDirectory() override { return o_.outputDirectory; }
    bool deleteSource() override { return o_.deleteSource; }
    Text sourcePath() override { return o_.deleteSource ? file_ : Text(); }
    bool anywhere() override { return o_.anywhere; }

private:
    const CliOptions& o_;
    Text file_;
};

// Collects what the split reports; the caller prints it where it belongs. The one question,
// whether to replace another novel's volumes, is answered by --replace.
class RecordedMessages : public MessageBoxService {
public:
    explicit RecordedMessages(bool replace) : replace_(replace) {}
    MessageBoxAnswer showMessageBox(const Text& text, const Text&,
                                    MessageBoxButtons buttons) override {
        if (buttons == MessageBoxButtons::YesNo)
            return replace_ ? MessageBoxAnswer::Yes : MessageBoxAnswer::No;
        texts.push_back(text);
        return MessageBoxAnswer::Ok;
    }
    std::vector<Text> texts;

private:
    bool replace_;
};

// The line on which a heading stands, without its line end. In UTF-16 a line feed is a unit
// of two bytes, at an even offset.
std::string_view lineAt(std::string_view text, std::size_t offset, CharacterSet characters) {
    const bool utf16 = characters == CharacterSet::Utf16Le || characters == CharacterSet::Utf16Be;
    const std::size_t unit = utf16 ? 2 : 1;
    const std::size_t low = characters == CharacterSet::Utf16Be ? 1 : 0;  // the ASCII byte
    const auto isAt = [&](std::size_t at, char c) {
        return text[at + low] == c && (!utf16 || text[at + 1 - low] == '\0');
    };
    std::size_t start = offset;
    while (start >= unit && !isAt(start - unit, '\n')) start -= unit;
    std::size_t end = offset;
    while (end + unit <= text.size() && !isAt(end, '\n')) end += unit;
    if (end > start && end >= unit && isAt(end - unit, '\r')) end -= unit;
    return text.substr(start, end - start);
}

}  // namespace

bool asciiMeansAscii(const std::string& codePage) {
    std::string ascii = "\t\r\n";
    for (char c = 0x20; c < 0x7F; ++c) ascii += c;
    const std::optional<std::string> converted = convertText(ascii, "UTF-8", codePage);
    return converted && *converted == ascii;
}

bool isStatefulCodePage(const std::string& codePage) {
    // Characters of the scripts these code pages shift into; a shift shows as ESC, SO or SI
    // (ISO-2022), "~{" (HZ) or "+" (UTF-7).
    for (const char* sample : {"中文", "日本語", "カナ", "한국어"}) {
        const std::optional<std::string> converted = convertText(sample, "UTF-8", codePage);
        if (converted && (converted->find_first_of("\x1B\x0E\x0F+") != std::string::npos ||
                          converted->find("~{") != std::string::npos))
            return true;
    }
    return false;
}

int runCli(CliOptions options, std::ostream& out, std::ostream& err) {
    const std::string terminal = systemCodePage();
    const std::string codePage = options.codePage.empty() ? terminal : options.codePage;
    if (!convertText("", terminal, codePage)) {
        err << "folioknife-split: unknown code page: " << options.codePage << "\n";
        return kExitUsage;
    }
    // Paths, separators, digits and the expression's syntax are ASCII bytes: a code page that
    // writes ASCII otherwise would build names outside the output folder.
    if (!asciiMeansAscii(codePage)) {
        err << "folioknife-split: code page " << codePage
            << " cannot be used: its ASCII characters are not ASCII bytes (UTF-16, UTF-32, UCS-2 "
               "and UCS-4 are refused; GBK, GB18030, Big5 and UTF-8 work)\n";
        return kExitUsage;
    }
    if (isStatefulCodePage(codePage)) {
        err << "folioknife-split: code page " << codePage
            << " cannot be used: it shifts between character sets, so bytes of its characters "
               "can be \"/\" or other ASCII (ISO-2022-*, HZ and UTF-7 are refused; GBK, GB18030, "
               "Big5, Shift-JIS, EUC-* and UTF-8 work)\n";
        return kExitUsage;
    }
    setProgramCodePage(codePage);
    const auto show = [&](const Text& text) { return convertForDisplay(text, codePage, terminal); };

    // Texts typed in the terminal go to the code page in which the expression is matched.
    const bool convert = !sameCodePage(codePage, terminal);
    struct Field {
        std::string* text;
        const char* name;
    };
    const Field fields[] = {{&options.prefix, "--prefix"},
                            {&options.suffix, "--suffix"},
                            {&options.expression, "--expression"},
                            {&options.perFile, "--per-file"},
                            {&options.file, "FILE"},
                            {&options.outputDirectory, "--output"}};
    if (convert) {
        for (const Field& f : fields) {
            auto converted = convertText(*f.text, terminal, codePage);
            if (!converted) {
                err << "folioknife-split: " << f.name << " cannot be written in code page "
                    << codePage << "\n";
                return kExitUsage;
            }
            *f.text = *converted;
        }
    }
    if (!options.prefixGiven) options.prefix = programText("第");
    if (!options.suffixGiven) options.suffix = programText("章");
    FileService& system = systemFileService();
    if (!options.outputGiven) {
        options.outputDirectory = folderOf(options.file, nativePathStyle());
    }

    PathConvertingFileService converting(system, codePage, terminal);
    FileService& files = convert ? static_cast<FileService&>(converting) : system;

    // The novel is split at once, so it is mapped rather than copied into memory: a 100 MB
    // novel loads in milliseconds. Also when the source may be deleted: the check before
    // deleting compares the volumes on disk with the source on disk, not with memory.
    exitOnLostMapping("folioknife-split: " + show(options.file) +
                          " was cut short by another program during the split; the output "
                          "files may be incomplete\n",
                      kExitFileError);
    // A split killed while it wrote into the output folder is undone before the novel is
    // loaded: the novel may be one of the names it changed (novel_1.txt split into its own
    // folder).
    if (!options.list) {
        bool busy = false;
        if (std::unique_ptr<FolderLock> lock =
                files.lockFolder(options.outputDirectory, kFolderLockWait, busy)) {
            recoverFolder(files, options.outputDirectory, std::nullopt);
        } else if (busy) {
            err << show(messages::folderBusy() + options.outputDirectory) << "\n";
            return kExitFileError;
        }
    }
    SourceDocument document;
    if (!loadSourceDocument(document, files, options.file, Loading::Map)) {
        const FileKind kind = files.kindOf(options.file);
        if (kind == FileKind::Directory || kind == FileKind::Other) {
            err << "folioknife-split: FILE is not a regular file: " << show(options.file) << "\n";
        } else {
            const Text reason = files.lastFailure();
            err << show(messages::openFailedAt() + options.file) << "\n";
            if (!reason.empty()) err << show(reason) << "\n";
        }
        return kExitFileError;
    }
    CliSettings settings(options, options.file);

    if (options.list) {
        if (document.text().empty()) {
            err << show(messages::noDocument()) << "\n";
            return kExitRefused;
        }
        const Text expression = buildChapterExpression(settings);
        if (expression.empty()) {
            err << show(messages::noExpression()) << "\n";
            return kExitRefused;
        }
        const std::string_view text = document.text();
        const DocumentEncoding& encoding = document.encoding();
        const HeadingSearch search = searchChapterHeadings(
            expression, text, encoding, headingRulesFor(!options.customMode, options.anywhere));
        if (search.status == HeadingSearch::Status::InvalidExpression) {
            err << show(messages::invalidExpression()) << search.reason << "\n";
            return kExitRefused;
        }
        if (search.status == HeadingSearch::Status::TooComplex) {
            err << show(messages::tooComplex()) << "\n";
            return kExitRefused;
        }
        const std::vector<ExpressionMatch>& matches = search.headings;
        out << "encoding: " << encoding.codePage << '\n';
        std::int64_t number = 0;
        for (const ExpressionMatch& m : matches) {
            Text line(lineAt(text, static_cast<std::size_t>(m.offset), encoding.characters));
            // A "line" may be megabytes long; show its start, cut between characters.
            constexpr std::size_t kShown = 160;
            if (line.size() > kShown) {
                std::size_t cut = 0;
                for (std::size_t next = 0; next <= kShown;
                     next = nextCharacterBoundary(line, next, encoding.characters)) {
                    cut = next;
                }
                line = line.substr(0, cut) + "...";
            }
            // UTF-16 is shown through UTF-8, which every system can convert.
            const bool utf16 = encoding.characters == CharacterSet::Utf16Le ||
                               encoding.characters == CharacterSet::Utf16Be;
            const std::string shown =
                utf16 ? convertForDisplay(
                            utf16ToUtf8(line, encoding.characters == CharacterSet::Utf16Be),
                            "UTF-8", terminal)
                      : convertForDisplay(line, encoding.codePage, terminal);
            out << ++number << '\t' << m.offset << '\t' << shown << '\n';
        }
        if (search.leftOutInText + search.leftOutAsContents > 0) {
            err << "folioknife-split: left out " << search.leftOutInText
                << " match(es) inside running text and " << search.leftOutAsContents
                << " table-of-contents entr(ies); --anywhere keeps them\n";
        }
        if (matches.empty()) {
            const auto better = options.customMode
                                    ? std::nullopt
                                    : suggestSuffix(options.prefix, text, encoding,
                                                    headingRulesFor(true, options.anywhere));
            err << show(better ? messages::suffixWouldFind(better->first, better->second)
                               : messages::noHeadings())
                << "\n";
        }
        return kExitDone;
    }

    RecordedMessages reports(options.replace);
    const SplitOutcome outcome = runSplit(document, settings, files, reports);
    switch (outcome.status) {
        case SplitOutcome::Status::Declined:
            err << show(messages::otherVolumesFound() + outcome.failedFile) << "\n"
                << show(messages::replaceHint()) << "\n";
            return kExitFileError;
        case SplitOutcome::Status::Refused:
        case SplitOutcome::Status::WriteFailed:
        case SplitOutcome::Status::FolderBusy:
        case SplitOutcome::Status::LockFailed:
            for (const Text& t : reports.texts) err << show(t) << "\n";
            return outcome.status == SplitOutcome::Status::Refused ? kExitRefused : kExitFileError;
        case SplitOutcome::Status::Done:
            break;
    }
    out << show(reports.texts.front()) << "\n";
    out << show(programText("章节标题：")) << outcome.headings << show(programText("，输出文件："))
        << outcome.volumesWritten << "\n";
    for (std::size_t i = 1; i < reports.texts.size(); ++i) err << show(reports.texts[i]) << "\n";
    return kExitDone;
}

}  // namespace folioknife::cli
