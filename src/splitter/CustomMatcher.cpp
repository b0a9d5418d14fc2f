#include "splitter/CustomMatcher.h"

#include <pcre2.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "splitter/ByteScan.h"
#include "splitter/ChapterHeadings.h"
#include "splitter/Unicode.h"
#include "splitter/LargeBuffer.h"

namespace folioknife::splitter {

namespace {

// One character in UTF-8; length 0 when the bytes are no character.
struct Utf8Char {
    unsigned char length = 0;
    char bytes[4] = {};
};

// The code point at the start of 'utf8' when the bytes hold exactly one character.
bool oneCharacter(std::string_view utf8, Utf8Char& out) {
    if (utf8.empty() || utf8.size() > 4) return false;
    const auto c = static_cast<unsigned char>(utf8[0]);
    const std::size_t n = utf8SequenceLength(c);
    if (n != utf8.size() || utf8 == "\xEF\xBF\xBD") return false;  // U+FFFD: none
    out.length = static_cast<unsigned char>(n);
    std::memcpy(out.bytes, utf8.data(), n);
    return true;
}

const Utf8Char kReplacement = {3, {'\xEF', '\xBF', '\xBD', 0}};

// A line end other than CR and LF: VT, FF, NEL, LS or PS.
bool isRarerLineEnd(const Utf8Char& c) {
    const auto b = [&](unsigned k) { return static_cast<unsigned char>(c.bytes[k]); };
    switch (c.length) {
        case 1:
            return b(0) == 0x0B || b(0) == 0x0C;
        case 2:
            return b(0) == 0xC2 && b(1) == 0x85;
        case 3:
            return b(0) == 0xE2 && b(1) == 0x80 && (b(2) == 0xA8 || b(2) == 0xA9);
        default:
            return false;
    }
}

// True when UTF-8 text holds a line end other than CR and LF.
bool holdsRarerLineEnds(std::string_view utf8) {
    const char* const begin = utf8.data();
    const char* const end = begin + utf8.size();
    if (findEitherByte(begin, end, 0x0B, 0x0C) != end) return true;
    if (findBytePair(begin, end, 0xC2, 0x85) != end) return true;
    for (const unsigned char last : {0xA8, 0xA9}) {
        for (const char* p = begin; (p = findBytePair(p, end, 0x80, last)) != end; ++p) {
            if (p > begin && static_cast<unsigned char>(p[-1]) == 0xE2) return true;
        }
    }
    return false;
}

}  // namespace

// The characters of a legacy code page in UTF-8: every single byte, and in a double-byte code
// page every pair of a lead byte and a second byte.
struct Utf8View::Table {
    std::array<Utf8Char, 256> single{};
    std::vector<Utf8Char> pairs;  // (lead - 0x81) * 192 + (second - 0x40)
    // The same, packed for the conversion's inner loop: up to three bytes, the length above
    // them; 0 where the pair is no character of three bytes or fewer.
    std::vector<std::uint32_t> packed;
    bool doubleByte = false;
    bool fourByte = false;       // GB18030's four-byte characters
    bool rarerLineEnds = false;  // a byte or a pair is a line end other than CR and LF
    std::string codePage;

    explicit Table(const std::string& page, CharacterSet characters) : codePage(page) {
        doubleByte = characters == CharacterSet::DoubleByte;
        fourByte = sameCodePage(page, "GB18030");
        const bool gbkFamily = fourByte || sameCodePage(page, "GBK") || sameCodePage(page, "CP936");
        for (int b = 0; b < 256; ++b) {
            if (b < 0x80) {
                single[b] = {1, {static_cast<char>(b), 0, 0, 0}};
                continue;
            }
            if (doubleByte && b >= 0x81 && b <= 0xFE) continue;
            const auto converted = convertText(std::string(1, static_cast<char>(b)), page, "UTF-8");
            if (!converted || !oneCharacter(*converted, single[b])) single[b] = {};
            rarerLineEnds = rarerLineEnds || isRarerLineEnd(single[b]);
        }
        if (!doubleByte) return;
        pairs.resize(126 * 192);
        // A row of a lead byte's characters, one a line, in one conversion: an invalid pair
        // comes out as something other than one character, and the lines stay aligned.
        for (int lead = 0x81; lead <= 0xFE; ++lead) {
            std::string row;
            for (int second = 0x40; second <= 0xFE; ++second) {
                row += static_cast<char>(lead);
                row += static_cast<char>(second);
                row += '\n';
            }
            const std::string out = convertForDisplay(row, page, "UTF-8");
            std::size_t at = 0;
            for (int second = 0x40; second <= 0xFE; ++second) {
                const std::size_t end = out.find('\n', at);
                if (end == std::string::npos) break;
                Utf8Char& c = pairs[static_cast<std::size_t>((lead - 0x81) * 192 + second - 0x40)];
                if (!oneCharacter(std::string_view(out).substr(at, end - at), c) || c.length == 1)
                    c = {};
                // A well-formed pair without a character (the user-defined rows of GBK) is
                // one unknown character: its second byte begins none.
                if (c.length == 0 && gbkFamily && second != 0x7F) c = kReplacement;
                rarerLineEnds = rarerLineEnds || isRarerLineEnd(c);
                at = end + 1;
            }
        }
        packed.resize(pairs.size());
        for (std::size_t i = 0; i < pairs.size(); ++i) {
            const Utf8Char& c = pairs[i];
            if (c.length == 0 || c.length > 3) continue;
            std::uint32_t v = static_cast<std::uint32_t>(c.length) << 24;
            for (unsigned k = 0; k < c.length; ++k)
                v |= static_cast<std::uint32_t>(static_cast<unsigned char>(c.bytes[k])) << (8 * k);
            packed[i] = v;
        }
    }

