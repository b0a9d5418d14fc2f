#include "splitter/SplitFlow.h"

#include <cstring>
#include <memory>

#include "splitter/Messages.h"
#include "splitter/Volumes.h"

namespace folioknife::splitter {

Text expressionForDocument(const Text& expression, const DocumentEncoding& encoding) {
    if (sameCodePage(encoding.codePage, programCodePage())) return expression;
    auto converted = convertText(expression, programCodePage(), encoding.codePage);
    return converted ? *converted : expression;
}

std::vector<ExpressionMatch> findChapterHeadings(const Text& expression, std::string_view text,
                                                 const DocumentEncoding& encoding) {
    ExpressionMatcher matcher;
    // An expression that does not compile finds nothing.
    matcher.compile(expressionForDocument(expression, encoding));
    return matcher.searchAll(text, encoding.characters);
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
    const Text expression = buildChapterExpression(settings);
    if (expression.empty()) return refuse(messages::noExpression());
    const std::int32_t perVolume = textToInteger(settings.chaptersPerFileText());
    if (perVolume < 1) return refuse(messages::badChaptersPerFile());
    if (settings.outputDirectory().empty()) return refuse(messages::noOutputDirectory());

    // One level only; an existing folder, or one that cannot be made, changes nothing here:
    // writing the first volume will tell.
    files.createDirectory(settings.outputDirectory());

    // The split works on this text to its end, even if a nested Open replaces the document
    // while one of its message boxes is shown.
    const SharedBytes text = document.sharedText();
    const std::vector<ExpressionMatch> matches =
        findChapterHeadings(expression, text.view(), document.encoding());
    outcome.headings = static_cast<std::int64_t>(matches.size());

    document.reopenStream();
    DocumentStream& stream = document.stream();
    const std::vector<ChapterPiece> pieces = segmentChapters(stream, matches);
    const std::vector<Volume> volumes = groupVolumes(pieces, perVolume);

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

    if (settings.deleteSource()) {
        const Text path = settings.sourcePath();
        if (!path.empty()) {
            // Delete only what the volumes hold in full: every byte of the file as it is now.
            if (bytesWritten == text.size() && fileHoldsExactly(files, path, text.view())) {
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
