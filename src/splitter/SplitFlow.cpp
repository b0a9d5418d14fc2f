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

// What stands in the way of the volumes, among the folder's names 'listed': the files that the
// split's name pattern names with any number (an earlier split under it may have had more
// volumes; novel_K.txt under the default one), and the files at the names this split writes,
// numbered as the volumes they are or would be. Never the novel itself, whatever its name
// ("novel_2.txt" split into its own folder, "1984.txt" under "{k}{title}").
std::vector<FoundVolume> volumesInTheWay(FileService& files, const Text& folder,
                                         const std::vector<std::string>& listed,
                                         const std::vector<Text>& names, SplitSettings& settings,
                                         PathStyle style, std::optional<FileIdentity> novelFile) {
    const Text pattern = settings.volumeNamePattern();
    std::vector<FoundVolume> found;
    if (pattern.empty() || pattern == kDefaultVolumePattern) {
        found = findVolumes(files, style, folder, listed);
    } else {
        const Text novel = settings.novelName();
        for (const Text& file : listed) {
            const Text path = joinPath(folder, file, style);
            if (const auto k = volumeNumberIn(pattern, novel, file);
                k && files.entryKind(path) == FileKind::Regular)
                found.push_back({*k, path});
        }
    }
    std::set<Text> paths;
    for (const FoundVolume& v : found) paths.insert(v.path);
    for (std::size_t k = 0; k < names.size(); ++k) {
        if (paths.count(names[k]) == 0 && files.entryKind(names[k]) != FileKind::Missing) {
            found.push_back({k + 1, names[k]});
            paths.insert(names[k]);
        }
    }
    if (novelFile) {
        found.erase(std::remove_if(found.begin(), found.end(),
                                   [&](const FoundVolume& v) {
                                       return files.identify(v.path).ok() == novelFile;
                                   }),
                    found.end());
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
        : document_(document), settings_(settings), files_(files), boxes_(boxes), style_(style) {}
    SplitOutcome run();

private:
    void refuse(const Message& message);
    // Ends the split early: the stream closed, the folder let go.
    void stop(SplitOutcome::Status status);
    // Ends it early and tells the user why.
    void fail(SplitOutcome::Status status, const Message& why);
    // Tells the user something about a split that was done.
    void note(const Message& message);
    void addMarks();
    VolumeEncoder volumeEncoder() const;
    Message cannotConvert(std::size_t k) const;
    void refuseUnconvertible(std::size_t k);
    bool clearFolder();
    std::size_t earlierSplitLength(const std::vector<FoundVolume>& found);
    bool writeVolumes();
    void deleteSource();
    std::optional<Message> whySourceKept(const Text& path);

    SourceDocument& document_;
    SplitSettings& settings_;
    FileService& files_;
    MessageBoxService& boxes_;
    PathStyle style_;
    SplitPlan plan_;
    SplitOutcome outcome_;
    Text folder_;
    std::vector<Text> names_;  // the volumes' paths
    bool converting_ = false;
    std::string_view mark_;  // what every volume after the first begins with
    std::uint64_t marksAdded_ = 0;
    std::vector<Text> removed_;  // volumes replaced that this split does not write
    bool flushed_ = false;       // the volumes were installed on stable storage
    bool madeFolder_ = false;    // this split made the output folder
    std::unique_ptr<FolderLock> lock_;
};

void SplitRun::refuse(const Message& message) {
    outcome_.failure = message;
    showMessageBox(boxes_, message);
    outcome_.status = SplitOutcome::Status::Refused;
}

void SplitRun::fail(SplitOutcome::Status status, const Message& why) {
    stop(status);
    outcome_.failure = why;
    showMessageBox(boxes_, why);
}

void SplitRun::note(const Message& message) {
    outcome_.notes.push_back(message);
    showMessageBox(boxes_, message);
}

void SplitRun::stop(SplitOutcome::Status status) {
    lock_.reset();
    outcome_.status = status;
}

void SplitRun::addMarks() {
    // A UTF-16 file is read as such at once when it begins with its byte-order mark: every
    // volume after the first gets the novel's own, so that each opens on its own. A novel
    // without one was told by its zero bytes, and so are its volumes: nothing is added.
    // A UTF-8 novel that begins with its mark is read as UTF-8 by the readers that go by it:
    // its volumes get it too, or they would be shown as GBK.
    mark_ = converting_ ? std::string_view() : volumeMarkOf(plan_.text.view(), plan_.encoding);
    if (mark_.empty()) return;
    for (std::size_t k = 1; k < plan_.volumes.size(); ++k) {
        plan_.volumes[k].spans.insert(plan_.volumes[k].spans.begin(), mark_);
        marksAdded_ += mark_.size();
    }
}

std::string joinedSpans(const Volume& volume) {
    std::string joined;
    joined.reserve(volume.size());
    for (std::string_view span : volume.spans) joined.append(span);
    return joined;
}

// The volumes in the encoding asked for, each converted as it is written: no more than one
// converted volume is held. The folder's mark (after the volumes) is written as it is.
VolumeEncoder SplitRun::volumeEncoder() const {
    return [this](std::size_t k) -> std::optional<std::string> {
        if (k >= plan_.volumes.size()) return std::string(kFolderMarkHeader);
        std::optional<std::string> bytes =
            recode(joinedSpans(plan_.volumes[k]), plan_.encoding.codePage, plan_.form.to);
        if (bytes) bytes->insert(0, plan_.form.mark);
        return bytes;
    };
}

// Text the encoding cannot hold is refused with its place; the folder is left as it was.
Message SplitRun::cannotConvert(std::size_t k) const {
    const std::string& to = plan_.form.to;
    const std::string_view all = plan_.text.view();
    std::uint64_t before = plan_.form.sourceMark.size();
    for (std::size_t j = 0; j < k; ++j) before += plan_.volumes[j].size();
    const std::uint64_t at =
        before + firstUnconvertible(joinedSpans(plan_.volumes[k]), plan_.encoding, to);
    std::uint64_t line = 1;
    for (std::size_t i = 0; i < at; i = nextCharacterBoundary(all, i, plan_.encoding.characters))
        if (all[i] == '\n') ++line;
    return Message(MessageId::CannotConvert,
                   {programText(to), std::to_string(line), std::to_string(at)});
}

void SplitRun::refuseUnconvertible(std::size_t k) {
    const Message why = cannotConvert(k);
    stop(SplitOutcome::Status::Refused);
    // Nothing was left in a folder this split made: it goes too.
    if (madeFolder_) static_cast<void>(files_.removeDirectory(folder_));
    refuse(why);
}

// One split at a time in a folder, or two novels would end up mixed in it. Volumes already
// there are replaced without asking only when they are an earlier split of this novel; the
// lock is not held while the user is asked. True with the folder locked and clear.
bool SplitRun::clearFolder() {
    std::vector<Text> approved;  // the volumes the user agreed to replace
    const std::set<Text> written(names_.begin(), names_.end());
    for (;;) {
        Expected<std::unique_ptr<FolderLock>> locked = files_.lockFolder(folder_, kFolderLockWait);
        if (!locked) {
            const bool busy = locked.error().kind == FileErrorKind::Busy;
            fail(busy ? SplitOutcome::Status::FolderBusy : SplitOutcome::Status::LockFailed,
                 busy ? Message(MessageId::FolderBusy, {folder_})
                      : Message(MessageId::FolderLockFailed, {folder_}, locked.error().reason));
            return false;
        }
        lock_ = std::move(*locked);
        // A split killed while it wrote here is undone first.
        const Recovery recovery = recoverFolder(files_, style_, folder_, document_.identity());
        if (recovery.failure) {
            fail(SplitOutcome::Status::NotRestored, notRestoredMessage(*recovery.failure));
            return false;
        }
        if (recovery.recordNameTaken) {
            fail(SplitOutcome::Status::Refused,
                 Message(MessageId::RecordNameTaken, {joinPath(folder_, kRecordFileName, style_)}));
            return false;
        }
        const std::vector<FoundVolume> found = volumesInTheWay(
            files_, folder_, recovery.names, names_, settings_, style_, document_.identity());
        std::vector<Text> paths;
        removed_.clear();
        for (const FoundVolume& v : found) {
            paths.push_back(v.path);
            if (written.count(v.path) == 0) removed_.push_back(v.path);
        }
        const std::size_t earlier = earlierSplitLength(found);
        std::vector<Text> others;
        for (std::size_t i = earlier; i < found.size(); ++i) others.push_back(found[i].path);
        if (others.empty() || paths == approved) return true;
        lock_.reset();
        if (showMessageBox(boxes_,
                           Message(MessageId::ReplaceOtherVolumes,
                                   {someNames(others, style_), std::to_string(others.size())}),
                           MessageBoxButtons::YesNoDefaultNo) != MessageBoxAnswer::Yes) {
            stop(SplitOutcome::Status::Declined);
            outcome_.failedFile = others.front();
            outcome_.inTheWay = others;
            return false;
        }
        approved = paths;
    }
}

// How many of the volumes found, from the first, are an earlier split of this novel: numbered
// 1 to M, one of each, and joined its text (their sizes tell which M may be, unless they are
// converted). 0 when none are.
std::size_t SplitRun::earlierSplitLength(const std::vector<FoundVolume>& found) {
    std::size_t numbered = 0;
    while (numbered < found.size() && found[numbered].number == numbered + 1 &&
           (numbered + 1 == found.size() || found[numbered + 1].number != numbered + 1))
        ++numbered;
    std::size_t m = numbered;
    if (!converting_) {
        std::uint64_t bytes = 0;
        for (m = 0; m < numbered && bytes < plan_.text.size(); ++m) {
            Expected<std::unique_ptr<InputFile>> file = files_.openForReading(found[m].path);
            const std::optional<std::uint64_t> size = file ? (*file)->size() : std::nullopt;
            if (!size) return 0;
            bytes += *size - (m > 0 && *size >= mark_.size() ? mark_.size() : 0);
        }
        if (bytes != plan_.text.size()) return 0;
    }
    if (m == 0) return 0;
    const std::vector<FoundVolume> volumes(found.begin(), found.begin() + m);
    return isEarlierSplitOf(files_, volumes, plan_.text.view(), mark_,
                            converting_ ? &plan_.form : nullptr)
               ? m
               : 0;
}

bool SplitRun::writeVolumes() {
    // A source to be deleted for the volumes: they reach stable storage before the split is
    // done, so that a flush that fails is told as the failed write it is, the folder as it was.
    flushed_ = settings_.deleteSource();
    // The folder's mark goes in with the volumes, all or nothing like them.
    const std::vector<Text>* names = &names_;
    const std::vector<Volume>* volumes = &plan_.volumes;
    std::vector<Text> markedNames;
    std::vector<Volume> markedVolumes;
    if (madeFolder_ && settings_.markNewFolder()) {
        markedNames = names_;
        markedNames.push_back(joinPath(folder_, kFolderMarkName, style_));
        markedVolumes = plan_.volumes;
        markedVolumes.push_back(Volume{{kFolderMarkHeader}});
        names = &markedNames;
        volumes = &markedVolumes;
    }
    if (std::optional<FileFailure> failure =
            installVolumes(files_, style_, folder_, *names, *volumes, removed_, flushed_,
                           converting_ ? volumeEncoder() : VolumeEncoder())) {
        if (failure->unconvertible && !failure->notRestored) {
            refuseUnconvertible(*failure->unconvertible);
            return false;
        }
        // A volume that could not be converted, and earlier ones that could not be undone:
        // the conversion is why.
        fail(failure->notRestored ? SplitOutcome::Status::NotRestored
                                  : SplitOutcome::Status::WriteFailed,
             failure->unconvertible ? cannotConvert(*failure->unconvertible)
                                    : Message(failure->folderFlush ? MessageId::FolderFlushFailed
                                                                   : MessageId::WriteFailed,
                                              {failure->file}, failure->error.reason));
        if (failure->notRestored) {
            outcome_.notRestored = notRestoredMessage(*failure->notRestored);
            showMessageBox(boxes_, *outcome_.notRestored);
        }
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
    Expected<std::unique_ptr<FolderLock>> locked = files_.lockFolder(folder_, kFolderLockWait);
    if (!locked) {
        return locked.error().kind == FileErrorKind::Busy
                   ? Message(MessageId::SourceFolderBusy, {folder_})
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
        outcome_.sourceKept = kept;
        showMessageBox(boxes_, *kept);
    }
}

SplitOutcome SplitRun::run() {
    plan_ = planSplit(document_, settings_);
    outcome_.headings = static_cast<std::int64_t>(plan_.headings().size());
    if (!plan_.ready()) {
        refuse(*plan_.refusal);
        return outcome_;
    }
    if (plan_.volumes.size() > kManyVolumes &&
        showMessageBox(boxes_,
                       Message(MessageId::ManyVolumes, {std::to_string(plan_.volumes.size()),
                                                        std::to_string(outcome_.headings)}),
                       MessageBoxButtons::YesNoDefaultNo) != MessageBoxAnswer::Yes) {
        outcome_.status = SplitOutcome::Status::TooMany;
        outcome_.plan = std::make_shared<const SplitPlan>(std::move(plan_));
        return outcome_;
    }
    folder_ = settings_.outputDirectory();
    for (const Text& name : plan_.names)
        names_.push_back(joinPath(settings_.outputDirectory(), name, style_));
    converting_ = !plan_.form.to.empty();
    addMarks();
    // One level only. A folder still missing afterwards is reported with the system's reason
    // (a drive that is not there, a parent that is not); anything else in the way is for the
    // lock to report.
    const FileStatus made = files_.createDirectory(folder_);
    madeFolder_ = static_cast<bool>(made);
    if (!made && files_.kindOf(folder_) == FileKind::Missing) {
        fail(SplitOutcome::Status::CreateFailed,
             Message(MessageId::FolderCreateFailed, {folder_}, made.error().reason));
        return outcome_;
    }
    if (!clearFolder() || !writeVolumes()) return outcome_;
    // Not held while the user reads the message: another split may go on meanwhile.
    lock_.reset();
    showMessageBox(boxes_, Message(MessageId::SplitDone));
    outcome_.status = SplitOutcome::Status::Done;
    // No heading found: the novel is whole in one file, which is no reason to delete it. (Cut
    // by size into several, it is split as asked.)
    const bool keepWhole =
        plan_.headings().empty() && plan_.volumes.size() <= 1 && settings_.deleteSource();
    if (plan_.suffixNote) note(*plan_.suffixNote);
    if (keepWhole) {
        outcome_.sourceKept = Message(MessageId::NoHeadingsSourceKept);
        showMessageBox(boxes_, *outcome_.sourceKept);
        return outcome_;
    }
    if (plan_.headingsNote) note(*plan_.headingsNote);
    if (settings_.deleteSource()) deleteSource();
    return outcome_;
}

}  // namespace

Message notRestoredMessage(const RestoreFailure& failure) {
    if (failure.oldBytes.empty())
        return Message(MessageId::LeftoverNotRemoved, {failure.name}, failure.reason);
    return Message(MessageId::RestoreFailed, {failure.name, failure.oldBytes}, failure.reason);
}

Text someNames(const std::vector<Text>& paths, PathStyle style, bool withFolder) {
    Text names;
    for (std::size_t i = 0; i < paths.size() && i < 3; ++i) {
        names += (i == 0 ? "" : ", ") + (withFolder ? paths[i] : nameIn(paths[i], style));
    }
    return names;
}

SplitOutcome runSplit(SourceDocument& document, SplitSettings& settings, FileService& files,
                      MessageBoxService& boxes, PathStyle style) {
    return SplitRun(document, settings, files, boxes, style).run();
}

}  // namespace folioknife::splitter
