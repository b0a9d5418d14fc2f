#include "splitter/SplitFlow.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <iterator>
#include <memory>
#include <optional>
#include <set>

#include "splitter/ChapterHeadings.h"
#include "splitter/Messages.h"
#include "splitter/Recode.h"
#include "splitter/TextToInteger.h"
#include "splitter/VolumeFiles.h"
#include "splitter/VolumeNames.h"
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

std::vector<Text> volumeNames(SplitSettings& settings, std::string_view text,
                              const std::vector<ExpressionMatch>& matches,
                              const std::vector<Volume>& volumes, const DocumentEncoding& encoding,
                              std::uint64_t start) {
    Text pattern = settings.volumeNamePattern();
    if (pattern.empty()) pattern = kDefaultVolumePattern;
    const bool titled = pattern.find("{title}") != Text::npos;
    const Text name = settings.novelName();
    std::vector<Text> names;
    for (std::size_t k = 1; k <= volumes.size(); ++k) {
        const std::uint64_t end = start + volumes[k - 1].size();
        Text title;
        if (titled) {
            const auto first =
                std::lower_bound(matches.begin(), matches.end(), start,
                                 [](const ExpressionMatch& m, std::uint64_t at) {
                                     return static_cast<std::uint64_t>(m.offset) < at;
                                 });
            std::size_t at = start;
            if (first != matches.end() && static_cast<std::uint64_t>(first->offset) < end) {
                at = static_cast<std::size_t>(first->offset);
            } else if (first != matches.begin()) {
                at = static_cast<std::size_t>(std::prev(first)->offset);
            } else {
                // The preface: its first line that holds more than blanks.
                const std::size_t unit = byteOrderMarkOf(encoding.characters).empty() ? 1 : 2;
                const std::size_t low = encoding.characters == CharacterSet::Utf16Be ? 1 : 0;
                while (at + unit <= end && std::strchr(" \t\r\n", text[at + low]) != nullptr &&
                       (unit == 1 || text[at + 1 - low] == '\0'))
                    at += unit;
            }
            title = volumeTitle(text, at, encoding);
            if (title.empty()) title = std::to_string(k);
        }
        names.push_back(expandVolumePattern(pattern, name, k, volumes.size(), title));
        start = end;
    }
    return names;
}

std::vector<Volume> planVolumes(std::vector<ChapterPiece> pieces, std::int64_t perVolume,
                                std::uint64_t maxBytes, const DocumentEncoding& encoding,
                                const VolumeForm& form) {
    // Volumes in another encoding: the novel's byte-order mark is no part of their text.
    if (!form.sourceMark.empty() && !pieces.empty())
        pieces.front().remove_prefix(form.sourceMark.size());
    if (maxBytes == 0) return groupVolumes(pieces, perVolume);
    MeasureBytes measure;
    if (!form.to.empty()) {
        measure = [&](std::string_view part) -> std::uint64_t {
            const auto converted = recode(part, encoding.codePage, form.to);
            return converted ? converted->size() : part.size();
        };
    }
    const std::size_t reserve =
        form.to.empty() ? byteOrderMarkOf(encoding.characters).size() : form.mark.size();
    return groupVolumesWithin(pieces, perVolume, maxBytes, reserve, encoding.characters, measure);
}

