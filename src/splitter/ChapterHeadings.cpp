#include "splitter/ChapterHeadings.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>

#include "splitter/ByteScan.h"
#include "splitter/ChapterExpression.h"
#include "splitter/CustomMatcher.h"
#include "splitter/HeadingForms.h"
#include "splitter/HeadingLineRules.h"
#include "splitter/HeadingWords.h"
#include "splitter/Unicode.h"

namespace folioknife::splitter {

namespace {

// Carries ascending offsets of the searched text back to the novel's own bytes; empty when
// they are the same.
using OffsetMap = std::function<std::vector<std::int64_t>(const std::vector<std::int64_t>&)>;

// Carries the candidates' offsets in the searched text back to the novel's own bytes.
void placeInNovel(std::vector<HeadingCandidate>& candidates, const OffsetMap& toNovel) {
    const auto same = [](std::size_t o) { return static_cast<std::int64_t>(o); };
    if (!toNovel) {
        for (HeadingCandidate& c : candidates) {
            c.cutAt = same(c.cut);
            c.volumeAt = c.volume == kNoOffset ? -1 : same(c.volume);
            c.volumeEndAt = same(c.volumeEnd);
            c.matchAt = c.match.offset;
            c.matchEndAt = c.match.offset + c.match.length;
        }
        return;
    }
    std::vector<std::int64_t> offsets;
    for (const HeadingCandidate& c : candidates) {
        offsets.push_back(same(c.cut));
        if (c.volume != kNoOffset)
            offsets.push_back(same(c.volume)), offsets.push_back(same(c.volumeEnd));
        offsets.push_back(c.match.offset);
        offsets.push_back(c.match.offset + c.match.length);
    }
    std::sort(offsets.begin(), offsets.end());
    offsets.erase(std::unique(offsets.begin(), offsets.end()), offsets.end());
    const std::vector<std::int64_t> back = toNovel(offsets);
    const auto map = [&](std::int64_t o) {
        return back[static_cast<std::size_t>(std::lower_bound(offsets.begin(), offsets.end(), o) -
                                             offsets.begin())];
    };
    for (HeadingCandidate& c : candidates) {
        c.cutAt = map(same(c.cut));
        c.volumeAt = c.volume == kNoOffset ? -1 : map(same(c.volume));
        c.volumeEndAt = c.volume == kNoOffset ? 0 : map(same(c.volumeEnd));
        c.matchAt = map(c.match.offset);
        c.matchEndAt = map(c.match.offset + c.match.length);
    }
}

// The text that names a heading, blanks aside. An empty match ("cut before each heading") is
// named by what follows it on its line.
std::string matchKey(std::string_view searched, const ExpressionMatch& m, const LineMarks& marks) {
    const auto from = static_cast<std::size_t>(m.offset);
    std::size_t length = static_cast<std::size_t>(m.length);
    if (length == 0) {
        constexpr std::size_t kNamed = 64;
        const std::size_t limit = std::min(searched.size(), from + kNamed);
        length = static_cast<std::size_t>(
            findEitherByte(searched.data() + from, searched.data() + limit, '\n', '\r') -
            (searched.data() + from));
    }
    return keyOf(searched.substr(from, length), marks);
}

// The matches the line rules take for headings; those they leave out are counted in 'result'.
std::vector<HeadingCandidate> judgeMatches(const std::vector<ExpressionMatch>& matches,
                                           const SearchedText& searchedText, HeadingRules rules,
                                           HeadingSearch& result) {
    std::vector<HeadingCandidate> candidates;
    // Room for every match and a few extras at once: a vector that doubles as it grows holds
    // twice the headings of a long novel for a moment. More matches than one in a few hundred
    // bytes are mostly references, which are left out, and get no room ahead.
    constexpr std::size_t kRoomForExtras = 64;
    candidates.reserve(std::min(matches.size(), searchedText.text.size() / 256) + kRoomForExtras);
    for (const ExpressionMatch& m : matches) {
        HeadingCandidate c;
        c.match = m;
        c.cut = static_cast<std::size_t>(m.offset);
        if (rules.lineRule) {
            switch (judgeLine(searchedText, c,
                              candidates.empty() ? kNoOffset : candidates.back().cut)) {
                case LineVerdict::InText:
                    ++result.leftOutInText;
                    continue;
                case LineVerdict::SameLine:
                    ++result.leftOutRepeated;
                    continue;
                case LineVerdict::Contents:
                    ++result.leftOutAsContents;
                    continue;
                case LineVerdict::Heading:
                    break;
            }
        }
        if (rules.contentsRule || rules.lineRule)
            c.key = matchKey(searchedText.text, m, searchedText.marks);
        candidates.push_back(std::move(c));
    }
    return candidates;
}

// The same chapter again, close by or as a page header, is no new chapter. Those kept move
// up in place.
void dropRepeats(std::vector<HeadingCandidate>& candidates, HeadingSearch& result) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        HeadingCandidate& c = candidates[i];
        if (kept > 0 && candidates[kept - 1].key == c.key &&
            (c.matchAt - candidates[kept - 1].matchAt < kRepeatDistance || c.pageHeader)) {
            ++result.leftOutRepeated;
            continue;
        }
        if (kept != i) candidates[kept] = std::move(c);
        ++kept;
    }
    candidates.erase(candidates.begin() + static_cast<std::ptrdiff_t>(kept), candidates.end());
}

