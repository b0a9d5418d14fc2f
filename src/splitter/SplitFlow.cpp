#include "splitter/SplitFlow.h"

#include <memory>

#include "splitter/Messages.h"
#include "splitter/VolumeFiles.h"
#include "splitter/Volumes.h"

namespace folioknife::splitter {

int showMessageBox(MessageBoxService& boxes, const Text& text, const Text& title,
                   unsigned flags) {
    return boxes.showMessageBox(text, title.empty() ? messages::defaultTitle() : title, flags);
}

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
    const Text folder = settings.outputDirectory();
    files.createDirectory(folder);
    // One split at a time in a folder, or two novels would end up mixed in it.
    bool busy = false;
    std::unique_ptr<FolderLock> lock = files.lockFolder(folder, kFolderLockWait, busy);
    if (!lock && busy) {
        showMessageBox(boxes, messages::folderBusy() + folder);
        outcome.status = SplitOutcome::Status::FolderBusy;
        return outcome;
    }
    if (lock) removeAbandonedVolumes(files, folder, files.separator());

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
    std::vector<Text> names;
    for (std::size_t k = 1; k <= volumes.size(); ++k) {
        names.push_back(volumeFileName(settings.outputDirectory(), k, separator));
        bytesWritten += volumes[k - 1].size();
    }
    if (std::optional<FileFailure> failure = installVolumes(files, names, volumes)) {
        stream.close();
        lock.reset();
        Text message = messages::writeFailed() + failure->file;
        if (!failure->reason.empty()) message += "\n" + failure->reason;
        showMessageBox(boxes, message);
        outcome.status = SplitOutcome::Status::WriteFailed;
        outcome.failedFile = failure->file;
        return outcome;
    }
    outcome.volumesWritten = static_cast<std::int64_t>(volumes.size());
    // Not held while the user reads the message: another split may go on meanwhile.
    lock.reset();
    stream.close();
    showMessageBox(boxes, messages::splitDone());
    outcome.status = SplitOutcome::Status::Done;

    if (settings.deleteSource()) {
        const Text path = settings.sourcePath();
        if (!path.empty()) {
            Text kept;
            if (bytesWritten != text.size()) {
                kept = messages::sourceKept();
            } else if (!(lock = files.lockFolder(folder, kFolderLockWait, busy)) && busy) {
                kept = messages::sourceNotDeleted() + messages::folderBusyReason() + folder;
            } else {
                // Held again so that no other split changes the volumes between the check and
                // the deletion.
                const SourceDeletion deletion = deleteSourceIfWhole(files, path, names, folder);
                switch (deletion.verdict) {
                    case SourceVerdict::Deleted:
                        outcome.sourceDeleted = true;
                        break;
                    case SourceVerdict::NotWhole:
                        kept = messages::sourceKept();
                        break;
                    case SourceVerdict::IsOutput:
                        kept = messages::sourceIsOutput();
                        break;
                    case SourceVerdict::Failed:
                        kept = messages::sourceNotDeleted() + deletion.reason;
                        break;
                }
            }
            if (!kept.empty()) {
                outcome.sourceKept = true;
                showMessageBox(boxes, kept);
            }
        }
    }
    return outcome;
}

}  // namespace folioknife::splitter
