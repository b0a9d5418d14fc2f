#pragma once
// Which matches of the chapter expression are headings as a reader sees them: not a reference
// inside a sentence ("正如第一章所说"), not an entry of a table of contents.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "splitter/CodePage.h"
#include "splitter/DocumentEncoding.h"
#include "splitter/ExpressionMatcher.h"

namespace folioknife::splitter {

// Which rules sort the matches.
struct HeadingRules {
    // A match is a heading only where it begins its line (after blanks), or stands on a short
    // line after a short lead: default mode only; a custom expression says where it matches.
    bool lineRule = true;
    // Four or more headings in a row, each less than 200 bytes from the next, whose texts all
    // come again later as headings, are a table of contents and no chapters.
    bool contentsRule = true;
};

struct HeadingSearch {
    enum class Status {
        Done,
        InvalidExpression,  // 'reason' says why, in the engine's words
        TooComplex,         // the engine gave up before the end of the text
    };
    Status status = Status::Done;
    std::string reason;
    std::vector<ExpressionMatch> headings;  // byte offsets in the document's own encoding
    std::int64_t leftOutInText = 0;         // by the line rule
    std::int64_t leftOutAsContents = 0;     // by the contents rule
};

// The expression, built in the program's code page, carried over to the encoding the text is
// matched in (used as it is where it cannot be converted). A UTF-16 novel is matched through
// UTF-8 (see searchChapterHeadings), so its expression is UTF-8.
Text expressionForDocument(const Text& expression, const DocumentEncoding& encoding);

// Empty when the expression compiles in the document's encoding; else the engine's reason.
std::string expressionError(const Text& expression, const DocumentEncoding& encoding);

// Compiles the expression into a fresh matcher, lists its matches in the text that begin and
// end between characters, and keeps those the rules call headings. A UTF-16 text is read as
// characters: it is matched in a UTF-8 copy and the offsets are carried back, so that a cut
// never falls inside a character or a surrogate pair.
HeadingSearch searchChapterHeadings(const Text& expression, std::string_view text,
                                    const DocumentEncoding& encoding, HeadingRules rules);

// UTF-16 to UTF-8, a unit that is no character (a lone surrogate, an odd last byte) becoming
// U+FFFD; and the way back for offsets, ascending, at character boundaries of the copy.
std::string utf16ToUtf8(std::string_view text, bool bigEndian);
std::vector<std::int64_t> utf16OffsetsOf(std::string_view text, bool bigEndian,
                                         const std::vector<std::int64_t>& utf8Offsets);

}  // namespace folioknife::splitter