    // The character at 'p': its bytes in the novel and in UTF-8.
    std::size_t decode(const unsigned char* p, const unsigned char* end, Utf8Char& out) const {
        const unsigned c = *p;
        if (doubleByte && c >= 0x81 && c <= 0xFE && end - p >= 2) {
            const unsigned second = p[1];
            if (second >= 0x40 && second <= 0xFE) {
                const Utf8Char& pair = pairs[(c - 0x81) * 192 + second - 0x40];
                if (pair.length != 0) {
                    out = pair;
                    return 2;
                }
            }
            if (fourByte && second >= 0x30 && second <= 0x39 && end - p >= 4 && p[2] >= 0x81 &&
                p[2] <= 0xFE && p[3] >= 0x30 && p[3] <= 0x39) {
                const auto converted = convertText(std::string(reinterpret_cast<const char*>(p), 4),
                                                   codePage, "UTF-8");
                if (converted && oneCharacter(*converted, out)) return 4;
            }
        }
        out = single[c].length != 0 ? single[c] : kReplacement;
        return 1;
    }
};

namespace {

const Utf8View::Table* tableFor(const DocumentEncoding& encoding) {
    // Built once a code page, for the life of the program: a split may run on another thread
    // than the last one, so the tables are guarded.
    static std::mutex guard;
    static std::map<std::string, std::unique_ptr<Utf8View::Table>> tables;
    const std::lock_guard<std::mutex> lock(guard);
    auto& table = tables[encoding.codePage];
    if (!table) table = std::make_unique<Utf8View::Table>(encoding.codePage, encoding.characters);
    return table.get();
}

}  // namespace

Utf8View::Utf8View(std::string_view novel, const DocumentEncoding& encoding)
    : novel_(novel), encoding_(encoding) {
    if (encoding.characters == CharacterSet::Utf8) {
        view_ = novel;
        return;
    }
    if (isUtf16(encoding.characters)) {
        const std::string copy = utf16ToUtf8(novel, encoding.characters == CharacterSet::Utf16Be);
        copy_.reset(new char[copy.size() + 1]);
        std::memcpy(copy_.get(), copy.data(), copy.size());
        view_ = std::string_view(copy_.get(), copy.size());
        return;
    }
    table_ = tableFor(encoding);
    // At most three bytes for each byte of the novel (a stray byte becomes U+FFFD), and one to
    // spare for the four-byte stores below; the buffer is not cleared first, so only what is
    // written is ever touched.
    const std::size_t capacity = novel.size() * 3 + 4;
    copy_.reset(new char[capacity]);
    adviseLargeBuffer(copy_.get(), capacity);
    char* out = copy_.get();
    const auto* const begin = reinterpret_cast<const unsigned char*>(novel.data());
    const auto* p = begin;
    const auto* const end = p + novel.size();
    const Table& table = *table_;
    const bool doubleByte = table.doubleByte;
    // The bytes VT and FF, and characters of the slow path, are looked at as they pass; a code
    // page with such a character elsewhere is taken to have one.
    bool rarer = table.rarerLineEnds;
    Utf8Char c;
    while (p < end) {
        // Where the view stands every few hundred bytes of the novel, for carrying offsets
        // back (a character may end a little past the block).
        checkpoints_.push_back(
            {static_cast<std::int64_t>(p - begin), static_cast<std::int64_t>(out - copy_.get())});
        const auto* const blockEnd =
            static_cast<std::size_t>(end - p) > kCheckpointSpacing ? p + kCheckpointSpacing : end;
        while (p < blockEnd) {
            const unsigned lead = *p;
            if (lead < 0x80) {
                rarer = rarer || lead == 0x0B || lead == 0x0C;
                *out++ = static_cast<char>(lead);
                ++p;
                continue;
            }
            if (doubleByte && lead >= 0x81 && lead <= 0xFE && end - p >= 2 && p[1] >= 0x40 &&
                p[1] <= 0xFE) {
                const std::uint32_t v = table.packed[(lead - 0x81) * 192 + p[1] - 0x40];
                if (v != 0) {
                    std::memcpy(out, &v, 4);  // little-endian: the character's bytes in order
                    out += v >> 24;
                    p += 2;
                    continue;
                }
            }
            p += table.decode(p, end, c);
            rarer = rarer || isRarerLineEnd(c);
            std::memcpy(out, c.bytes, c.length);
            out += c.length;
        }
    }
    view_ = std::string_view(copy_.get(), static_cast<std::size_t>(out - copy_.get()));
    rarerLineEnds_ = rarer;
}

Utf8View::~Utf8View() = default;

bool Utf8View::rarerLineEnds() const {
    if (!rarerLineEnds_) rarerLineEnds_ = holdsRarerLineEnds(view_);
    return *rarerLineEnds_;
}

std::vector<std::int64_t> Utf8View::novelOffsets(
    const std::vector<std::int64_t>& viewOffsets) const {
    if (encoding_.characters == CharacterSet::Utf8) return viewOffsets;
    if (isUtf16(encoding_.characters)) {
        return utf16OffsetsOf(novel_, encoding_.characters == CharacterSet::Utf16Be, viewOffsets);
    }
    std::vector<std::int64_t> out;
    out.reserve(viewOffsets.size());
    const auto* const begin = reinterpret_cast<const unsigned char*>(novel_.data());
    const auto* const end = begin + novel_.size();
    std::size_t k = 0;  // the checkpoint walked from
    const auto* p = begin;
    std::int64_t at = 0;
    Utf8Char c;
    for (const std::int64_t target : viewOffsets) {
        // Jump to the last checkpoint at or before the target, then walk.
        while (k + 1 < checkpoints_.size() && checkpoints_[k + 1].second <= target) ++k;
        if (k < checkpoints_.size() && checkpoints_[k].second > at) {
            p = begin + checkpoints_[k].first;
            at = checkpoints_[k].second;
        }
        while (at < target && p < end) {
            if (*p < 0x80) {
                ++p, ++at;
                continue;
            }
            const std::uint32_t v = table_->doubleByte && *p >= 0x81 && *p <= 0xFE &&
                                            end - p >= 2 && p[1] >= 0x40 && p[1] <= 0xFE
                                        ? table_->packed[(*p - 0x81) * 192 + p[1] - 0x40]
                                        : 0;
            if (v != 0) {
                p += 2;
                at += v >> 24;
                continue;
            }
            p += table_->decode(p, end, c);
            at += c.length;
        }
        out.push_back(static_cast<std::int64_t>(p - begin));
    }
    return out;
}

struct CustomMatcher::Compiled {
    pcre2_code* code = nullptr;
    // The same pattern with CR and LF the only line ends, for a pattern that starts at a line
    // start: the engine finds line starts far faster so, and a text without the rarer line
    // ends (VT, FF, NEL, LS, PS) matches the same. Null for other patterns.
    pcre2_code* crLf = nullptr;
    bool jit = false;
    bool startsAtLine = false;
    ~Compiled() {
        if (code) pcre2_code_free(code);
        if (crLf) pcre2_code_free(crLf);
    }
    const pcre2_code* forText(bool rarerLineEnds) const {
        return crLf && !rarerLineEnds ? crLf : code;
    }
};

CustomMatcher::CustomMatcher() = default;
CustomMatcher::~CustomMatcher() = default;
CustomMatcher::CustomMatcher(CustomMatcher&&) noexcept = default;
CustomMatcher& CustomMatcher::operator=(CustomMatcher&&) noexcept = default;

namespace {

// Line starts and ends after any line end (CR, LF, CR LF, and the rarer ones); "." takes none
// of them. A damaged byte of a UTF-8 novel matches nothing and stops nothing.
pcre2_code* compilePattern(const std::string& pattern, int& error, PCRE2_SIZE& at,
                           std::uint32_t newline = PCRE2_NEWLINE_ANY) {
    const std::uint32_t options =
        PCRE2_UTF | PCRE2_UCP | PCRE2_MULTILINE | PCRE2_MATCH_INVALID_UTF | PCRE2_USE_OFFSET_LIMIT;
    pcre2_compile_context* context = pcre2_compile_context_create(nullptr);
    pcre2_set_newline(context, newline);
    pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                                     options, &error, &at, context);
    pcre2_compile_context_free(context);
    return code;
}

}  // namespace