namespace {

// The name of a file in a folder, after the folder's separator.
Text nameIn(const Text& path, const std::string& separator) {
    const std::size_t at = path.rfind(separator);
    return at == Text::npos ? path : path.substr(at + separator.size());
}

// What stands in the way of the volumes: the novel_K.txt files of the folder, the files that
// a numbered pattern names with any number (an earlier split under it may have had more
// volumes), and the files at the names this split writes, numbered as the volumes they are
// or would be.
std::vector<FoundVolume> volumesInTheWay(FileService& files, const Text& folder,
                                         const std::vector<Text>& names, SplitSettings& settings,
                                         PathStyle style, std::optional<FileIdentity> novelFile) {
    std::vector<FoundVolume> found = findVolumes(files, style, folder);
    const Text separator = pathSeparator(style);
    const Text pattern = settings.volumeNamePattern();
    if (!pattern.empty() && pattern != kDefaultVolumePattern) {
        const Text novel = settings.novelName();
        for (const Text& file : files.listFolder(folder)) {
            const Text path = folder + separator + file;
            const bool listed = std::any_of(found.begin(), found.end(),
                                            [&](const FoundVolume& v) { return v.path == path; });
            // Never the novel itself ("1984.txt" under "{k}{title}").
            if (const auto k = volumeNumberIn(pattern, novel, file);
                k && !listed && files.entryKind(path) == FileKind::Regular &&
                (!novelFile || files.identify(path).ok() != novelFile)) {
                found.push_back({*k, path});
            }
        }
    }
    for (std::size_t k = 0; k < names.size(); ++k) {
        const bool listed = std::any_of(found.begin(), found.end(),
                                        [&](const FoundVolume& v) { return v.path == names[k]; });
        if (!listed && files.entryKind(names[k]) != FileKind::Missing)
            found.push_back({k + 1, names[k]});
    }
    std::stable_sort(found.begin(), found.end(), [](const FoundVolume& a, const FoundVolume& b) {
        return a.number < b.number;
    });
    return found;
}

// Takes the folder's lock into 'lock'; when it cannot be had, why, for the message that the
// source was kept.
std::optional<Text> lockAgain(FileService& files, const Text& folder,
                              std::unique_ptr<FolderLock>& lock) {
    bool busy = false;
    Expected<std::unique_ptr<FolderLock>> locked = files.lockFolder(folder, kFolderLockWait, busy);
    if (!locked) return busy ? messages::folderBusyReason() + folder : locked.error().reason;
    lock = std::move(*locked);
    return std::nullopt;
}

}  // namespace

