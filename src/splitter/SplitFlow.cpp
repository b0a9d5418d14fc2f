#include "splitter/SplitFlow.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <set>

#include "splitter/ChapterHeadings.h"
#include "splitter/Recode.h"
#include "splitter/VolumeFiles.h"
#include "splitter/VolumeNames.h"
#include "splitter/Volumes.h"

namespace folioknife::splitter {

namespace {

// The name of a file in a folder, after the folder's separator.
Text nameIn(const Text& path, PathStyle style) { return fileName(path, style); }

// What stands in the way of the volumes, among the folder's names 'listed': the novel_K.txt
// files, the files that a numbered pattern names with any number (an earlier split under it
// may have had more volumes), and the files at the names this split writes, numbered as the
// volumes they are or would be.
std::vector<FoundVolume> volumesInTheWay(FileService& files, const Text& folder,
                                         const std::vector<std::string>& listed,
                                         const std::vector<Text>& names, SplitSettings& settings,
                                         PathStyle style, std::optional<FileIdentity> novelFile) {
    std::vector<FoundVolume> found = findVolumes(files, style, folder, listed);
    std::set<Text> paths;
    for (const FoundVolume& v : found) paths.insert(v.path);
    const Text separator = pathSeparator(style);
    const Text pattern = settings.volumeNamePattern();
    if (!pattern.empty() && pattern != kDefaultVolumePattern) {
        const Text novel = settings.novelName();
        for (const Text& file : listed) {
            const Text path = folder + separator + file;
            // Never the novel itself ("1984.txt" under "{k}{title}").
            if (const auto k = volumeNumberIn(pattern, novel, file);
                k && paths.count(path) == 0 && files.entryKind(path) == FileKind::Regular &&
                (!novelFile || files.identify(path).ok() != novelFile)) {
                found.push_back({*k, path});
                paths.insert(path);
            }
        }
    }
    for (std::size_t k = 0; k < names.size(); ++k) {
        if (paths.count(names[k]) == 0 && files.entryKind(names[k]) != FileKind::Missing) {
            found.push_back({k + 1, names[k]});
            paths.insert(names[k]);
        }
    }
    std::stable_sort(found.begin(), found.end(), [](const FoundVolume& a, const FoundVolume& b) {
        return a.number < b.number;
    });
    return found;
}

// One split of the plan: what it writes, where, and what it tells the user.
class SplitRun {
public:
    SplitRun(SourceDocument& document, SplitSettings& settings, FileService& files,
             MessageBoxService& boxes, PathStyle style)
        : document_(document),
          settings_(settings),
          files_(files),
          boxes_(boxes),
          style_(style),
          separator_(pathSeparator(style)) {}
    SplitOutcome run();

private:
    SplitOutcome refuse(const Message& message);
    // Ends the split early: the stream closed, the folder let go.
    SplitOutcome stop(SplitOutcome::Status status);
    void addMarks();
    bool convertVolumes();
    bool clearFolder();
    bool writeVolumes();
    void deleteSource();
    std::optional<Message> whySourceKept(const Text& path);