// The candidates that stay in the piece before them: the contents entries, and an extra close
// to them (尾声 at the end of the contents).
std::vector<bool> contentsToDrop(const std::vector<HeadingCandidate>& all,
                                 std::string_view searched, const LineMarks& marks,
                                 HeadingRules rules) {
    std::vector<bool> entry(all.size(), false);
    if (rules.contentsRule) {
        entry = contentsEntries(all, searched, marks,
                                rules.lineRule ? kContentsSpacing : kCloseContents);
    }
    std::vector<bool> dropped = entry;
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (all[i].kind != HeadingKind::Extra || entry[i]) continue;
        for (std::size_t j : {i - 1, i + 1}) {
            if (j < all.size() && entry[j] &&
                std::abs(all[j].matchAt - all[i].matchAt) < kContentsSpacing)
                dropped[i] = true;
        }
    }
    return dropped;
}

// The headings among the candidates not dropped, one cut a line, each beginning at its volume
// line where it has one; extras only in a book of enough chapters.
void keepHeadings(const std::vector<HeadingCandidate>& all, const std::vector<bool>& dropped,
                  HeadingSearch& result) {
    result.headings.reserve(all.size());
    result.details.reserve(all.size());
    std::size_t regular = 0;
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (all[i].kind == HeadingKind::Chapter) {
            if (dropped[i]) {
                ++result.leftOutAsContents;
            } else {
                ++regular;
            }
        }
    }
    std::int64_t previousEnd = 0;
    for (std::size_t i = 0; i < all.size(); ++i) {
        const HeadingCandidate& c = all[i];
        if (dropped[i]) continue;
        if (c.kind == HeadingKind::Extra && regular < kFewestRegular) continue;
        // One cut a line: an extra on a chapter's line adds nothing.
        if (c.cutAt < previousEnd ||
            (!result.headings.empty() && c.cutAt == result.headings.back().offset)) {
            if (c.kind == HeadingKind::Chapter) ++result.leftOutRepeated;
            continue;
        }
        HeadingDetail detail;
        detail.kind = c.kind;
        detail.match = {c.matchAt, c.matchEndAt - c.matchAt};
        std::int64_t cut = c.cutAt;
        if (c.volumeAt >= 0 && c.volumeAt >= previousEnd) {
            cut = c.volumeAt;
            detail.volumeLine = c.volumeEndAt - c.volumeAt;
        }
        result.headings.push_back({cut, c.matchEndAt - cut});
        result.details.push_back(detail);
        previousEnd = c.matchEndAt;
    }
}

// The matches the rules keep as headings, in the searched text, whose encoding is 'matched'.
HeadingSearch applyHeadingRules(const std::vector<ExpressionMatch>& matches,
                                std::string_view searched, const DocumentEncoding& matched,
                                const OffsetMap& toNovel, HeadingRules rules) {
    HeadingSearch result;
    const LineMarks marks(matched.codePage);
    const NumberedMarks numbers(matched.codePage);
    const SearchedText searchedText{searched, marks, numbers, matched.characters};

    std::vector<HeadingCandidate> candidates = judgeMatches(matches, searchedText, rules, result);
    std::vector<HeadingCandidate> extras;
    if (rules.lineRule && candidates.size() >= kFewestRegular) extras = findExtras(searchedText);
    placeInNovel(candidates, toNovel);
    placeInNovel(extras, toNovel);
    if (rules.lineRule) dropRepeats(candidates, result);
    // Contents entries are spaced in the novel's own bytes, the extras among them. Merged in
    // place: a second vector of every heading would be held beside the first.
    std::vector<HeadingCandidate>& all = candidates;
    const std::size_t chapters = all.size();
    all.insert(all.end(), std::make_move_iterator(extras.begin()),
               std::make_move_iterator(extras.end()));
    std::inplace_merge(
        all.begin(), all.begin() + static_cast<std::ptrdiff_t>(chapters), all.end(),
        [](const HeadingCandidate& a, const HeadingCandidate& b) { return a.cutAt < b.cutAt; });
    keepHeadings(all, contentsToDrop(all, searched, marks, rules), result);
    return result;
}

