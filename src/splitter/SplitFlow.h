#pragma once
#include <cstdint>
#include <optional>
#include <utility>
#include <string_view>
#include <vector>

#include "splitter/ChapterExpression.h"
#include "splitter/ChapterHeadings.h"
#include "splitter/CodePage.h"
#include "splitter/ExpressionMatcher.h"
#include "splitter/FileService.h"
#include "splitter/MessageBox.h"
#include "splitter/Path.h"
#include "splitter/Recode.h"
#include "splitter/SourceDocument.h"
#include "splitter/Volumes.h"

namespace folioknife::splitter {

struct SplitOutcome {
    enum class Status {
        Refused,      // a check failed; its message was shown, nothing was written
        WriteFailed,  // a volume could not be written in full; the folder is as it was
        FolderBusy,   // another split kept the output folder; nothing was written
        LockFailed,   // the output folder could not be locked; nothing was written
        Declined,     // the folder holds another novel's volumes, not to be replaced
        Done,         // every volume written, "分割成功！" shown
    };
    Status status = Status::Refused;
    std::int64_t headings = 0;
    std::int64_t volumesWritten = 0;
    Text failedFile;             // with WriteFailed; with Declined, the first volume found
    bool sourceDeleted = false;  // with Done
    bool sourceKept = false;     // deletion asked for but not done; the message says why
    // With Refused: the first character that the volumes' encoding cannot hold, as a byte
    // offset into the novel and its line (1-based).
    std::optional<std::uint64_t> unconvertibleAt;
    std::uint64_t unconvertibleLine = 0;
};

// How long a split waits for another split to let go of its output folder.
constexpr int kFolderLockWait = 10000;  // milliseconds

// The rules that sort the matches: the line rule in default mode, the contents rule in both,
// neither when every match is to count.
HeadingRules headingRulesFor(bool defaultMode, bool anywhere);

// When no heading is found: the suffix among 回, 节, 卷, 集, 部 and 篇 that finds the most
// headings with the same prefix and rules, at least three, and how many it finds.
std::optional<std::pair<Text, std::int64_t>> suggestSuffix(const Text& prefix,
                                                           std::string_view text,
                                                           const DocumentEncoding& encoding,
                                                           HeadingRules rules);

// The volumes as a split writes them, before any byte-order mark is added or any conversion
// made: the pieces grouped N at a time, and within 'maxBytes' (0: no limit) as the volumes'
// files count them in the encoding 'form' writes.
std::vector<Volume> planVolumes(std::vector<ChapterPiece> pieces, std::int64_t perVolume,
                                std::uint64_t maxBytes, const DocumentEncoding& encoding,
                                const VolumeForm& form);

// The file names of the volumes (without their folder), from the settings' pattern; 'start' is
// the offset in 'text' at which the first volume begins. A volume's title is that of the first
// heading in it; a volume without one continues the chapter before it and takes its title,
// and the preface takes its first line's.
std::vector<Text> volumeNames(SplitSettings& settings, std::string_view text,
                              const std::vector<ExpressionMatch>& matches,
                              const std::vector<Volume>& volumes, const DocumentEncoding& encoding,
                              std::uint64_t start);

// The whole split: the checks in order, the output directory, the headings, the pieces, the
// volumes and their files, the report, and the deletion of the source when asked for and safe.
// 'style': the paths' style, that of the output folder the settings give.
SplitOutcome runSplit(SourceDocument& document, SplitSettings& settings, FileService& files,
                      MessageBoxService& boxes, PathStyle style);

}  // namespace folioknife::splitter
