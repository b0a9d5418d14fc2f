#pragma once
// Which matches of the chapter expression are headings as a reader sees them: not a reference
// inside a sentence ("正如第一章所说"), not an entry of a table of contents.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "splitter/ChapterExpression.h"
#include "splitter/CodePage.h"
#include "splitter/CustomMatcher.h"
#include "splitter/DocumentEncoding.h"
#include "splitter/ExpressionMatcher.h"

namespace folioknife::splitter {

// Which rules sort the matches.
struct HeadingRules {
    // Default mode only (a custom expression says where it matches): a heading stands at the
    // start of its line, or after a lead such as 《书名》, 【 or 第一卷 on a short line; the cut
    // falls at the start of that line. References (第一章中所说，…), end markers (（第八章完）)
    // and a repeat of the heading before it (a page header, a running title) are no headings;
    // a volume line just before a chapter goes with it; prologue and epilogue lines (楔子,
    // 尾声, 番外, ...) are headings in a book of three headings or more.
    bool lineRule = true;
    // Four or more headings in a row, close to each other, whose texts all come again later
    // as headings, are a table of contents and no chapters: less than 200 bytes apart, or in
    // default mode up to 1,000 bytes with section entries between them.
    bool contentsRule = true;
};

enum class HeadingKind {
    Chapter,  // a match of the expression
    Extra,  // a line of its own: 楔子, 序章, 序幕, 引子, 尾声, 终章, 大结局, 番外
};

// One heading, beyond where its piece begins.
struct HeadingDetail {
    HeadingKind kind = HeadingKind::Chapter;
    // The heading itself, in the novel's bytes: the expression's match, or the extra's word.
    ExpressionMatch match;
    // When the piece begins with a volume line ("第二卷 江湖远") that went with this heading:
    // its bytes from the cut, line end not counted. 0 otherwise.
    std::int64_t volumeLine = 0;
};

// The form of the headings a default-mode search split by: prefix, numeral and suffix (the one
// asked for or another), or one of the forms tried after every suffix found too few.
enum class HeadingForm {
    Suffix,        // 第十二章, 第十二回 …
    WordFirst,     // 章十二, 卷 12
    English,       // Chapter 12, CHAPTER TWELVE, Chapter XII
    NumberedLine,  // 十二、标题, （十二）标题, 十二 标题, 12. 标题, 12
};

struct [[nodiscard]] HeadingSearch {
    enum class Status {
        Done,
        InvalidExpression,  // 'reason' says why, in the engine's words
        TooComplex,         // the engine gave up before the end of the text
    };
    Status status = Status::Done;
    std::string reason;
    // Where each piece begins, in the novel's bytes (the start of the heading's line in default
    // mode, the match for a custom expression), and how far its heading reaches from there.
    std::vector<ExpressionMatch> headings;
    std::vector<HeadingDetail> details;  // one for each of 'headings'
    std::int64_t leftOutInText = 0;      // references, end markers, lines with a sentence
    std::int64_t leftOutAsContents = 0;  // by the contents rule
    std::int64_t leftOutRepeated = 0;    // the same chapter again: page headers, repeats
    // Default mode: the suffix the headings were found with, in the program's code page, and
    // whether it took the place of the one asked for, which found too few.
    Text suffix;
    bool otherSuffix = false;
    // The form the headings were found in; for any but Suffix, 'suffix' is the one asked for
    // and 'formMark' the first heading's numbered mark (一、, 卷一, Chapter 1) in the program's
    // code page.
    HeadingForm form = HeadingForm::Suffix;
    Text formMark;
};

// A custom expression, compiled from the program's code page and matched by characters in
// every encoding (see CustomMatcher.h): every match is a heading, but for the contents rule.
HeadingSearch searchCustomHeadings(const CustomMatcher& matcher, std::string_view text,
                                   const DocumentEncoding& encoding, HeadingRules rules);

// The default expression of the prefix and suffix (defaultExpressionFor) compiled into
// 'matcher'.
CompileResult compileDefaultExpression(ExpressionMatcher& matcher, const Text& prefix,
                                       const Text& suffix, const DocumentEncoding& encoding);

// Default mode: the headings of prefix, numeral and suffix under the rules. When the suffix
// finds fewer than three headings at least 1,500 bytes apart, the first suffix of
// headingWords::kSuffixes that finds three is taken instead, and when none does, the first of
// the other forms that numbers the book's chapters (HeadingForms.h): word first (卷一), English
// (Chapter 1), numbered lines (一、). Only when the line rule is on.
// A UTF-16 text is read as characters: it is matched in a UTF-8 copy and the offsets are
// carried back, so that a cut never falls inside a character or a surrogate pair.
HeadingSearch searchDefaultHeadings(const Text& prefix, const Text& suffix, std::string_view text,
                                    const DocumentEncoding& encoding, HeadingRules rules);
// The same with the expression of 'prefix' and 'suffix' already compiled into 'asked' (by
// compileDefaultExpression).
HeadingSearch searchDefaultHeadings(const ExpressionMatcher& asked, const Text& prefix,
                                    const Text& suffix, std::string_view text,
                                    const DocumentEncoding& encoding, HeadingRules rules);

// True when the line, in the code page given (its line end allowed), holds only a volume
// heading as the line rules know it: brackets, then a volume part (第二卷, 第三部, 第一季 第一卷,
// 第壹篇, 卷三), no sentence punctuation, at most 40 characters. The same rule decides which
// line above a chapter goes with it; the EPUB nests its chapters under such lines.
bool isVolumeLine(std::string_view line, const std::string& codePage);

// The lines of a book built of bare numbered headings ("一 青衫磊落险峰行", "12 归来",
// "一、青衫", "1. 归来"): the numbered lines the default mode falls back to, by the same rules
// (HeadingForms.h). Where each line begins, in the text's bytes.
std::vector<std::int64_t> findNumberedLines(std::string_view text,
                                            const DocumentEncoding& encoding);

}  // namespace folioknife::splitter
