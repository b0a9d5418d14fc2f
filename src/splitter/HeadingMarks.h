#pragma once
// The characters and numbered marks the heading rules look for, in the code page of the text
// they search: the words of HeadingWords.h and the marks of a line's shape (blanks, brackets,
// sentence punctuation, dot leaders), each converted once.
#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "splitter/ExpressionMatcher.h"

namespace folioknife::splitter {

// The characters the rules look for, in the encoding of the searched text.
class LineMarks {
public:
    explicit LineMarks(const std::string& codePage);
    // The byte length of the blank at 'i', 0 when there is none.
    std::size_t blankAt(std::string_view text, std::size_t i) const {
        if (text[i] == ' ' || text[i] == '\t') return 1;
        return find(blanks_, text, i);
    }
    bool punctuationAt(std::string_view text, std::size_t i) const {
        const char c = text[i];
        return c == ',' || c == ';' || c == '!' || c == '?' || find(punctuation_, text, i) != 0;
    }
    std::size_t bracketAt(std::string_view text, std::size_t i) const {
        const char c = text[i];
        if (c == '(' || c == ')' || c == '[' || c == ']') return 1;
        return find(brackets_, text, i);
    }
    std::size_t digitAt(std::string_view text, std::size_t i) const {
        if (text[i] >= '0' && text[i] <= '9') return 1;
        return find(digits_, text, i);
    }
    std::size_t mainTextAt(std::string_view text, std::size_t i) const {
        return find(mainText_, text, i);
    }
    std::size_t continuationAt(std::string_view text, std::size_t i) const {
        return find(continuations_, text, i);
    }
    std::size_t endWordAt(std::string_view text, std::size_t i) const {
        return find(endWords_, text, i);
    }
    std::size_t extraAt(std::string_view text, std::size_t i) const {
        return find(extras_, text, i);
    }
    const std::vector<std::string>& extras() const { return extras_; }
    const std::string& fullStop() const { return fullStop_.empty() ? empty_ : fullStop_[0]; }
    // The byte length of a dot leader's character at 'i' (. … · ．), 0 when there is none.
    std::size_t leaderAt(std::string_view text, std::size_t i) const {
        if (text[i] == '.') return 1;
        return find(leaders_, text, i);
    }
    std::size_t separatorAt(std::string_view text, std::size_t i) const {
        if (text[i] == ':' || text[i] == '-' || text[i] == '.') return 1;
        return find(separators_, text, i);
    }

private:
    // Adds the words, given in UTF-8, in the code page; those it cannot hold are left out.
    void add(std::vector<std::string>& to, const char* const* begin, const char* const* end);
    void add(std::vector<std::string>& to, std::initializer_list<const char*> utf8) {
        add(to, utf8.begin(), utf8.end());
    }
    static std::size_t find(const std::vector<std::string>& marks, std::string_view text,
                            std::size_t i) {
        if (i >= text.size() || static_cast<unsigned char>(text[i]) < 0x80) return 0;
        for (const std::string& m : marks) {
            if (m[0] == text[i] && text.size() - i >= m.size() &&
                std::memcmp(text.data() + i, m.data(), m.size()) == 0)
                return m.size();
        }
        return 0;
    }
    std::string codePage_;
    std::string empty_;
    std::vector<std::string> blanks_, punctuation_, brackets_, mainText_, continuations_, endWords_,
        extras_, digits_, fullStop_, separators_, leaders_;
};

// Numbered marks that the rules recognise at a given place: a volume part (第二卷, 第三部,
// 卷一) and a plain number.
class NumberedMarks {
public:
    explicit NumberedMarks(const std::string& codePage);
    // The bytes of a volume part that begins exactly at 'i', 0 when none does.
    std::size_t volumeAt(std::string_view text, std::size_t i) const {
        if (firstBytes_.find(text[i]) == std::string::npos) return 0;
        return at(volume_, text, i);
    }
    std::size_t numberAt(std::string_view text, std::size_t i) const {
        return at(number_, text, i);
    }

private:
    static std::size_t at(const ExpressionMatcher& m, std::string_view text, std::size_t i) {
        constexpr std::size_t kWindow = 64;
        const std::string_view window = text.substr(i, std::min(kWindow, text.size() - i));
        const std::vector<ExpressionMatch> found = m.searchAll(window).matches;
        if (found.empty() || found.front().offset != 0) return 0;
        return static_cast<std::size_t>(found.front().length);
    }
    ExpressionMatcher volume_, number_;
    std::string firstBytes_;  // of 第 and 卷: only there can a volume part begin
};

}  // namespace folioknife::splitter
