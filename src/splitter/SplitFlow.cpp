#include "splitter/SplitFlow.h"

#include <cstring>
#include <memory>
#include <optional>

#include "splitter/ChapterHeadings.h"
#include "splitter/Messages.h"
#include "splitter/Volumes.h"

namespace folioknife::splitter {

int showMessageBox(MessageBoxService& boxes, const Text& text, const Text& title,
                   unsigned flags) {
    return boxes.showMessageBox(text, title.empty() ? messages::defaultTitle() : title, flags);
}

HeadingRules headingRulesFor(bool defaultMode, bool anywhere) {
    HeadingRules rules;
    rules.lineRule = defaultMode && !anywhere;
    rules.contentsRule = !anywhere;
    return rules;
}

std::optional<std::pair<Text, std::int64_t>> suggestSuffix(const Text& prefix,
                                                           std::string_view text,
                                                           const DocumentEncoding& encoding,
                                                           HeadingRules rules) {
    // About one novel in ten heads its chapters 第…回 or the like.
    constexpr std::int64_t kFewest = 3;
    std::optional<std::pair<Text, std::int64_t>> best;
    for (const char* suffix : {"回", "节", "卷", "集", "部", "篇"}) {
        const Text inCodePage = programText(suffix);
        const HeadingSearch search = searchChapterHeadings(
            defaultChapterExpression(prefix, inCodePage), text, encoding, rules);
        const auto found = static_cast<std::int64_t>(search.headings.size());
        if (search.status == HeadingSearch::Status::Done && found >= kFewest &&
            (!best || found > best->second)) {
            best.emplace(inCodePage, found);
        }
    }
    return best;
}

namespace {

bool writeVolume(FileService& files, const Text& name, const Volume& volume) {
    std::unique_ptr<OutputFile> file = files.createReplacing(name);
    if (!file) return false;
    bool ok = true;
    for (std::string_view span : volume.spans) {
        if (!file->write(span)) {
            ok = false;
            break;
        }
    }
    // A failed close may mean the data never reached the disk.
    return file->close() && ok;
}

// True when the file at 'path' holds exactly 'text', byte for byte.
bool fileHoldsExactly(FileService& files, const Text& path, std::string_view text) {
    std::unique_ptr<InputFile> file = files.openForReading(path);
    if (!file) return false;
    if (auto size = file->size(); size && *size != text.size()) return false;
    std::string buffer(std::size_t{1} << 20, '\0');
    std::size_t compared = 0;
    for (;;) {
        std::int64_t n = file->read(&buffer[0], buffer.size());
        if (n < 0) return false;
        if (n == 0) break;
        const auto count = static_cast<std::size_t>(n);
        if (compared + count > text.size() ||
            std::memcmp(buffer.data(), text.data() + compared, count) != 0) {
            return false;
        }
        compared += count;
    }
    return compared == text.size();
}

}  // namespace

SplitOutcome runSplit(SourceDocument& document, SplitSettings& settings, FileService& files,
                      MessageBoxService& boxes) {
    SplitOutcome outcome;
    const auto refuse = [&](const Text& message) {
        showMessageBox(boxes, message);
        outcome.status = SplitOutcome::Status::Refused;
        return outcome;
    };

    // The checks, in this order; the first that fails is the only one reported.
    if (document.text().empty()) return refuse(messages::noDocument());
    const bool defaultMode = !settings.customMode();
    Text prefix;
    Text expression;
    if (defaultMode) {
        prefix = settings.prefix();
        expression = defaultChapterExpression(prefix, settings.suffix());
    } else {
        expression = settings.expressionText();
    }
    if (expression.empty()) return refuse(messages::noExpression());
    // The split works on this text and its encoding to its end, even if a nested Open replaces
    // the document while one of its message boxes is shown.
    const SharedBytes text = document.sharedText();
    const DocumentEncoding encoding = document.encoding();
    if (std::string reason = expressionError(expression, encoding); !reason.empty())
        return refuse(messages::invalidExpression() + programText(reason));
    const std::int32_t perVolume = textToInteger(settings.chaptersPerFileText());
    if (perVolume < 1) return refuse(messages::badChaptersPerFile());
    if (settings.outputDirectory().empty()) return refuse(messages::noOutputDirectory());

    const HeadingRules rules = headingRulesFor(defaultMode, settings.anywhere());
    const HeadingSearch search = searchChapterHeadings(expression, text.view(), encoding, rules);
    // An engine that gave up would leave chapters uncut: nothing is written.
    if (search.status != HeadingSearch::Status::Done) return refuse(messages::tooComplex());
    const std::vector<ExpressionMatch>& matches = search.headings;
    outcome.headings = static_cast<std::int64_t>(matches.size());

    // One level only; an existing folder, or one that cannot be made, changes nothing here:
    // writing the first volume will tell.
    files.createDirectory(settings.outputDirectory());

    document.reopenStream();
    DocumentStream& stream = document.stream();
    const std::vector<ChapterPiece> pieces = segmentChapters(stream, matches);
    std::vector<Volume> volumes = groupVolumes(pieces, perVolume);
    // A UTF-16 file is only read as such when it begins with its byte-order mark: every
    // volume after the first gets the novel's own, so that each opens on its own.
    const std::string_view mark = byteOrderMarkOf(encoding.characters);
    std::uint64_t marksAdded = 0;
    if (!mark.empty()) {
        for (std::size_t k = 1; k < volumes.size(); ++k) {
            volumes[k].spans.insert(volumes[k].spans.begin(), mark);
            marksAdded += mark.size();
        }
    }

    std::uint64_t bytesWritten = 0;
    const std::string separator = files.separator();
    for (std::size_t k = 1; k <= volumes.size(); ++k) {
        const Text name = volumeFileName(settings.outputDirectory(), k, separator);
        if (!writeVolume(files, name, volumes[k - 1])) {
            stream.close();
            showMessageBox(boxes, messages::writeFailed() + name);
            outcome.status = SplitOutcome::Status::WriteFailed;
            outcome.failedFile = name;
            return outcome;
        }
        bytesWritten += volumes[k - 1].size();
        ++outcome.volumesWritten;
    }
    stream.close();
    showMessageBox(boxes, messages::splitDone());
    outcome.status = SplitOutcome::Status::Done;
    if (matches.empty()) {
        // The whole novel went into one file; say so, and what would have found headings.
        const auto better = defaultMode ? suggestSuffix(prefix, text.view(), encoding, rules)
                                        : std::nullopt;
        showMessageBox(boxes, better ? messages::suffixWouldFind(better->first, better->second)
                                     : messages::noHeadings());
    }

    if (settings.deleteSource()) {
        const Text path = settings.sourcePath();
        if (!path.empty()) {
            // Delete only what the volumes hold in full: every byte of the file as it is now.
            if (bytesWritten - marksAdded == text.size() && fileHoldsExactly(files, path, text.view())) {
                outcome.sourceDeleted = files.deleteFile(path);
            } else {
                outcome.sourceKept = true;
                showMessageBox(boxes, messages::sourceKept());
            }
        }
    }
    return outcome;
}

}  // namespace folioknife::splitter