CompileResult CustomMatcher::compile(const Text& expression) {
    const std::string_view typed = std::string_view(expression).substr(0, expression.find('\0'));
    auto utf8 = sameCodePage(programCodePage(), "UTF-8")
                    ? std::optional<std::string>(typed)
                    : convertText(typed, programCodePage(), "UTF-8");
    if (!utf8)
        return CompileResult::failed("the expression is no text in code page " + programCodePage());
    const PreparedExpression prepared = prepareExpression(*utf8);
    // Where the engine stopped, in the expression as given: its UTF-8 byte and character.
    const auto failedAt = [&](std::string reason, std::size_t byte) {
        byte = std::min(byte, utf8->size());
        CompileResult failed = CompileResult::failed(std::move(reason), byte);
        failed.placed = true;
        for (std::size_t k = 0; k < byte; ++k)
            failed.character += (static_cast<unsigned char>((*utf8)[k]) & 0xC0) != 0x80;
        return failed;
    };
    if (!prepared.ok()) return failedAt(prepared.reason, prepared.at);
    int error = 0;
    PCRE2_SIZE at = 0;
    std::string pattern = prepared.text;
    pcre2_code* code = compilePattern(pattern, error, at);
    if (!code && error == PCRE2_ERROR_LOOKBEHIND_NOT_FIXED_LENGTH) {
        // PCRE2 10.42 takes a look-behind of several fixed lengths, not one of a varying
        // length, which Java takes when it is bounded: it is written as the former.
        std::string reason;
        std::size_t where = 0;
        const std::string fixed = fixLookBehinds(prepared.text, reason, where);
        if (!reason.empty()) return failedAt(reason, prepared.origin[where]);
        int again = 0;
        PCRE2_SIZE stop = 0;
        if (fixed != prepared.text) code = compilePattern(fixed, again, stop);
        pattern = fixed;
    }
    if (!code) {
        PCRE2_UCHAR message[256];
        pcre2_get_error_message(error, message, sizeof message);
        return failedAt(reinterpret_cast<const char*>(message),
                        prepared.origin[std::min<std::size_t>(at, prepared.text.size())]);
    }
    auto compiled = std::make_unique<Compiled>();
    compiled->code = code;
    // Without the JIT (a system that forbids executable memory) the interpreter does it.
    constexpr std::uint32_t kJitModes = PCRE2_JIT_COMPLETE | PCRE2_JIT_PARTIAL_HARD;
    compiled->jit = pcre2_jit_compile(code, kJitModes) == 0;
    std::uint32_t first = 0;
    pcre2_pattern_info(code, PCRE2_INFO_FIRSTCODETYPE, &first);
    compiled->startsAtLine = first == 2;
    if (compiled->startsAtLine) {
        int ignored = 0;
        PCRE2_SIZE stop = 0;
        compiled->crLf = compilePattern(pattern, ignored, stop, PCRE2_NEWLINE_ANYCRLF);
        if (compiled->crLf && compiled->jit && pcre2_jit_compile(compiled->crLf, kJitModes) != 0) {
            pcre2_code_free(compiled->crLf);
            compiled->crLf = nullptr;
        }
    }
    compiled_ = std::move(compiled);
    return {};
}

