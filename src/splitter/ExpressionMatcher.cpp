#include "splitter/ExpressionMatcher.h"

#include <exception>

#include "MatcherTraits.h"

namespace folioknife::splitter {

struct ExpressionMatcher::Compiled {
    boost::basic_regex<char, MatcherTraits> regex;
};

ExpressionMatcher::ExpressionMatcher() = default;
ExpressionMatcher::~ExpressionMatcher() = default;

bool ExpressionMatcher::compile(const Text& expression) {
    const std::string_view bytes = std::string_view(expression).substr(0, expression.find('\0'));
    try {
        auto compiled = std::make_unique<Compiled>();
        compiled->regex.assign(bytes.data(), bytes.data() + bytes.size(),
                               boost::regex_constants::perl);
        compiled_ = std::move(compiled);
        return true;
    } catch (const std::exception&) {
        return false;  // a syntax error is not reported; the matcher stays as it was
    }
}

bool ExpressionMatcher::hasExpression() const { return compiled_ != nullptr; }

std::vector<ExpressionMatch> ExpressionMatcher::searchAll(std::string_view text) const {
    std::vector<ExpressionMatch> matches;
    text = text.substr(0, text.find('\0'));
    if (text.empty() || !compiled_) return matches;
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    const char* start = begin;
    boost::match_results<const char*> m;
    for (;;) {
        bool found = false;
        try {
            // No match_prev_avail: the engine sees nothing before 'start', so ^, \A, \b and
            // look-behinds treat it as the beginning of the text.
            found = boost::regex_search(start, end, m, compiled_->regex,
                                        boost::regex_constants::match_default);
        } catch (const std::exception&) {
            break;  // complexity or stack limit, or memory: keep what was found
        }
        if (!found) break;
        ExpressionMatch match;
        match.offset = static_cast<std::int64_t>(m[0].first - begin);
        match.length = static_cast<std::int64_t>(m[0].second - m[0].first);
        matches.push_back(match);
        if (match.length == 0) break;
        start = m[0].second;
    }
    return matches;
}

}  // namespace folioknife::splitter
