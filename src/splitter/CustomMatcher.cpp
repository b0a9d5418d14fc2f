#include "splitter/CustomMatcher.h"

#include <pcre2.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>

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
    bool fourByte = false;  // GB18030's four-byte characters
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
            std::memcpy(out, c.bytes, c.length);
            out += c.length;
        }
    }
    view_ = std::string_view(copy_.get(), static_cast<std::size_t>(out - copy_.get()));
}

Utf8View::~Utf8View() = default;

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
    bool jit = false;
    ~Compiled() {
        if (code) pcre2_code_free(code);
    }
};

CustomMatcher::CustomMatcher() = default;
CustomMatcher::~CustomMatcher() = default;
CustomMatcher::CustomMatcher(CustomMatcher&&) noexcept = default;
CustomMatcher& CustomMatcher::operator=(CustomMatcher&&) noexcept = default;

namespace {

// Line starts and ends after any line end (CR, LF, CR LF, and the rarer ones); "." takes none
// of them. A damaged byte of a UTF-8 novel matches nothing and stops nothing.
pcre2_code* compilePattern(const std::string& pattern, int& error, PCRE2_SIZE& at) {
    const std::uint32_t options =
        PCRE2_UTF | PCRE2_UCP | PCRE2_MULTILINE | PCRE2_MATCH_INVALID_UTF | PCRE2_USE_OFFSET_LIMIT;
    pcre2_compile_context* context = pcre2_compile_context_create(nullptr);
    pcre2_set_newline(context, PCRE2_NEWLINE_ANY);
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
    pcre2_code* code = compilePattern(prepared.text, error, at);
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
    compiled->jit = pcre2_jit_compile(code, PCRE2_JIT_COMPLETE) == 0;
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

}  // namespace

SearchResult CustomMatcher::searchAll(std::string_view text, double budgetSeconds) const {
    SearchResult result;
    if (!compiled_) return result;
    // A search that cannot finish gives no headings.
    const SearchResult gaveUp{{}, false};
    MatchResources r(compiled_->code, compiled_->jit);
    if (!r.ready()) return gaveUp;
    // The whole search has a budget of time.
    using Clock = std::chrono::steady_clock;
    const auto seconds = [](Clock::time_point from, Clock::time_point to) {
        return std::chrono::duration<double>(to - from).count();
    };
    const Clock::time_point started = Clock::now();
    const auto* subject = reinterpret_cast<PCRE2_SPTR>(text.data());
    const std::size_t length = text.size();
    SearchWindow window;
    std::size_t at = 0;
    while (at <= length) {
        const std::size_t limit = length - at > window.size() ? at + window.size() : length;
        pcre2_set_offset_limit(r.context, limit);
        const Clock::time_point before = Clock::now();
        const int rc = pcre2_match(compiled_->code, subject, length, at, 0, r.data, r.context);
        const Clock::time_point after = Clock::now();
        if (seconds(started, after) > budgetSeconds) return gaveUp;
        window.took(seconds(before, after));
        if (rc == PCRE2_ERROR_NOMATCH) {
            if (limit >= length) break;
            at = nextUtf8Character(text, limit);
            continue;
        }
        // The match limit, the JIT stack, the heap limit, memory, or what else the engine
        // gives up for.
        if (rc < 0) return gaveUp;
        const PCRE2_SIZE* vector = pcre2_get_ovector_pointer(r.data);
        const std::size_t start = vector[0];
        // \K may end a match before its start; such a match is taken as empty.
        const std::size_t end = vector[1] > start ? vector[1] : start;
        result.matches.push_back(
            {static_cast<std::int64_t>(start), static_cast<std::int64_t>(end - start)});
        if (end == start) {
            if (start >= length) break;
            at = nextUtf8Character(text, start);
        } else {
            at = end;
        }
    }
    return result;
}

}  // namespace folioknife::splitter
