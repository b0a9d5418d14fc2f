#pragma once
// Chapter rules are pasted from reader apps, whose expressions are Java's: the syntax that
// means the same in PCRE2 is written in PCRE2's words, and a rule whose meaning would change
// is refused with what to write instead.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace folioknife::splitter {

// The expression as the engine takes it, from UTF-8, or why it cannot be taken.
struct PreparedExpression {
    std::string text;
    std::string reason;  // empty when the expression is taken
    std::size_t at = 0;  // refused: the byte of the given expression the reason is about
    // For each byte of 'text', and one past its end, the byte of the given expression it
    // stands for.
    std::vector<std::size_t> origin;
    bool ok() const { return reason.empty(); }
};

// \d, \D and [:digit:] spelt out as the ASCII digits they stand for (PCRE2 10.42 would take
// every decimal digit of Unicode with its properties on, and has no switch to keep them ASCII);
// Java's \uXXXX, \xHH, \p{...} classes and blocks, (?u) and (?d) in PCRE2's words. Refused:
// Java's class intersections and nested classes, and (?U).
PreparedExpression prepareExpression(std::string_view utf8);

// The same, the text alone: empty with 'reason' set when refused.
std::string prepareCustomExpression(std::string_view utf8, std::string& reason);

// Look-behinds of bounded but varying length, (?<=[\s　]{0,4}), as PCRE2 10.42 takes them:
// alternatives of fixed lengths, (?<=|[\s　]|[\s　]{2}|...), which match where the original
// matches. 'prepared' is unchanged when it has nothing to rewrite or cannot be rewritten;
// 'reason' and 'at' (a byte of 'prepared') then say why when a look-behind is unbounded or
// needs too many alternatives.
std::string fixLookBehinds(const std::string& prepared, std::string& reason, std::size_t& at);

// An expression typed in UTF-8 in 'codePage', in which the expression is kept: a character the
// code page lacks is written as its code point, \x{2606}, which the engine reads as that
// character (an escaped one, \☆, alike; inside \Q...\E the quote is closed around it). An
// expression is matched by characters, whatever code page the novel is read in.
struct CodePageExpression {
    std::string text;
    // For each character of 'text', and one past its end, the typed character it stands for
    // (0 for the first).
    std::vector<std::size_t> typedAt;
};
CodePageExpression expressionInCodePage(std::string_view utf8, const std::string& codePage);

// The most alternatives one look-behind is rewritten into.
constexpr std::size_t kLookBehindAlternatives = 256;

}  // namespace folioknife::splitter