// Headings at least 1,500 bytes apart, counted from the first: a page header or a stray match
// or two do not make a book of chapters.
std::size_t countSpacedHeadings(const HeadingSearch& search) {
    constexpr std::int64_t kApart = 1500;
    std::size_t count = 0;
    std::int64_t last = 0;
    for (const ExpressionMatch& h : search.headings) {
        if (count == 0 || h.offset - last >= kApart) ++count, last = h.offset;
    }
    return count;
}

// The headings among the matches of an expression in the encoding the novel is matched in.
HeadingSearch searchWithMatcher(const ExpressionMatcher& matcher, std::string_view text,
                                const DocumentEncoding& encoding, HeadingRules rules) {
    HeadingSearch result;
    const DocumentEncoding matched = matchingEncoding(encoding);
    const bool utf16 = isUtf16(encoding.characters);
    std::string copy;
    if (utf16) copy = utf16ToUtf8(text, encoding.characters == CharacterSet::Utf16Be);
    const std::string_view searched = utf16 ? std::string_view(copy) : text;

    const SearchResult found = matcher.searchAll(searched, matched.characters);
    if (!found.completed) {
        result.status = HeadingSearch::Status::TooComplex;
        return result;
    }
    OffsetMap toNovel;
    if (utf16) {
        toNovel = [&](const std::vector<std::int64_t>& offsets) {
            return utf16OffsetsOf(text, encoding.characters == CharacterSet::Utf16Be, offsets);
        };
    }
    return applyHeadingRules(found.matches, searched, matched, toNovel, rules);
}

HeadingSearch searchWithExpression(const Text& matchedExpression, std::string_view text,
                                   const DocumentEncoding& encoding, HeadingRules rules) {
    ExpressionMatcher matcher;
    if (CompileResult compiled = matcher.compile(matchedExpression); !compiled.ok) {
        HeadingSearch result;
        result.status = HeadingSearch::Status::InvalidExpression;
        result.reason = std::move(compiled.reason);
        return result;
    }
    return searchWithMatcher(matcher, text, encoding, rules);
}

// The text as the line rules search it: a UTF-16 novel in a UTF-8 copy, whose offsets are
// carried back to the novel's.
class LinesSearched {
public:
    LinesSearched(std::string_view text, const DocumentEncoding& encoding)
        : text_(text),
          matched_(matchingEncoding(encoding)),
          utf16_(isUtf16(encoding.characters)),
          big_(encoding.characters == CharacterSet::Utf16Be),
          copy_(utf16_ ? utf16ToUtf8(text, big_) : std::string()),
          marks_(matched_.codePage),
          numbers_(matched_.codePage),
          searched_{utf16_ ? std::string_view(copy_) : text, marks_, numbers_,
                    matched_.characters} {}
    LinesSearched(const LinesSearched&) = delete;
    LinesSearched& operator=(const LinesSearched&) = delete;
    const SearchedText& searched() const { return searched_; }
    const DocumentEncoding& matched() const { return matched_; }
    OffsetMap toNovel() const {
        if (!utf16_) return {};
        return [this](const std::vector<std::int64_t>& offsets) {
            return utf16OffsetsOf(text_, big_, offsets);
        };
    }

private:
    std::string_view text_;
    DocumentEncoding matched_;
    bool utf16_, big_;
    std::string copy_;
    LineMarks marks_;
    NumberedMarks numbers_;
    SearchedText searched_;
};

// The headings of the first form after the suffixes that numbers the book's chapters, under
// the same rules as a suffix's.
HeadingSearch searchOtherForms(std::string_view text, const DocumentEncoding& encoding,
                               HeadingRules rules) {
    const LinesSearched lines(text, encoding);
    const SearchedText& searched = lines.searched();
    const FormLines found =
        findFormLines(searched, lines.matched().codePage,
                      {HeadingForm::WordFirst, HeadingForm::English, HeadingForm::NumberedLine});
    if (found.lines.empty()) return {};
    std::vector<ExpressionMatch> matches;
    for (const FormLine& line : found.lines) {
        matches.push_back({static_cast<std::int64_t>(line.mark),
                           static_cast<std::int64_t>(line.end - line.mark)});
    }
    HeadingSearch result =
        applyHeadingRules(matches, searched.text, lines.matched(), lines.toNovel(), rules);
    result.form = found.form;
    const FormLine& first = found.lines.front();
    result.formMark =
        convertForDisplay(searched.text.substr(first.mark, first.markEnd - first.mark),
                          lines.matched().codePage, programCodePage());
    return result;
}

}  // namespace