namespace {

// The engine's limits hold for one starting position.
constexpr std::uint32_t kMatchLimit = 1'000'000;
constexpr std::uint32_t kDepthLimit = 100'000;
constexpr std::uint32_t kHeapLimitKiB = 256 * 1024;

// What one search needs of the engine besides the pattern, under the limits above.
struct MatchResources {
    pcre2_match_context* context = pcre2_match_context_create(nullptr);
    pcre2_match_data* data = nullptr;
    pcre2_jit_stack* stack = pcre2_jit_stack_create(32 * 1024, 8 * 1024 * 1024, nullptr);

    MatchResources(const pcre2_code* code, bool jit) {
        data = pcre2_match_data_create_from_pattern(code, nullptr);
        if (!context) return;
        pcre2_set_match_limit(context, kMatchLimit);
        pcre2_set_depth_limit(context, kDepthLimit);
        pcre2_set_heap_limit(context, kHeapLimitKiB);
        if (jit && stack) pcre2_jit_stack_assign(context, nullptr, stack);
    }
    ~MatchResources() {
        if (data) pcre2_match_data_free(data);
        if (stack) pcre2_jit_stack_free(stack);
        if (context) pcre2_match_context_free(context);
    }
    MatchResources(const MatchResources&) = delete;
    MatchResources& operator=(const MatchResources&) = delete;
    bool ready() const { return context && data; }
};

// A search tries the positions of a window at a time, so that the clock is read often: the
// window grows while the searches are quick and shrinks when one is slow.
class SearchWindow {
public:
    std::size_t size() const { return size_; }
    void took(double seconds) {
        constexpr double kQuick = 0.002, kSlow = 0.05;
        if (seconds < kQuick && size_ < kLargest) size_ *= 2;
        if (seconds > kSlow && size_ > kSmallest) size_ /= 4;
    }

private:
    static constexpr std::size_t kSmallest = 64;
    static constexpr std::size_t kLargest = std::size_t{1} << 20;
    std::size_t size_ = kSmallest;
};

// The start of the UTF-8 character after the one at 'at'.
std::size_t nextUtf8Character(std::string_view text, std::size_t at) {
    ++at;
    while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) ++at;
    return at;
}

