#pragma once
// The volumes reach their files all or nothing, and the source is deleted only when they hold
// all of it on disk.
#include <optional>
#include <vector>

#include "splitter/CodePage.h"
#include "splitter/FileService.h"
#include "splitter/Recode.h"
#include "splitter/Volumes.h"

namespace folioknife::splitter {

// A file that could not be written, and why, in the system's words (may be empty).
struct FileFailure {
    Text file;
    Text reason;
};

// Writes volume k to a temporary file beside names[k], and only when every one is complete
// gives each its name, setting aside what stood there. Should any step fail, the names get
// back what they had, so the folder is as it was, and every temporary file is removed.
// Nothing when every volume is in place.
std::optional<FileFailure> installVolumes(FileService& files, const std::vector<Text>& names,
                                          const std::vector<Volume>& volumes);

// Removes the new volumes that a split killed while writing left in the folder (while no
// split writes into it: the caller holds its lock). What such a split had set aside of the
// older volumes stays: it may be the only copy.
void removeAbandonedVolumes(FileService& files, const Text& folder, const std::string& separator);

// Why a source was kept, or that it is gone.
enum class SourceVerdict {
    Deleted,
    NotWhole,  // the volumes on disk do not hold the source's bytes as they are now
    IsOutput,  // the source is one of the volumes' files (by identity, so links count)
    Failed,    // the system refused a step (the reason says why)
};
struct SourceDeletion {
    SourceVerdict verdict = SourceVerdict::Failed;
    Text reason;
};

// Deletes the source when the volumes named, flushed to stable storage with their folder and
// read back from disk, joined in order equal the source's bytes as they are at that moment,
// and the source is none of them. 'addedMark' is the byte-order mark every volume after the
// first begins with although the source does not hold it there (empty when none was added).
// With 'form', the volumes are in another encoding: each is read whole and turned back into
// the novel's bytes (readBackVolume) before it is compared.
SourceDeletion deleteSourceIfWhole(FileService& files, const Text& source,
                                   const std::vector<Text>& names, const Text& folder,
                                   std::string_view addedMark = {},
                                   const VolumeForm* form = nullptr);

}  // namespace folioknife::splitter