std::vector<std::int64_t> findNumberedLines(std::string_view text,
                                            const DocumentEncoding& encoding) {
    const LinesSearched lines(text, encoding);
    const FormLines found =
        findFormLines(lines.searched(), lines.matched().codePage, {HeadingForm::NumberedLine});
    std::vector<std::int64_t> starts;
    for (const FormLine& line : found.lines)
        starts.push_back(static_cast<std::int64_t>(line.start));
    const OffsetMap toNovel = lines.toNovel();
    return toNovel && !starts.empty() ? toNovel(starts) : starts;
}

bool isVolumeLine(std::string_view line, const std::string& codePage) {
    // The marks of each code page, made once: a book asks line by line.
    struct Marks {
        explicit Marks(const std::string& page) : marks(page), numbers(page) {}
        LineMarks marks;
        NumberedMarks numbers;
    };
    static std::mutex mutex;
    static std::map<std::string, std::unique_ptr<Marks>> made;
    const Marks* m = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex);
        std::unique_ptr<Marks>& slot = made[codePage];
        if (!slot) slot = std::make_unique<Marks>(codePage);
        m = slot.get();
    }
    std::size_t end = line.size();
    while (end > 0 && isLineEnd(line[end - 1])) --end;
    const SearchedText view{line, m->marks, m->numbers, characterSetOf(codePage)};
    return end > 0 && view.isVolumeLine(0, end);
}

HeadingSearch searchCustomHeadings(const CustomMatcher& matcher, std::string_view text,
                                   const DocumentEncoding& encoding, HeadingRules rules) {
    HeadingSearch result;
    rules.lineRule = false;
    // Every match is a candidate, named by its text in the UTF-8 reading, where the piece that
    // found it can still read it.
    const LineMarks marks("UTF-8");
    std::vector<HeadingCandidate> candidates;
    const auto take = [&](std::string_view reading,
                          const std::vector<CustomMatcher::PieceMatch>& found) {
        for (const CustomMatcher::PieceMatch& m : found) {
            HeadingCandidate c;
            c.match = m.inNovel;
            c.cut = static_cast<std::size_t>(m.inNovel.offset);
            if (rules.contentsRule) c.key = matchKey(reading, m.inReading, marks);
            candidates.push_back(std::move(c));
        }
    };
    if (!matcher.searchNovel(text, encoding, take)) {
        result.status = HeadingSearch::Status::TooComplex;
        return result;
    }
    placeInNovel(candidates, {});
    // Without the line rule, the contents rule spaces its entries by the novel's offsets only
    // and reads no text.
    keepHeadings(candidates, contentsToDrop(candidates, text, marks, rules), result);
    return result;
}

CompileResult compileDefaultExpression(ExpressionMatcher& matcher, const Text& prefix,
                                       const Text& suffix, const DocumentEncoding& encoding) {
    return matcher.compile(defaultExpressionFor(prefix, suffix, encoding));
}

HeadingSearch searchDefaultHeadings(const Text& prefix, const Text& suffix, std::string_view text,
                                    const DocumentEncoding& encoding, HeadingRules rules) {
    ExpressionMatcher asked;
    if (CompileResult compiled = compileDefaultExpression(asked, prefix, suffix, encoding);
        !compiled.ok) {
        HeadingSearch result;
        result.status = HeadingSearch::Status::InvalidExpression;
        result.reason = std::move(compiled.reason);
        result.suffix = suffix;
        return result;
    }
    return searchDefaultHeadings(asked, prefix, suffix, text, encoding, rules);
}

HeadingSearch searchDefaultHeadings(const ExpressionMatcher& asked, const Text& prefix,
                                    const Text& suffix, std::string_view text,
                                    const DocumentEncoding& encoding, HeadingRules rules) {
    HeadingSearch found = searchWithMatcher(asked, text, encoding, rules);
    found.suffix = suffix;
    if (found.status != HeadingSearch::Status::Done || !rules.lineRule ||
        countSpacedHeadings(found) >= kFewestRegular)
        return found;
    // Classic novels head their chapters 第…回, others 节, 卷 or 部.
    for (const char* other : headingWords::kSuffixes) {
        const Text otherSuffix = programText(other);
        if (otherSuffix == suffix) continue;
        HeadingSearch another = searchWithExpression(
            defaultExpressionFor(prefix, otherSuffix, encoding), text, encoding, rules);
        if (another.status == HeadingSearch::Status::Done &&
            countSpacedHeadings(another) >= kFewestRegular) {
            another.suffix = otherSuffix;
            another.otherSuffix = true;
            return another;
        }
    }
    // Then the headings without 第: 卷一, Chapter 1, 一、.
    HeadingSearch other = searchOtherForms(text, encoding, rules);
    if (other.status == HeadingSearch::Status::Done && other.form != HeadingForm::Suffix &&
        countSpacedHeadings(other) >= kFewestRegular) {
        other.suffix = suffix;
        return other;
    }
    return found;
}

}  // namespace folioknife::splitter