// True between the CR and the LF of a CR LF. A CR LF is one line end, which the engine does not
// search from between its two (^ would take the LF for a line start there), unless a search is
// told to start at it.
bool insideCrLf(std::string_view text, std::size_t at) {
    return at > 0 && at < text.size() && text[at] == '\n' && text[at - 1] == '\r';
}

}  // namespace

// One search of the engine's, carried over the pieces of a text: the engine's resources, the
// window of positions tried at a time, and the time spent so far.
struct CustomMatcher::Searcher {
    Searcher(const Compiled& c, double budgetSeconds)
        : compiled(c), resources(c.code, c.jit), budget(budgetSeconds) {}
    bool ready() const { return resources.ready(); }

    // The characters the pattern looks back at most, before where a match starts.
    std::size_t lookBehind() const {
        std::uint32_t characters = 0;
        pcre2_pattern_info(compiled.code, PCRE2_INFO_MAXLOOKBEHIND, &characters);
        return characters;
    }

    // Searches 'text' from 'at' (the text before 'at' is seen by ^ and look-behinds only) and
    // appends each match to 'out'. Unless 'last', the text goes on past its end: a match that
    // more text might change is not taken, and the search stops where it starts. Returns where
    // a search of more text must go on (text.size() when every start before the end was
    // tried), or npos when the engine gave up or the time ran out.
    std::size_t run(std::string_view text, std::size_t at, bool last,
                    std::vector<ExpressionMatch>& out, bool rarerLineEnds) {
        using Clock = std::chrono::steady_clock;
        const pcre2_code* const code = compiled.forText(rarerLineEnds);
        const auto* subject = reinterpret_cast<PCRE2_SPTR>(text.data());
        const std::size_t length = text.size();
        const std::uint32_t options = last ? 0 : PCRE2_PARTIAL_HARD;
        // A piece that ends at a line end is searched from every position before it; the line
        // end itself is searched from with the text after it, by the next piece. (Told that
        // the text may go on, the engine would take the LF of a CR LF at the end for a line
        // start.)
        std::size_t tail = length;
        if (!last) {
            tail = length - 1;
            if (insideCrLf(text, tail)) --tail;
        }
        while (last ? at <= length : at < tail) {
            std::size_t limit = length - at > window.size() ? at + window.size() : length;
            // The next search starts after the limit: not between a CR and its LF, where the
            // engine would not have looked for a line start.
            if (insideCrLf(text, limit + 1)) ++limit;
            if (!last) limit = std::min(limit, tail - 1);
            pcre2_set_offset_limit(resources.context, limit);
            const Clock::time_point before = Clock::now();
            const int rc =
                pcre2_match(code, subject, length, at, options, resources.data, resources.context);
            const double took = std::chrono::duration<double>(Clock::now() - before).count();
            spent += took;
            if (spent > budget) return std::string_view::npos;
            window.took(took);
            if (rc == PCRE2_ERROR_NOMATCH) {
                if (limit >= length || (!last && limit + 1 >= tail)) break;
                at = nextUtf8Character(text, limit);
                continue;
            }
            const PCRE2_SIZE* vector = pcre2_get_ovector_pointer(resources.data);
            // A match that may go on past the end: searched again from its start with more
            // text, or from the CR before it, as the engine would have come to it.
            if (rc == PCRE2_ERROR_PARTIAL) {
                const std::size_t from = std::clamp<std::size_t>(vector[0], at, length);
                return from > at && insideCrLf(text, from) ? from - 1 : from;
            }
            // The match limit, the JIT stack, the heap limit, memory, or what else the engine
            // gives up for.
            if (rc < 0) {
                exhausted = true;
                return std::string_view::npos;
            }
            const std::size_t start = vector[0];
            // \K may end a match before its start; such a match is taken as empty.
            const std::size_t end = vector[1] > start ? vector[1] : start;
            if (!last && end >= length) return at;
            // Told that the text may go on, the engine tries every position for a pattern
            // that starts at a line start, and takes the LF of a CR LF for one; searching the
            // whole text, it does not.
            if (!last && compiled.startsAtLine && start > at && insideCrLf(text, start)) {
                at = start + 1;
                continue;
            }
            out.push_back(
                {static_cast<std::int64_t>(start), static_cast<std::int64_t>(end - start)});
            if (end == start) {
                if (start >= length) break;
                // After an empty match the search goes on a character later, past a CR LF
                // whole: an empty match before its CR is the only one at that line end.
                at = nextUtf8Character(text, start);
                if (insideCrLf(text, at)) ++at;
            } else {
                at = end;
            }
        }
        return last ? length : std::max(at, tail);
    }

