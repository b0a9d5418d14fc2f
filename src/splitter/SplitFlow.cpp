#include "splitter/SplitFlow.h"

#include <memory>
#include <optional>

#include "splitter/ChapterHeadings.h"
#include "splitter/Messages.h"
#include "splitter/VolumeFiles.h"
#include "splitter/Volumes.h"

namespace folioknife::splitter {

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
        const HeadingSearch search =
            searchDefaultHeadings(prefix, inCodePage, text, encoding, rules);
        const auto found = static_cast<std::int64_t>(search.headings.size());
        if (search.status == HeadingSearch::Status::Done && found >= kFewest &&
            (!best || found > best->second)) {
            best.emplace(inCodePage, found);
        }
    }
    return best;
}

namespace {
// The name of a file in a folder, after the folder's separator: volume names are ASCII, so
// the last separator is the right one in any code page.
Text nameIn(const Text& path, const std::string& separator) {
    const std::size_t at = path.rfind(separator);
    return at == Text::npos ? path : path.substr(at + separator.size());
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
    Text suffix;
    Text expression;
    if (defaultMode) {
        prefix = settings.prefix();
        suffix = settings.suffix();
        expression = defaultChapterExpression(prefix, suffix);
    } else {
        expression = settings.expressionText();
    }
    if (expression.empty()) return refuse(messages::noExpression());
    // The split works on this text and its encoding to its end, even if a nested Open replaces
    // the document while one of its message boxes is shown.
    const SharedBytes text = document.sharedText();
    const DocumentEncoding encoding = document.encoding();
    if (std::string reason = defaultMode ? defaultExpressionError(prefix, suffix, encoding)
                                         : expressionError(expression, encoding);
        !reason.empty())
        return refuse(messages::invalidExpression() + programText(reason));
    const std::int32_t perVolume = textToInteger(settings.chaptersPerFileText());
    if (perVolume < 1) return refuse(messages::badChaptersPerFile());
    if (settings.outputDirectory().empty()) return refuse(messages::noOutputDirectory());

    const HeadingRules rules = headingRulesFor(defaultMode, settings.anywhere());
    const HeadingSearch search =
        defaultMode ? searchDefaultHeadings(prefix, suffix, text.view(), encoding, rules)
                    : searchChapterHeadings(expression, text.view(), encoding, rules);
    // An engine that gave up would leave chapters uncut: nothing is written.
    if (search.status != HeadingSearch::Status::Done) return refuse(messages::tooComplex());
    const std::vector<ExpressionMatch>& matches = search.headings;
    outcome.headings = static_cast<std::int64_t>(matches.size());

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

    // One level only; an existing folder, or one that cannot be made, changes nothing here:
    // locking or writing will tell.
    const Text folder = settings.outputDirectory();
    files.createDirectory(folder);
    // One split at a time in a folder, or two novels would end up mixed in it. Volumes already
    // there are replaced without asking only when they are an earlier split of this novel; the
    // lock is not held while the user is asked.
    std::unique_ptr<FolderLock> lock;
    std::vector<Text> approved;  // the volumes the user agreed to replace
    std::vector<Text> removed;   // those of them this split does not write
    for (;;) {
        bool busy = false;
        lock = files.lockFolder(folder, kFolderLockWait, busy);
        if (!lock) {
            stream.close();
            Text message = (busy ? messages::folderBusy() : messages::folderLockFailed()) + folder;
            const Text reason = files.lastFailure();
            if (!busy && !reason.empty()) message += "\n" + reason;
            showMessageBox(boxes, message);
            outcome.status =
                busy ? SplitOutcome::Status::FolderBusy : SplitOutcome::Status::LockFailed;
            return outcome;
        }
        // A split killed while it wrote here is undone first.
        recoverFolder(files, folder, document.identity());
        const std::vector<FoundVolume> found = findVolumes(files, folder);
        std::vector<Text> paths;
        removed.clear();
        for (const FoundVolume& v : found) {
            paths.push_back(v.path);
            if (v.number > volumes.size()) removed.push_back(v.path);
        }
        if (found.empty() || paths == approved ||
            isEarlierSplitOf(files, found, text.view(), mark)) {
            break;
        }
        lock.reset();
        const Text first = nameIn(found.front().path, files.separator());
        if (showMessageBox(boxes, messages::replaceOtherVolumes(first, found.size()), Text(),
                           MessageBoxButtons::YesNo) != MessageBoxAnswer::Yes) {
            stream.close();
            outcome.status = SplitOutcome::Status::Declined;
            outcome.failedFile = found.front().path;
            return outcome;
        }
        approved = paths;
    }

    std::uint64_t bytesWritten = 0;
    const std::string separator = files.separator();
    std::vector<Text> names;
    for (std::size_t k = 1; k <= volumes.size(); ++k) {
        names.push_back(volumeFileName(settings.outputDirectory(), k, separator));
        bytesWritten += volumes[k - 1].size();
    }
    if (std::optional<FileFailure> failure =
            installVolumes(files, folder, names, volumes, removed)) {
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
    if (search.otherSuffix) {
        showMessageBox(boxes, messages::otherSuffixUsed(suffix, search.suffix, outcome.headings));
    } else if (matches.empty()) {
        // The whole novel went into one file; say so. Every match counting, name the suffix
        // that would have found headings.
        const auto better = defaultMode && settings.anywhere()
                                ? suggestSuffix(prefix, text.view(), encoding, rules)
                                : std::nullopt;
        showMessageBox(boxes, better ? messages::suffixWouldFind(better->first, better->second)
                                     : messages::noHeadings());
    }

    if (settings.deleteSource()) {
        const Text path = settings.sourcePath();
        if (path.empty()) {
            // A novel handed over on the command line (the context-menu entry) is not deleted.
            if (settings.sourceFromCommandLine()) {
                outcome.sourceKept = true;
                showMessageBox(boxes, messages::notChosenWithOpen());
            }
        } else {
            Text kept;
            if (bytesWritten - marksAdded != text.size()) {
                kept = messages::sourceKept();
            } else if (bool busy = false;
                       !(lock = files.lockFolder(folder, kFolderLockWait, busy))) {
                kept = messages::sourceNotDeleted() +
                       (busy ? messages::folderBusyReason() + folder : files.lastFailure());
            } else {
                // Held again so that no other split changes the volumes between the check and
                // the deletion.
                const SourceDeletion deletion =
                    deleteSourceIfWhole(files, path, names, folder, mark);
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
                    case SourceVerdict::Unreadable:
                        kept = messages::cannotReadBack() +
                               nameIn(deletion.file, files.separator()) + programText("：") +
                               deletion.reason;
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
