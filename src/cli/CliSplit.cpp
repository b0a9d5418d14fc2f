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
    std::unique_ptr<OutputFile> createReplacing(const std::string& path) override {
        return inner_.createReplacing(native(path));
    }
    bool createDirectory(const std::string& path) override {
        return inner_.createDirectory(native(path));
    }
    bool deleteFile(const std::string& path) override { return inner_.deleteFile(native(path)); }
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

private:
    const CliOptions& o_;
    Text file_;
};

// Collects what the split reports; the caller prints it where it belongs.
class RecordedMessages : public MessageBoxService {
public:
    MessageBoxAnswer showMessageBox(const Text& text, const Text&, MessageBoxButtons) override {
        texts.push_back(text);
        return MessageBoxAnswer::Ok;
    }
    std::vector<Text> texts;
};

// The line on which a heading stands, without its line end.
std::string_view lineAt(std::string_view text, std::size_t offset) {
    std::size_t start = offset == 0 ? std::string_view::npos : text.rfind('\n', offset - 1);
    start = start == std::string_view::npos ? 0 : start + 1;
    std::size_t end = text.find('\n', offset);
    if (end == std::string_view::npos) end = text.size();
    if (end > start && text[end - 1] == '\r') --end;
    return text.substr(start, end - start);
}

}  // namespace

int runCli(CliOptions options, std::ostream& out, std::ostream& err) {
    const std::string terminal = systemCodePage();
    const std::string codePage = options.codePage.empty() ? terminal : options.codePage;
    if (!convertText("", terminal, codePage)) {
        err << "folioknife-split: unknown code page: " << options.codePage << "\n";
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
    if (!options.outputGiven) options.outputDirectory = folderOf(options.file, PathStyle::Posix);

    FileService& system = systemFileService();
    PathConvertingFileService converting(system, codePage, terminal);
    FileService& files = convert ? static_cast<FileService&>(converting) : system;

    // The novel is split at once, so it is mapped rather than copied into memory: a 100 MB
    // novel loads in milliseconds. Not when the source may be deleted: the check before
    // deleting compares the file on disk with the text the volumes were cut from, which must
    // be a copy for that to mean anything.
    const Loading loading = options.deleteSource ? Loading::Read : Loading::Map;
    if (loading == Loading::Map) {
        exitOnLostMapping("folioknife-split: " + show(options.file) +
                              " was cut short by another program during the split; the output "
                              "files may be incomplete\n",
                          kExitFileError);
    }
    SourceDocument document;
    if (!loadSourceDocument(document, files, options.file, loading)) {
        err << show(messages::openFailed()) << ": " << show(options.file) << "\n";
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
        const auto matches = findChapterHeadings(expression, text, encoding);
        out << "encoding: " << encoding.codePage << '\n';
        std::int64_t number = 0;
        for (const ExpressionMatch& m : matches) {
            Text line(lineAt(text, static_cast<std::size_t>(m.offset)));
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
            out << ++number << '\t' << m.offset << '\t'
                << convertForDisplay(line, encoding.codePage, terminal) << '\n';
        }
        return kExitDone;
    }

    RecordedMessages reports;
    const SplitOutcome outcome = runSplit(document, settings, files, reports);
    switch (outcome.status) {
        case SplitOutcome::Status::Refused:
        case SplitOutcome::Status::WriteFailed:
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