SplitOutcome runSplit(SourceDocument& document, SplitSettings& settings, FileService& files,
                      MessageBoxService& boxes, PathStyle style) {
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
                                         : customExpressionError(expression);
        !reason.empty())
        return refuse(messages::invalidExpression() + programText(reason));
    const std::int32_t perVolume = textToInteger(settings.chaptersPerFileText());
    if (perVolume < 1) return refuse(messages::badChaptersPerFile());
    if (settings.outputDirectory().empty()) return refuse(messages::noOutputDirectory());

    const HeadingRules rules = headingRulesFor(defaultMode, settings.anywhere());
    const HeadingSearch search =
        defaultMode ? searchDefaultHeadings(prefix, suffix, text.view(), encoding, rules)
                    : searchCustomHeadings(expression, text.view(), encoding, rules);
    // An engine that gave up would leave chapters uncut: nothing is written.
    if (search.status != HeadingSearch::Status::Done) return refuse(messages::tooComplex());
    const std::vector<ExpressionMatch>& matches = search.headings;
    outcome.headings = static_cast<std::int64_t>(matches.size());

    const Text folder = settings.outputDirectory();
    std::unique_ptr<FolderLock> lock;
    document.reopenStream();
    DocumentStream& stream = document.stream();
    const std::string to = settings.volumeEncoding();
    const bool converting = !to.empty();
    const VolumeForm form = converting ? volumeFormFor(text.view(), encoding, to) : VolumeForm();
    std::vector<Volume> volumes = planVolumes(segmentChapters(stream, matches), perVolume,
                                              settings.maxVolumeBytes(), encoding, form);
    // The names, before anything is written: two volumes of one name would lose one of them.
    const std::string separator = pathSeparator(style);
    std::vector<Text> names =
        volumeNames(settings, text.view(), matches, volumes, encoding, form.sourceMark.size());
    {
        std::set<Text> taken;
        for (const Text& name : names) {
            Text key = name;
            // Windows and macOS take names without regard to case.
            for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (!taken.insert(key).second) {
                stream.close();
                lock.reset();
                return refuse(messages::duplicateVolumeName() + name);
            }
        }
    }
    for (Text& name : names) name = settings.outputDirectory() + separator + name;
    // A UTF-16 file is only read as such when it begins with its byte-order mark: every
    // volume after the first gets the novel's own, so that each opens on its own.
    const std::string_view mark =
        converting ? std::string_view() : byteOrderMarkOf(encoding.characters);
    std::uint64_t marksAdded = 0;
    if (!mark.empty()) {
        for (std::size_t k = 1; k < volumes.size(); ++k) {
            volumes[k].spans.insert(volumes[k].spans.begin(), mark);
            marksAdded += mark.size();
        }
    }
    // Converted whole before anything is written: text the encoding cannot hold is refused
    // with its place, and the folder is left as it was.
    std::vector<std::string> converted;
    if (converting) {
        converted.reserve(volumes.size());
        std::uint64_t before = form.sourceMark.size();
        for (Volume& volume : volumes) {
            std::string joined;
            joined.reserve(volume.size());
            for (std::string_view span : volume.spans) joined.append(span);
            std::optional<std::string> bytes = recode(joined, encoding.codePage, to);
            if (!bytes) {
                stream.close();
                lock.reset();
                const std::uint64_t at = before + firstUnconvertible(joined, encoding, to);
                std::uint64_t line = 1;
                const std::string_view all = text.view();
                for (std::size_t i = 0; i < at;
                     i = nextCharacterBoundary(all, i, encoding.characters)) {
                    if (all[i] == '\n') ++line;
                }
                outcome.unconvertibleAt = at;
                outcome.unconvertibleLine = line;
                return refuse(messages::cannotConvert(programText(to), line, at));
            }
            before += joined.size();
            converted.push_back(std::move(*bytes));
            volume.spans.clear();
            if (!form.mark.empty()) volume.spans.push_back(form.mark);
            if (!converted.back().empty()) volume.spans.push_back(converted.back());
        }
    }

    // One level only; an existing folder, or one that cannot be made, changes nothing here:
    // locking or writing will tell.
    files.createDirectory(folder);
    // One split at a time in a folder, or two novels would end up mixed in it. Volumes already
    // there are replaced without asking only when they are an earlier split of this novel; the
    // lock is not held while the user is asked.
    std::vector<Text> approved;  // the volumes the user agreed to replace
    std::vector<Text> removed;   // those of them this split does not write
    for (;;) {
        bool busy = false;
        Expected<std::unique_ptr<FolderLock>> locked =
            files.lockFolder(folder, kFolderLockWait, busy);
        if (!locked) {
            stream.close();
            Text message = (busy ? messages::folderBusy() : messages::folderLockFailed()) + folder;
            const Text& reason = locked.error().reason;
            if (!busy && !reason.empty()) message += "\n" + reason;
            showMessageBox(boxes, message);
            outcome.status =
                busy ? SplitOutcome::Status::FolderBusy : SplitOutcome::Status::LockFailed;
            return outcome;
        }
        lock = std::move(*locked);
        // A split killed while it wrote here is undone first.
        recoverFolder(files, style, folder, document.identity());
        const std::vector<FoundVolume> found =
            volumesInTheWay(files, folder, names, settings, style, document.identity());
        std::vector<Text> paths;
        removed.clear();
        for (const FoundVolume& v : found) {
            paths.push_back(v.path);
            if (std::find(names.begin(), names.end(), v.path) == names.end())
                removed.push_back(v.path);
        }
        if (found.empty() || paths == approved ||
            isEarlierSplitOf(files, found, text.view(), mark, converting ? &form : nullptr)) {
            break;
        }
        lock.reset();
        const Text first = nameIn(found.front().path, separator);
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
    for (const Volume& volume : volumes) bytesWritten += volume.size();
    if (std::optional<FileFailure> failure =
            installVolumes(files, style, folder, names, volumes, removed)) {
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
            if (!converting && bytesWritten - marksAdded != text.size()) {
                kept = messages::sourceKept();
            } else if (const std::optional<Text> why = lockAgain(files, folder, lock)) {
                kept = messages::sourceNotDeleted() + *why;
            } else {
                // Held again so that no other split changes the volumes between the check and
                // the deletion.
                const SourceDeletion deletion = deleteSourceIfWhole(
                    files, path, names, folder, mark, converting ? &form : nullptr);
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
                        kept = messages::cannotReadBack() + nameIn(deletion.file, separator) +
                               programText("：") + deletion.reason;
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
