#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

#include "splitter/ChapterExpression.h"
#include "splitter/CodePage.h"
#include "splitter/ExpressionMatcher.h"
#include "splitter/FileService.h"
#include "splitter/MessageBox.h"
#include "splitter/SourceDocument.h"

namespace folioknife::splitter {

struct SplitOutcome {
    enum class Status {
        Refused,      // a check failed; its message was shown, nothing was written
        WriteFailed,  // a volume could not be written in full; the split stopped there
        Done,         // every volume written, "分割成功！" shown
    };
    Status status = Status::Refused;
    std::int64_t headings = 0;
    std::int64_t volumesWritten = 0;
    Text failedFile;             // with WriteFailed
    bool sourceDeleted = false;  // with Done
    bool sourceKept = false;     // deletion asked for but refused: the volumes lack bytes
};

// The expression, built in the program's code page, carried over to the document's encoding
// (used as it is where it cannot be converted).
Text expressionForDocument(const Text& expression, const DocumentEncoding& encoding);

// Compiles the expression, in the document's encoding, into a fresh matcher and lists the
// matches in the text that begin and end between characters.
std::vector<ExpressionMatch> findChapterHeadings(const Text& expression, std::string_view text,
                                                 const DocumentEncoding& encoding);

// The whole split: the checks in order, the output directory, the headings, the pieces, the
// volumes and their files, the report, and the deletion of the source when asked for and safe.
SplitOutcome runSplit(SourceDocument& document, SplitSettings& settings, FileService& files,
                      MessageBoxService& boxes);

}  // namespace folioknife::splitter
