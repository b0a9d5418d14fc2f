#pragma once
// The volumes reach their files all or nothing, and the source is deleted only when they hold
// all of it on disk.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "splitter/CodePage.h"
#include "splitter/FileService.h"
#include "splitter/Path.h"
#include "splitter/Recode.h"
#include "splitter/Volumes.h"

namespace folioknife::splitter {

// A change of a split that could not be undone: the name, where the bytes it held before the
// split now are (empty when it held none: a file the split made there could not be removed),
// and the system's reason. The split's record stays, so that the next split tries again.
struct RestoreFailure {
    Text name;
    Text oldBytes;
    Text reason;
};

// A file that could not be written, and the failure as the system reported it (its path may be
// a temporary file's, its reason empty); and what could not be put back afterwards, when
// something could not.
struct [[nodiscard]] FileFailure {
    Text file;
    FileError error;
    // The folder's names could not be flushed to stable storage ('file' is the folder).
    bool folderFlush = false;
    std::optional<RestoreFailure> notRestored = std::nullopt;
    // The volume (its index) whose text could not be converted ('file' is its name).
    std::optional<std::size_t> unconvertible = std::nullopt;
};

// The bytes volume k (from 0) is written as, when they are not its spans' (volumes written in
// another encoding): made as the volume is written and dropped after, so that one converted
// volume at a time is held. Nothing when its text cannot be converted.
using VolumeEncoder = std::function<std::optional<std::string>(std::size_t k)>;

// A volume file found in a folder: novel_K.txt.
struct FoundVolume {
    std::uint64_t number = 0;
    Text path;
};

// The novel_K.txt names among the folder's names 'listed', in the order of K. A folder that
// may be written but not read (a drop box, listed as empty) is asked name by name, from
// novel_1.txt up to the first one missing. 'style': the paths' (and so the names' case rule).
[[nodiscard]] std::vector<FoundVolume> findVolumes(FileService& files, PathStyle style,
                                                   const Text& folder,
                                                   const std::vector<std::string>& listed);

// True when the volumes found are numbered 1 to M with no gap, and joined (each after the first
// without 'addedMark', or turned back from 'form') they hold exactly 'text': an earlier split
// of it.
[[nodiscard]] bool isEarlierSplitOf(FileService& files, const std::vector<FoundVolume>& found,
                                    std::string_view text, std::string_view addedMark,
                                    const VolumeForm* form = nullptr);

// True when the folder holds the mark a split leaves in an output folder it made
// (kFolderMarkName, beginning with its header).
[[nodiscard]] bool holdsFolderMark(FileService& files, PathStyle style, const Text& folder);

// Writes volume k to a temporary file beside names[k], and only when every one is complete
// gives each its name, setting aside what stood there; the names in 'removed' are set aside
// too. Before the first name changes, a record of the changes is written in the folder (on
// stable storage when something is set aside), so that a split killed meanwhile is undone by
// the next one (recoverFolder). What was set aside is unlinked only once the new volumes and
// the folder are on stable storage. Should any step fail, the names get back what they had,
// so the folder is as it was, and every temporary file is removed. Nothing when every volume
// is in place. 'durable': the new volumes and the folder reach stable storage before this
// returns, also when nothing is set aside (a source is to be deleted for them); a flush that
// fails is a failed write like any other. With 'encode', the volumes are written as it gives
// them; a volume it cannot convert fails the install as a failed write does, with
// 'unconvertible' set.
[[nodiscard]] std::optional<FileFailure> installVolumes(
    FileService& files, PathStyle style, const Text& folder, const std::vector<Text>& names,
    const std::vector<Volume>& volumes, const std::vector<Text>& removed = {}, bool durable = false,
    const VolumeEncoder& encode = {});

// What recoverFolder did: the folder's names as they are afterwards (listed again only when
// something was changed); what it could not undo; whether a file that is no record of ours
// holds the record's name (a split cannot write there then).
struct [[nodiscard]] Recovery {
    std::vector<std::string> names;
    std::optional<RestoreFailure> failure;
    bool recordNameTaken = false;
};

// Puts the folder back as it was before a split that was killed while it wrote into it, from
// the record that split left, and removes that split's temporary files; a split killed after
// its last rename is finished instead. Only files that prove to be ours are removed (a record
// by its header and token, the others by their names and the token of a record), and never
// the file 'keep' (the novel about to be split), whatever its name. When a step fails, the
// record stays for the next split. For a caller that holds the folder's lock.
Recovery recoverFolder(FileService& files, PathStyle style, const Text& folder,
                       std::optional<FileIdentity> keep);

// Why a source was kept, or that it is gone.
enum class SourceVerdict {
    Deleted,
    NotWhole,    // the volumes on disk do not hold the source's bytes as they are now
    IsOutput,    // the source is one of the volumes' files (by identity, so links count)
    Failed,      // the system refused a step (the reason says why)
    Unreadable,  // a file could not be read back (the file and the reason say which and why)
};
struct [[nodiscard]] SourceDeletion {
    SourceVerdict verdict = SourceVerdict::Failed;
    Text reason;
    Text file;  // with Unreadable
};

// Deletes the source when the volumes named, flushed to stable storage with their folder and
// read back from disk, joined in order equal the source's bytes as they are at that moment,
// and the source is none of them (told only after the flush: the source's old bytes may have
// been set aside and unlinked). 'addedMark' is the byte-order mark every volume after the
// first begins with although the source does not hold it there (empty when none was added).
// With 'form', the volumes are in another encoding: each is read whole and turned back into
// the novel's bytes (readBackVolume) before it is compared. 'flushed': the volumes and the
// folder are on stable storage already (installed durable), and are not flushed again.
SourceDeletion deleteSourceIfWhole(FileService& files, const Text& source,
                                   const std::vector<Text>& names, const Text& folder,
                                   std::string_view addedMark = {},
                                   const VolumeForm* form = nullptr, bool flushed = false);

}  // namespace folioknife::splitter