    const Compiled& compiled;
    MatchResources resources;
    SearchWindow window;
    double budget;
    double spent = 0;
    bool exhausted = false;  // the engine gave up (not the clock)
};

SearchResult CustomMatcher::searchAll(std::string_view text, double budgetSeconds) const {
    SearchResult result;
    if (!compiled_) return result;
    Searcher searcher(*compiled_, budgetSeconds);
    // A search that cannot finish gives no headings.
    if (!searcher.ready() ||
        searcher.run(text, 0, true, result.matches, !compiled_->crLf || holdsRarerLineEnds(text)) ==
            std::string_view::npos)
        return SearchResult{{}, false};
    return result;
}

namespace {

// The size of the novel's characters in bytes, for stepping over line ends: two in UTF-16.
std::size_t unitOf(const DocumentEncoding& encoding) {
    return isUtf16(encoding.characters) ? 2 : 1;
}

// The line end character (CR or LF) at 'at', or 0.
char lineEndAt(std::string_view novel, const DocumentEncoding& encoding, std::size_t at) {
    if (isUtf16(encoding.characters)) {
        if (at + 1 >= novel.size()) return 0;
        const std::size_t low = encoding.characters == CharacterSet::Utf16Be ? 1 : 0;
        const char c = novel[at + low];
        return (c == '\n' || c == '\r') && novel[at + 1 - low] == 0 ? c : 0;
    }
    if (at >= novel.size()) return 0;
    return novel[at] == '\n' || novel[at] == '\r' ? novel[at] : 0;
}

// Where a piece of the novel that reaches at least to 'from' ends: after the first line end
// there (a CR LF whole), or at the end of the novel. A line end is a character of its own in
// every code page the novel may be in, so a piece always ends between characters.
std::size_t pieceEnd(std::string_view novel, const DocumentEncoding& encoding, std::size_t from) {
    if (from >= novel.size()) return novel.size();
    const std::size_t unit = unitOf(encoding);
    std::size_t at = from;
    if (unit == 2) {
        at += at & 1;
        while (at + 1 < novel.size() && !lineEndAt(novel, encoding, at)) at += 2;
    } else {
        const char* const end = novel.data() + novel.size();
        at = static_cast<std::size_t>(findEitherByte(novel.data() + at, end, '\n', '\r') -
                                      novel.data());
    }
    const char c = lineEndAt(novel, encoding, at);
    if (!c) return novel.size();
    if (c == '\r' && lineEndAt(novel, encoding, at + unit) == '\n') at += unit;
    return at + unit;
}

// Where the line end that closes a piece ending at 'end' begins (its CR of a CR LF).
std::size_t closingLineEnd(std::string_view novel, const DocumentEncoding& encoding,
                           std::size_t end) {
    const std::size_t unit = unitOf(encoding);
    std::size_t at = end - unit;
    if (at >= unit && lineEndAt(novel, encoding, at) == '\n' &&
        lineEndAt(novel, encoding, at - unit) == '\r')
        at -= unit;
    return at;
}

// The start of a line at or before 'at' (0 when there is none): a reading begun there is the
// same as the reading of the whole novel from there.
std::size_t lineStartBefore(std::string_view novel, const DocumentEncoding& encoding,
                            std::size_t at) {
    const std::size_t unit = unitOf(encoding);
    at -= at % unit;
    while (at >= unit) {
        if (lineEndAt(novel, encoding, at - unit)) return at;
        at -= unit;
    }
    return 0;
}

}  // namespace

