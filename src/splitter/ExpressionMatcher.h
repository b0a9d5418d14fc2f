#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "splitter/CodePage.h"
#include "splitter/DocumentEncoding.h"

namespace folioknife::splitter {

struct ExpressionMatch {
    std::int64_t offset = 0;  // bytes from the first byte of the searched text
    std::int64_t length = 0;  // bytes in the match, 0 for an empty match
    bool operator==(const ExpressionMatch& o) const {
        return offset == o.offset && length == o.length;
    }
};

// What compiling an expression tells: whether it compiled and, when not, why, in the engine's
// words, and the byte of the expression where the engine stopped reading it.
struct [[nodiscard]] CompileResult {
    bool ok = true;
    std::string reason;
    std::size_t offset = 0;
    std::size_t character = 0;  // the characters before that place
    bool placed = false;        // whether offset and character name a place in the expression
    static CompileResult failed(std::string reason, std::size_t offset = 0) {
        return {false, std::move(reason), offset, 0, false};
    }
};

// What a search found, and whether it ran to the end of the text: an engine that gives up
// (complexity, stack or memory) leaves it incomplete.
struct [[nodiscard]] SearchResult {
    std::vector<ExpressionMatch> matches;
    bool completed = true;
};

// A thin layer over Boost.Regex: Perl syntax, match_default, one byte is one character.
class ExpressionMatcher {
public:
    ExpressionMatcher();
    ~ExpressionMatcher();
    ExpressionMatcher(const ExpressionMatcher&) = delete;
    ExpressionMatcher& operator=(const ExpressionMatcher&) = delete;
    ExpressionMatcher(ExpressionMatcher&&) noexcept;
    ExpressionMatcher& operator=(ExpressionMatcher&&) noexcept;

    // Compiles the expression (up to its first NUL). A failed compile leaves the matcher as
    // it was.
    CompileResult compile(const Text& expression);

    // Every match in 'text' (all of it: a 0x00 byte is a byte like any other). Each search
    // starts where the previous match ended, and that position counts as the beginning of the
    // text; an empty match ends the search, and so does an engine that gives up (complexity or
    // memory): the matches found until then are the result, which is then incomplete. A match
    // that begins or ends inside a character of the given character set is no match: the
    // search goes on from the next character boundary.
    SearchResult searchAll(std::string_view text,
                           CharacterSet characters = CharacterSet::SingleByte) const;

private:
    struct Compiled;
    std::unique_ptr<Compiled> compiled_;
};

// Bytes that every match of the expression begins with, found without compiling it: a plain
// literal at its start, possibly inside one or more plain groups. Empty whenever that cannot be
// told for certain (a top-level alternative, an inline option, a quantified literal, ...).
std::string requiredLiteralPrefix(std::string_view expression);

}  // namespace folioknife::splitter