    SourceDocument& document_;
    SplitSettings& settings_;
    FileService& files_;
    MessageBoxService& boxes_;
    PathStyle style_;
    std::string separator_;
    SplitPlan plan_;
    SplitOutcome outcome_;
    Text folder_;
    std::vector<Text> names_;  // the volumes' paths
    bool converting_ = false;
    std::string_view mark_;  // what every volume after the first begins with
    std::uint64_t marksAdded_ = 0;
    std::vector<std::string> converted_;  // the volumes' bytes when converted
    std::vector<Text> removed_;           // volumes replaced that this split does not write
    bool flushed_ = false;                // the volumes were installed on stable storage
    std::unique_ptr<FolderLock> lock_;
};

SplitOutcome SplitRun::refuse(const Message& message) {
    showMessageBox(boxes_, message);
    outcome_.status = SplitOutcome::Status::Refused;
    return outcome_;
}

SplitOutcome SplitRun::stop(SplitOutcome::Status status) {
    document_.stream().close();
    lock_.reset();
    outcome_.status = status;
    return outcome_;
}

void SplitRun::addMarks() {
    // A UTF-16 file is only read as such when it begins with its byte-order mark: every
    // volume after the first gets the novel's own, so that each opens on its own.
    mark_ = converting_ ? std::string_view() : byteOrderMarkOf(plan_.encoding.characters);
    if (mark_.empty()) return;
    for (std::size_t k = 1; k < plan_.volumes.size(); ++k) {
        plan_.volumes[k].spans.insert(plan_.volumes[k].spans.begin(), mark_);
        marksAdded_ += mark_.size();
    }
}

// Converted whole before anything is written: text the encoding cannot hold is refused with
// its place, and the folder is left as it was.
bool SplitRun::convertVolumes() {
    const std::string& to = plan_.form.to;
    const std::string_view all = plan_.text.view();
    converted_.reserve(plan_.volumes.size());
    std::uint64_t before = plan_.form.sourceMark.size();
    for (Volume& volume : plan_.volumes) {
        std::string joined;
        joined.reserve(volume.size());
        for (std::string_view span : volume.spans) joined.append(span);
        std::optional<std::string> bytes = recode(joined, plan_.encoding.codePage, to);
        if (!bytes) {
            stop(SplitOutcome::Status::Refused);
            const std::uint64_t at = before + firstUnconvertible(joined, plan_.encoding, to);
            std::uint64_t line = 1;
            for (std::size_t i = 0; i < at;
                 i = nextCharacterBoundary(all, i, plan_.encoding.characters)) {
                if (all[i] == '\n') ++line;
            }
            outcome_.unconvertibleAt = at;
            outcome_.unconvertibleLine = line;
            refuse(Message(MessageId::CannotConvert,
                           {programText(to), std::to_string(line), std::to_string(at)}));
            return false;
        }
        before += joined.size();
        converted_.push_back(std::move(*bytes));
        volume.spans.clear();
        if (!plan_.form.mark.empty()) volume.spans.push_back(plan_.form.mark);
        if (!converted_.back().empty()) volume.spans.push_back(converted_.back());
    }
    return true;
}

// One split at a time in a folder, or two novels would end up mixed in it. Volumes already
// there are replaced without asking only when they are an earlier split of this novel; the
// lock is not held while the user is asked. True with the folder locked and clear.
bool SplitRun::clearFolder() {
    std::vector<Text> approved;  // the volumes the user agreed to replace
    const std::set<Text> written(names_.begin(), names_.end());
    for (;;) {
        bool busy = false;
        Expected<std::unique_ptr<FolderLock>> locked =
            files_.lockFolder(folder_, kFolderLockWait, busy);
        if (!locked) {
            const Message message =
                busy ? Message(MessageId::FolderBusy, {folder_})
                     : Message(MessageId::FolderLockFailed, {folder_}, locked.error().reason);
            stop(busy ? SplitOutcome::Status::FolderBusy : SplitOutcome::Status::LockFailed);
            showMessageBox(boxes_, message);
            return false;
        }
        lock_ = std::move(*locked);
        // A split killed while it wrote here is undone first.
        const std::vector<std::string> listed =
            recoverFolder(files_, style_, folder_, document_.identity());
        const std::vector<FoundVolume> found = volumesInTheWay(
            files_, folder_, listed, names_, settings_, style_, document_.identity());
        std::vector<Text> paths;
        removed_.clear();
        for (const FoundVolume& v : found) {
            paths.push_back(v.path);
            if (written.count(v.path) == 0) removed_.push_back(v.path);
        }
        if (found.empty() || paths == approved ||
            isEarlierSplitOf(files_, found, plan_.text.view(), mark_,
                             converting_ ? &plan_.form : nullptr)) {
            return true;
        }
        lock_.reset();
        const Text first = nameIn(found.front().path, style_);
        if (showMessageBox(
                boxes_,
                Message(MessageId::ReplaceOtherVolumes, {first, std::to_string(found.size())}),
                MessageBoxButtons::YesNoDefaultNo) != MessageBoxAnswer::Yes) {
            stop(SplitOutcome::Status::Declined);
            outcome_.failedFile = found.front().path;
            return false;
        }
        approved = paths;
    }
}

bool SplitRun::writeVolumes() {
    // A source to be deleted for the volumes: they reach stable storage before the split is
    // done, so that a flush that fails is told as the failed write it is, the folder as it was.
    flushed_ = settings_.deleteSource();
    if (std::optional<FileFailure> failure =
            installVolumes(files_, style_, folder_, names_, plan_.volumes, removed_, flushed_)) {
        stop(SplitOutcome::Status::WriteFailed);
        showMessageBox(boxes_, Message(failure->folderFlush ? MessageId::FolderFlushFailed
                                                            : MessageId::WriteFailed,
                                       {failure->file}, failure->reason));
        outcome_.failedFile = failure->file;
        return false;
    }
    outcome_.volumesWritten = static_cast<std::int64_t>(plan_.volumes.size());
    return true;
}

// Why the source at 'path' stays; nothing when it was deleted.
std::optional<Message> SplitRun::whySourceKept(const Text& path) {
    std::uint64_t bytesWritten = 0;
    for (const Volume& volume : plan_.volumes) bytesWritten += volume.size();
    if (!converting_ && bytesWritten - marksAdded_ != plan_.text.size())
        return MessageId::SourceKept;
    bool busy = false;
    Expected<std::unique_ptr<FolderLock>> locked =
        files_.lockFolder(folder_, kFolderLockWait, busy);
    if (!locked) {
        return busy ? Message(MessageId::SourceFolderBusy, {folder_})
                    : Message(MessageId::SourceNotDeleted, {locked.error().reason});
    }
    lock_ = std::move(*locked);
    // Held again so that no other split changes the volumes between the check and the
    // deletion.
    const SourceDeletion deletion = deleteSourceIfWhole(
        files_, path, names_, folder_, mark_, converting_ ? &plan_.form : nullptr, flushed_);
    switch (deletion.verdict) {
        case SourceVerdict::Deleted:
            outcome_.sourceDeleted = true;
            return std::nullopt;
        case SourceVerdict::NotWhole:
            return MessageId::SourceKept;
        case SourceVerdict::IsOutput:
            return MessageId::SourceIsOutput;
        case SourceVerdict::Failed:
            return Message(MessageId::SourceNotDeleted, {deletion.reason});
        case SourceVerdict::Unreadable:
            return Message(MessageId::CannotReadBack,
                           {nameIn(deletion.file, style_), deletion.reason});
    }
    return std::nullopt;
}

void SplitRun::deleteSource() {
    const Text path = settings_.sourcePath();
    std::optional<Message> kept;
    if (!path.empty()) {
        kept = whySourceKept(path);
    } else if (settings_.sourceFromCommandLine()) {
        // A novel handed over on the command line (the context-menu entry) is not deleted.
        kept = MessageId::NotChosenWithOpen;
    }
    if (kept) {
        outcome_.sourceKept = true;
        showMessageBox(boxes_, *kept);
    }
}

SplitOutcome SplitRun::run() {
    plan_ = planSplit(document_, settings_);
    outcome_.headings = static_cast<std::int64_t>(plan_.headings().size());
    if (!plan_.ready()) return refuse(*plan_.refusal);
    folder_ = settings_.outputDirectory();
    for (const Text& name : plan_.names)
        names_.push_back(settings_.outputDirectory() + separator_ + name);
    converting_ = !plan_.form.to.empty();
    addMarks();
    if (converting_ && !convertVolumes()) return outcome_;
    // One level only. A folder still missing afterwards is reported with the system's reason
    // (a drive that is not there, a parent that is not); anything else in the way is for the
    // lock to report.
    if (FileStatus made = files_.createDirectory(folder_);
        !made && files_.kindOf(folder_) == FileKind::Missing) {
        stop(SplitOutcome::Status::CreateFailed);
        showMessageBox(boxes_,
                       Message(MessageId::FolderCreateFailed, {folder_}, made.error().reason));
        return outcome_;
    }
    if (!clearFolder() || !writeVolumes()) return outcome_;
    // Not held while the user reads the message: another split may go on meanwhile.
    lock_.reset();
    document_.stream().close();
    showMessageBox(boxes_, Message(MessageId::SplitDone));
    outcome_.status = SplitOutcome::Status::Done;
    for (const std::optional<Message>* note : {&plan_.suffixNote, &plan_.headingsNote}) {
        if (*note) showMessageBox(boxes_, **note);
    }
    if (settings_.deleteSource()) deleteSource();
    return outcome_;
}

}  // namespace

SplitOutcome runSplit(SourceDocument& document, SplitSettings& settings, FileService& files,
                      MessageBoxService& boxes, PathStyle style) {
    return SplitRun(document, settings, files, boxes, style).run();
}

}  // namespace folioknife::splitter
