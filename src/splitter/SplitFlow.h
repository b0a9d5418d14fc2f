#pragma once
#include <cstdint>
#include <memory>
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
#include "splitter/Messages.h"
#include "splitter/Path.h"
#include "splitter/Recode.h"
#include "splitter/SplitPlan.h"
#include "splitter/SourceDocument.h"
#include "splitter/VolumeFiles.h"
#include "splitter/Volumes.h"

namespace folioknife::splitter {

struct [[nodiscard]] SplitOutcome {
    enum class Status {
        Refused,       // a check failed; its message was shown, nothing was written
        WriteFailed,   // a volume could not be written in full; the folder is as it was
        FolderBusy,    // another split kept the output folder; nothing was written
        LockFailed,    // the output folder could not be locked; nothing was written
        CreateFailed,  // the output folder is missing and could not be made; nothing written
        Declined,      // the folder holds another novel's volumes, not to be replaced
        TooMany,       // more than kManyVolumes files, and the user would not have them
        NotRestored,   // a change to the folder could not be undone; the message says where the
                       // bytes are, and the record stays for the next split to try again
        Done,          // every volume written, "分割成功！" shown
    };
    Status status = Status::Refused;
    std::int64_t headings = 0;
    std::int64_t volumesWritten = 0;
    Text failedFile;  // with WriteFailed; with Declined, the first file in the way
    // With Declined: the files in the way that are no earlier split of this novel (paths).
    std::vector<Text> inTheWay;
    // What the user was told, as values, each when it was shown: why the split failed (with
    // every status but Done, Declined and TooMany), and after it a change to the folder that
    // could not be undone when the failure is another; with Done, the notes on the headings,
    // then why the source was kept when its deletion was asked for but not done.
    std::optional<Message> failure;
    std::optional<Message> notRestored;
    std::vector<Message> notes;
    std::optional<Message> sourceKept;
    bool sourceDeleted = false;  // with Done
    // With TooMany: the plan that would have written them, for the headings it found.
    std::shared_ptr<const SplitPlan> plan;
};

// More files than this in one split is asked about before anything is written: an expression
// that matches every few characters would otherwise fill the folder with thousands of them.
constexpr std::size_t kManyVolumes = 1000;

// What the user is told of a change that could not be undone.
Message notRestoredMessage(const RestoreFailure& failure);

// The first three of the files (paths), with or without their folder, for a message that
// names them with their count.
Text someNames(const std::vector<Text>& paths, PathStyle style, bool withFolder = false);

// How long a split waits for another split to let go of its output folder.
constexpr int kFolderLockWait = 10000;  // milliseconds

// The whole split: the checks in order, the output directory, the headings, the pieces, the
// volumes and their files, the report, and the deletion of the source when asked for and safe.
// 'style': the paths' style, that of the output folder the settings give.
SplitOutcome runSplit(SourceDocument& document, SplitSettings& settings, FileService& files,
                      MessageBoxService& boxes, PathStyle style);

}  // namespace folioknife::splitter
