#pragma once
// A custom expression is matched by characters, in every encoding: PCRE2 in UTF mode with
// Unicode properties, over a UTF-8 reading of the novel whose offsets are carried back to the
// novel's own bytes. A bracket of Chinese characters is a set of characters, "." one character
// and no line end, \s takes the ideographic space, \d an ASCII digit; ^ and $ match at every
// line start and end.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "splitter/CodePage.h"
#include "splitter/DocumentEncoding.h"
#include "splitter/ExpressionMatcher.h"
#include "splitter/PastedExpression.h"

namespace folioknife::splitter {

// The novel read as UTF-8: its own bytes when it is UTF-8, else a converted copy in which each
// character of the novel is one character (a byte that begins none is U+FFFD).
class Utf8View {
public:
    Utf8View(std::string_view novel, const DocumentEncoding& encoding);
    ~Utf8View();
    Utf8View(const Utf8View&) = delete;
    Utf8View& operator=(const Utf8View&) = delete;

    std::string_view text() const { return view_; }
    // True when the text holds a line end other than CR and LF (VT, FF, NEL, LS, PS), or may.
    // Seen as a legacy code page is converted; a UTF-8 or UTF-16 text is looked through when
    // first asked.
    bool rarerLineEnds() const;
    // The novel's offsets for ascending offsets of the view that lie between its characters.
    std::vector<std::int64_t> novelOffsets(const std::vector<std::int64_t>& viewOffsets) const;

    struct Table;  // a legacy code page's characters in UTF-8

private:
    std::string_view novel_;
    DocumentEncoding encoding_;
    const Table* table_ = nullptr;  // for code pages other than UTF-8 and UTF-16
    std::unique_ptr<char[]> copy_;
    std::string_view view_;
    mutable std::optional<bool> rarerLineEnds_;
    // Offsets of the novel and of the view that stand for the same place, every few hundred
    // bytes of the novel.
    static constexpr std::size_t kCheckpointSpacing = 512;
    std::vector<std::pair<std::int64_t, std::int64_t>> checkpoints_;
};

class CustomMatcher {
public:
    CustomMatcher();
    ~CustomMatcher();
    CustomMatcher(const CustomMatcher&) = delete;
    CustomMatcher& operator=(const CustomMatcher&) = delete;
    CustomMatcher(CustomMatcher&&) noexcept;
    CustomMatcher& operator=(CustomMatcher&&) noexcept;

    // Compiles an expression written in the program's code page, Java's syntax translated
    // (PastedExpression.h). A failed compile leaves the matcher as it was; its offset and
    // character say where in the expression as given, its offset counting bytes of UTF-8.
    CompileResult compile(const Text& expression);

    // The seconds a whole search of a novel may take before it is given up.
    static constexpr double kSearchBudget = 6.0;

    // Every match in the UTF-8 text, as engines search globally: each search starts where the
    // last match ended, one character later after an empty one, and sees the text before its
    // start (so ^ is a real line start, and a look-behind sees the previous match). Offsets
    // are the view's. An expression that exhausts the engine's limits, or a search that
    // outlasts 'budgetSeconds', gives nothing and is incomplete.
    SearchResult searchAll(std::string_view utf8, double budgetSeconds = kSearchBudget) const;

    // A match of a search in pieces: where it lies in the piece's UTF-8 reading, and in the
    // novel's bytes.
    struct PieceMatch {
        ExpressionMatch inReading;
        ExpressionMatch inNovel;
    };
    // Takes the matches of one piece, with the piece's UTF-8 reading (which begins with some of
    // the text before the piece); they end at or before the reading's last line end.
    using PieceMatches =
        std::function<void(std::string_view reading, const std::vector<PieceMatch>& matches)>;
    // How much of the novel a piece reads at most, unless a match needs more.
    static constexpr std::size_t kPieceBytes = std::size_t{1} << 20;

    // The matches searchAll finds in the whole UTF-8 reading of the novel (a byte-order mark
    // aside: ^ matches right after it), found a piece at a time so that the reading is never
    // held whole: each piece ends at a line end and carries enough of the text before it for
    // look-behinds and ^, and a match that might reach past a piece's end is searched again
    // with more text. A UTF-8 novel is its own reading, searched at once. False when the
    // engine gave up, or the search outlasted 'budgetSeconds'.
    bool searchNovel(std::string_view novel, const DocumentEncoding& encoding,
                     const PieceMatches& each, double budgetSeconds = kSearchBudget,
                     std::size_t pieceBytes = kPieceBytes) const;

private:
    struct Compiled;
    struct Searcher;
    struct PieceSearch;
    void searchPiece(Searcher& searcher, std::string_view novel, const DocumentEncoding& encoding,
                     PieceSearch& piece) const;
    std::unique_ptr<Compiled> compiled_;
};

}  // namespace folioknife::splitter
