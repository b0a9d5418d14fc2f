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
#include "splitter/SourceDocument.h"

namespace folioknife::splitter {

// Where the split reports: a message box in the window, the terminal in the command-line
// splitter. Returns the button pressed minus one (0 OK, 5 Yes, 6 No).
class MessageBoxService {
public:
    virtual ~MessageBoxService() = default;
    virtual int showMessageBox(const Text& text, const Text& title, unsigned flags) = 0;
};

// The one way every report is made: the title "信息" when none is given, flags 0 by default.
int showMessageBox(MessageBoxService& boxes, const Text& text, const Text& title = Text(),
                   unsigned flags = 0);

struct SplitOutcome {
    enum class Status {
        Refused,      // a check failed; its message was shown, nothing was written
        WriteFailed,  // a volume could not be written in full; the folder is as it was
        FolderBusy,   // another split kept the output folder; nothing was written
        Done,         // every volume written, "分割成功！" shown
    };
    Status status = Status::Refused;
    std::int64_t headings = 0;
    std::int64_t volumesWritten = 0;
    Text failedFile;             // with WriteFailed
    bool sourceDeleted = false;  // with Done
    bool sourceKept = false;     // deletion asked for but not done; the message says why
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

// The whole split: the checks in order, the output directory, the headings, the pieces, the
// volumes and their files, the report, and the deletion of the source when asked for and safe.
SplitOutcome runSplit(SourceDocument& document, SplitSettings& settings, FileService& files,
                      MessageBoxService& boxes);

}  // namespace folioknife::splitter