// A thread that runs the jobs handed to it one at a time, each waited for.
class HelperThread {
public:
    HelperThread() {
        try {
            thread_ = std::thread([this] { serve(); });
        } catch (const std::system_error&) {
            // No thread: every piece is searched by the thread that asks.
        }
    }
    ~HelperThread() {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        if (thread_.joinable()) thread_.join();
    }
    HelperThread(const HelperThread&) = delete;
    HelperThread& operator=(const HelperThread&) = delete;

    bool running() const { return thread_.joinable(); }
    void start(std::function<void()> job) {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            job_ = std::move(job);
            done_ = false;
        }
        changed_.notify_all();
    }
    void wait() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return done_; });
    }

private:
    void serve() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return stop_ || job_; });
            if (stop_) return;
            const std::function<void()> job = std::move(job_);
            job_ = nullptr;
            lock.unlock();
            job();
            lock.lock();
            done_ = true;
            changed_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::function<void()> job_;
    bool done_ = true;
    bool stop_ = false;
    std::thread thread_;  // last: it starts once the rest is made
};

// The search of one piece of the novel, from where the search stands to a line end.
struct CustomMatcher::PieceSearch {
    std::size_t from = 0;   // where its reading begins, in the novel
    std::size_t start = 0;  // where its search begins, in the novel
    std::size_t end = 0;    // where it ends, in the novel
    std::unique_ptr<Utf8View> piece;
    std::size_t mark = 0;                // a byte-order mark at the start of the reading
    std::vector<ExpressionMatch> found;  // in the reading
    std::size_t resume = 0;  // where the search goes on, in the reading; npos: it gave up
    double spent = 0;
    bool searched = false;
    bool exhausted = false;  // the engine gave up on it
};

namespace {

// Bytes of the novel read before where a search begins, for its look-behinds and ^: a few
// times the longest look-behind's characters, at the start of a line.
std::size_t contextStart(std::string_view novel, const DocumentEncoding& encoding,
                         std::size_t start, std::size_t lookBehind) {
    const std::size_t before = (lookBehind + 4) * 8;
    return lineStartBefore(novel, encoding, start > before ? start - before : 0);
}

}  // namespace

void CustomMatcher::searchPiece(Searcher& searcher, std::string_view novel,
                                const DocumentEncoding& encoding, PieceSearch& p) const {
    const bool last = p.end >= novel.size();
    p.piece = std::make_unique<Utf8View>(novel.substr(p.from, p.end - p.from), encoding);
    const std::string_view reading = p.piece->text();
    // A byte-order mark is no character of the text: ^ matches right after it.
    p.mark = p.from == 0 && reading.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
    // The reading up to the start is the reading of that stretch of the novel on its own.
    const std::size_t at =
        p.start == p.from
            ? 0
            : Utf8View(novel.substr(p.from, p.start - p.from), encoding).text().size();
    const double before = searcher.spent;
    searcher.exhausted = false;
    p.resume = searcher.run(reading.substr(p.mark), std::max(at, p.mark) - p.mark, last, p.found,
                            !compiled_->crLf || p.piece->rarerLineEnds());
    p.spent = searcher.spent - before;
    p.exhausted = searcher.exhausted;
    p.searched = true;
    if (p.resume == std::string_view::npos) return;
    p.resume += p.mark;
    for (ExpressionMatch& m : p.found) m.offset += static_cast<std::int64_t>(p.mark);
}

