#include "splitter/ExpressionMatcher.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <string>

#include "MatcherTraits.h"
#include "splitter/ByteScan.h"

namespace folioknife::splitter {

struct ExpressionMatcher::Compiled {
    boost::basic_regex<char, MatcherTraits> regex;
    std::string literal;  // every match begins with these bytes; may be empty
};

namespace {
bool isMeta(char c) {
    switch (c) {
        case '\\':
        case '^':
        case '$':
        case '.':
        case '|':
        case '?':
        case '*':
        case '+':
        case '(':
        case ')':
        case '[':
        case ']':
        case '{':
        case '}':
            return true;
        default:
            return false;
    }
}
bool isQuantifier(char c) { return c == '?' || c == '*' || c == '+' || c == '{'; }

// True when the expression has a '|' outside every group and bracket expression.
bool hasTopLevelAlternative(std::string_view e) {
    int depth = 0;
    for (std::size_t i = 0; i < e.size(); ++i) {
        const char c = e[i];
        if (c == '\\') {
            ++i;
        } else if (c == '[') {
            // A ']' right after '[' or '[^' is a member; escapes work inside brackets too.
            std::size_t j = i + 1;
            if (j < e.size() && e[j] == '^') ++j;
            if (j < e.size() && e[j] == ']') ++j;
            while (j < e.size() && e[j] != ']') j += e[j] == '\\' ? 2 : 1;
            i = j;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')') {
            --depth;
        } else if (c == '|' && depth <= 0) {
            return true;
        }
    }
    return false;
}
}  // namespace

std::string requiredLiteralPrefix(std::string_view e) {
    e = e.substr(0, e.find('\0'));
    // Inline options ((?i), (?x) ...), look-arounds, verbs and quoting change what the bytes
    // mean; \K starts the match later than the literal. \c takes the next character along,
    // even a parenthesis, and a bracket expression may hold [:class:], [=x=] or [.x.] with a
    // ']' of its own: the scan for alternatives below would misread either. An alternative at
    // the top means a match need not begin with the first branch. Any of these, and the
    // engine searches by itself.
    for (std::string_view unsafe : {"(?", "(*", "\\Q", "\\K", "\\c", "[:", "[=", "[."}) {
        if (e.find(unsafe) != std::string_view::npos) return {};
    }
    if (hasTopLevelAlternative(e)) return {};
    std::size_t i = 0, groups = 0;
    while (i < e.size() && e[i] == '(') ++groups, ++i;
    std::string literal;
    while (i < e.size() && !isMeta(e[i])) literal += e[i++];
    if (groups == 0) {
        // "ab*": only the bytes before the quantified one are certain.
        if (i < e.size() && isQuantifier(e[i]) && !literal.empty()) literal.pop_back();
        return literal;
    }
    // "((第))(...)": the groups must hold the literal alone and not be quantified.
    for (std::size_t g = 0; g < groups; ++g, ++i) {
        if (i >= e.size() || e[i] != ')') return {};
    }
    if (i < e.size() && isQuantifier(e[i])) return {};
    return literal;
}

ExpressionMatcher::ExpressionMatcher() = default;
ExpressionMatcher::~ExpressionMatcher() = default;
ExpressionMatcher::ExpressionMatcher(ExpressionMatcher&&) noexcept = default;
ExpressionMatcher& ExpressionMatcher::operator=(ExpressionMatcher&&) noexcept = default;

CompileResult ExpressionMatcher::compile(const Text& expression) {
    const std::string_view bytes = std::string_view(expression).substr(0, expression.find('\0'));
    try {
        auto compiled = std::make_unique<Compiled>();
        compiled->regex.assign(bytes.data(), bytes.data() + bytes.size(),
                               boost::regex_constants::perl);
        compiled->literal = requiredLiteralPrefix(bytes);
        compiled_ = std::move(compiled);
        return {};
    } catch (const boost::regex_error& e) {
        // The short reason ("Unmatched marking parenthesis ( or \(."): what() also quotes the
        // expression, which may be in another encoding than the one the user reads.
        const auto at = e.position() < 0 ? 0 : static_cast<std::size_t>(e.position());
        return CompileResult::failed(MatcherTraits().error_string(e.code()), at);
    } catch (const std::exception& e) {
        return CompileResult::failed(e.what());  // memory
    }
}

namespace {

using Regex = boost::basic_regex<char, MatcherTraits>;

// The first place from 'from' on where the literal stands. The key is the literal's byte at
// 'key', or, in a literal of two bytes or more, the pair of bytes that starts there: a pair such
// as the two bytes of 第 is far rarer in a novel than either byte alone, so far fewer candidates
// stop the scan.
const char* findLiteral(const char* from, const char* end, const std::string& literal,
                        std::size_t key) {
    const bool pair = literal.size() >= 2;
    const auto first = static_cast<unsigned char>(literal[key]);
    const auto second = pair ? static_cast<unsigned char>(literal[key + 1]) : first;
    for (const char* p = from + key; p < end;) {
        const char* hit = pair ? findBytePair(p, end, first, second)
                               : static_cast<const char*>(
                                     std::memchr(p, first, static_cast<std::size_t>(end - p)));
        if (!hit || hit == end) return nullptr;
        const char* candidate = hit - key;
        if (static_cast<std::size_t>(end - candidate) >= literal.size() &&
            std::memcmp(candidate, literal.data(), literal.size()) == 0) {
            return candidate;
        }
        p = hit + 1;
    }
    return nullptr;
}

// Where in the literal its rarest byte pair begins, counted in the first MiB of the text; 0 for
// a literal of one byte.
std::size_t rarestPairAt(std::string_view text, const std::string& literal) {
    std::size_t key = 0;
    if (literal.size() < 2) return key;
    const char* const begin = text.data();
    const char* const sampleEnd = begin + std::min(text.size(), std::size_t{1} << 20);
    std::size_t fewest = static_cast<std::size_t>(-1);
    for (std::size_t i = 0; i + 1 < literal.size(); ++i) {
        const auto a = static_cast<unsigned char>(literal[i]);
        const auto b = static_cast<unsigned char>(literal[i + 1]);
        std::size_t count = 0;
        for (const char* p = findBytePair(begin, sampleEnd, a, b); p != sampleEnd && count < fewest;
             p = findBytePair(p + 1, sampleEnd, a, b)) {
            ++count;
        }
        if (count < fewest) fewest = count, key = i;
    }
    return key;
}

// Where a search through one text stands.
struct Cursor {
    std::string_view text;
    CharacterSet characters;
    const char* start;    // the restart point: the engine's beginning of the text
    const char* from;     // where the search resumes
    std::size_t key = 0;  // see findLiteral
    int failures = 0;     // candidates that failed in a row
};

enum class Engine { Found, End, GaveUp };

// Candidates are tried one at a time only while they fail cheaply. An expression such as
// 第.*X tries every candidate to the end of the text; after a few failures in a row the
// engine scans on by itself, under the one effort limit it sets for a whole search.
constexpr int kCandidateFailuresBeforeScan = 16;

// The engine's next match from the cursor on, in 'm'. With a literal that every match begins
// with, the engine only tries the places where it stands.
Engine nextEngineMatch(const Regex& regex, const std::string& literal, Cursor& c,
                       boost::match_results<const char*>& m) {
    const char* const end = c.text.data() + c.text.size();
    try {
        if (literal.empty()) {
            // With 'start' as the base and no match_prev_avail, the engine sees nothing
            // before 'start', so ^, \A, \b and look-behinds treat it as the beginning of
            // the text, wherever in it the search resumes.
            return boost::regex_search(c.from, end, m, regex, boost::regex_constants::match_default,
                                       c.start)
                       ? Engine::Found
                       : Engine::End;
        }
        for (;;) {
            const char* candidate = findLiteral(c.from, end, literal, c.key);
            if (!candidate) return Engine::End;
            if (!isCharacterBoundary(c.text, static_cast<std::size_t>(candidate - c.text.data()),
                                     c.characters)) {
                c.from = candidate + 1;  // no heading begins inside a character
                continue;
            }
            // From the candidate with 'start' as the base: the engine sees the bytes from
            // 'start' on, exactly as in a search that began there, and no match can begin
            // before the candidate, since every match begins with the literal.
            const bool one = c.failures < kCandidateFailuresBeforeScan;
            if (boost::regex_search(candidate, end, m, regex,
                                    one ? boost::regex_constants::match_default |
                                              boost::regex_constants::match_continuous
                                        : boost::regex_constants::match_default,
                                    c.start))
                return Engine::Found;
            if (!one) return Engine::End;
            ++c.failures;
            c.from = candidate + 1;
        }
    } catch (const std::exception&) {
        return Engine::GaveUp;  // complexity or stack limit, or memory
    }
}

}  // namespace

SearchResult ExpressionMatcher::searchAll(std::string_view text, CharacterSet characters) const {
    SearchResult result;
    std::vector<ExpressionMatch>& matches = result.matches;
    if (text.empty() || !compiled_) return result;
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    Cursor cursor{text, characters, begin, begin, rarestPairAt(text, compiled_->literal)};
    boost::match_results<const char*> m;
    for (;;) {
        const Engine engine = nextEngineMatch(compiled_->regex, compiled_->literal, cursor, m);
        // When the engine gives up, what was found is kept, and told.
        if (engine == Engine::GaveUp) result.completed = false;
        if (engine != Engine::Found) break;
        cursor.failures = 0;
        ExpressionMatch match;
        match.offset = static_cast<std::int64_t>(m[0].first - begin);
        match.length = static_cast<std::int64_t>(m[0].second - m[0].first);
        if (!isCharacterBoundary(text, static_cast<std::size_t>(match.offset), characters) ||
            !isCharacterBoundary(text, static_cast<std::size_t>(match.offset + match.length),
                                 characters)) {
            // Half a character is no heading. The search goes on from the next boundary, with
            // the same beginning of the text as before.
            cursor.from = begin + nextCharacterBoundary(
                                      text, static_cast<std::size_t>(match.offset), characters);
            if (cursor.from > end) break;
            continue;
        }
        matches.push_back(match);
        if (match.length == 0) break;
        cursor.start = cursor.from = m[0].second;
    }
    return result;
}

}  // namespace folioknife::splitter