bool CustomMatcher::searchNovel(std::string_view novel, const DocumentEncoding& encoding,
                                const PieceMatches& each, double budgetSeconds,
                                std::size_t pieceBytes) const {
    if (!compiled_) return true;
    // Two searches side by side: this thread's on the piece where the search stands, and a
    // helper's on the piece after it, begun at that piece's start in the hope that the search
    // comes to stand there, as it does unless a match reaches over the line end between.
    Searcher mine(*compiled_, budgetSeconds), helper(*compiled_, budgetSeconds);
    if (!mine.ready() || !helper.ready()) return false;
    HelperThread thread;
    const std::size_t lookBehind = mine.lookBehind();
    pieceBytes = std::max<std::size_t>(pieceBytes, 1);
    const auto pieceFrom = [&](std::size_t start, std::size_t span) {
        PieceSearch p;
        p.start = start;
        p.from = contextStart(novel, encoding, start, lookBehind);
        // A piece that begins at a line end reaches at least to the next one.
        std::size_t reach = start + span;
        if (const char c = lineEndAt(novel, encoding, start)) {
            const std::size_t unit = unitOf(encoding);
            const bool crLf = c == '\r' && lineEndAt(novel, encoding, start + unit) == '\n';
            reach = std::max(reach, start + (crLf ? 2 : 1) * unit);
        }
        p.end = pieceEnd(novel, encoding, reach);
        return p;
    };
    double spent = 0;
    std::size_t span = pieceBytes;
    std::vector<std::int64_t> offsets;
    std::vector<PieceMatch> matches;
    // Hands on the matches of a searched piece; where the search goes on in the novel, or
    // npos when it is over.
    const auto take = [&](const PieceSearch& p) {
        const std::string_view reading = p.piece->text();
        offsets.clear();
        for (const ExpressionMatch& m : p.found)
            offsets.push_back(m.offset), offsets.push_back(m.offset + m.length);
        const std::vector<std::int64_t> inNovel = p.piece->novelOffsets(offsets);
        matches.clear();
        const auto from = static_cast<std::int64_t>(p.from);
        for (std::size_t i = 0; i < p.found.size(); ++i) {
            const std::int64_t start = from + inNovel[2 * i];
            matches.push_back({p.found[i], {start, from + inNovel[2 * i + 1] - start}});
        }
        if (!matches.empty()) each(reading, matches);
        if (p.end >= novel.size()) return std::string_view::npos;
        const std::size_t resume = p.from + static_cast<std::size_t>(p.piece->novelOffsets(
                                                {static_cast<std::int64_t>(p.resume)})[0]);
        // A match that may reach over a whole piece: the next one reads twice as far.
        const bool stopped = resume < closingLineEnd(novel, encoding, p.end);
        span = stopped && p.end - resume >= span / 2 ? span * 2 : pieceBytes;
        return resume;
    };
    PieceSearch current = pieceFrom(0, span);
    for (;;) {
        // The helper begins on the next piece while this one is searched. A helper that
        // cannot start, or fails, leaves its piece to this thread.
        std::optional<PieceSearch> next;
        struct Waited {
            HelperThread& thread;
            bool started = false;
            ~Waited() {
                if (started) thread.wait();
            }
        } waited{thread};
        if (current.end < novel.size() && thread.running()) {
            next = pieceFrom(closingLineEnd(novel, encoding, current.end), pieceBytes);
            thread.start([&] {
                try {
                    searchPiece(helper, novel, encoding, *next);
                } catch (...) {
                    next->searched = false;
                }
            });
            waited.started = true;
        }
        searchPiece(mine, novel, encoding, current);
        if (waited.started) thread.wait(), waited.started = false;
        if (next && !next->searched) next.reset();
        // Told that the text may go on, the engine cannot rule out a match by a character it
        // needs that the piece lacks, and may give up where a search of the whole would not:
        // such a piece is searched again with the rest of the novel, as one reading.
        const auto retried = [&](const PieceSearch& p) {
            return p.resume == std::string_view::npos && p.exhausted && p.end < novel.size();
        };
        spent += current.spent;
        if (spent > budgetSeconds) return false;
        if (retried(current)) {
            current = pieceFrom(current.start, novel.size());
            continue;
        }
        if (current.resume == std::string_view::npos) return false;
        std::size_t resume = take(current);
        if (resume == std::string_view::npos) return true;
        // The helper's piece holds when the search came to stand where it began.
        if (next && next->start == resume) {
            spent += next->spent;
            if (spent > budgetSeconds) return false;
            if (retried(*next)) {
                current = pieceFrom(next->start, novel.size());
                continue;
            }
            if (next->resume == std::string_view::npos) return false;
            resume = take(*next);
            if (resume == std::string_view::npos) return true;
        }
        current = pieceFrom(resume, span);
    }
}

}  // namespace folioknife::splitter
