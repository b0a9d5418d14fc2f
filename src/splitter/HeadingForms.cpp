#include "splitter/HeadingForms.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "splitter/ByteScan.h"
#include "splitter/CodePage.h"
#include "splitter/HeadingLineRules.h"
#include "splitter/HeadingWords.h"

namespace folioknife::splitter {

namespace {

constexpr std::int64_t kApart = 1500;                 // bytes between a form's headings, on average
constexpr std::size_t kLongestEnglish = 80;           // characters of an English heading's line
constexpr std::size_t kLongestNumber = 12;            // characters of a numeral
constexpr std::size_t kSkipped = 3;                   // headings missing in a run still in sequence
constexpr std::int64_t kLargest = 1'000'000'000'000;  // beyond it, every number is one

enum class Digits { Chinese, Ascii, FullWidth };
// The shapes of a numbered line; with the numeral's digits, one numbering of a book.
enum class Numbered { Pause, Dot, Bracket, Blank, Alone };

struct Number {
    std::size_t length = 0;  // 0: none
    std::int64_t value = 0;
    Digits digits = Digits::Ascii;
};

bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }
char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The marks of the forms, in the code page of the searched text.
class FormMarks {
public:
    explicit FormMarks(const std::string& codePage) : codePage_(codePage) {
        for (std::size_t k = 0; k < headingWords::kNumerals.size(); ++k)
            numerals_.push_back({in(headingWords::kNumerals[k]), headingWords::kNumeralValues[k],
                                 k < 10 ? Digits::FullWidth : Digits::Chinese});
        for (const char* word : headingWords::kWordsFirst) words_.push_back(in(word));
        pause_ = in(headingWords::kNumberPauses[0]);
        dot_ = in(headingWords::kNumberDots[0]);
        open_ = in(headingWords::kNumberOpens[0]);
        close_ = in(headingWords::kNumberCloses[0]);
    }
    Number numberAt(std::string_view text, std::size_t i) const;
    std::size_t wordAt(std::string_view text, std::size_t i, std::size_t& which) const {
        for (which = 0; which < words_.size(); ++which) {
            if (at(words_[which], text, i)) return words_[which].size();
        }
        return 0;
    }
    std::size_t pauseAt(std::string_view text, std::size_t i) const {
        return at(pause_, text, i) ? pause_.size() : 0;
    }
    std::size_t dotAt(std::string_view text, std::size_t i) const {
        return text[i] == '.' ? 1 : at(dot_, text, i) ? dot_.size() : 0;
    }
    std::size_t openAt(std::string_view text, std::size_t i) const {
        return text[i] == '(' ? 1 : at(open_, text, i) ? open_.size() : 0;
    }
    std::size_t closeAt(std::string_view text, std::size_t i) const {
        return text[i] == ')' ? 1 : at(close_, text, i) ? close_.size() : 0;
    }

private:
    struct Numeral {
        std::string bytes;
        int value;
        Digits digits;
    };
    std::string in(const char* utf8) const {
        auto converted = convertText(utf8, "UTF-8", codePage_);
        return converted ? *converted : std::string();
    }
    static bool at(const std::string& mark, std::string_view text, std::size_t i) {
        return !mark.empty() && text.substr(i, mark.size()) == mark;
    }
    std::string codePage_;
    std::vector<Numeral> numerals_;
    std::vector<std::string> words_;
    std::string pause_, dot_, open_, close_;
};

// A run of ASCII digits, of full-width digits or of Chinese numerals at 'i', and its value.
Number FormMarks::numberAt(std::string_view text, std::size_t i) const {
    Number n;
    std::size_t j = i;
    if (isAsciiDigit(text[i])) {
        while (j < text.size() && isAsciiDigit(text[j]) && j - i < 9)
            n.value = n.value * 10 + (text[j++] - '0');
        n.length = j - i;
        return n;
    }
    std::vector<int> values;
    while (j < text.size() && values.size() < kLongestNumber) {
        const auto found = std::find_if(numerals_.begin(), numerals_.end(),
                                        [&](const Numeral& m) { return at(m.bytes, text, j); });
        if (found == numerals_.end() || (!values.empty() && found->digits != n.digits)) break;
        n.digits = found->digits;
        values.push_back(found->value);
        j += found->bytes.size();
    }
    if (values.empty()) return n;
    n.length = j - i;
    if (n.digits == Digits::Chinese) {
        n.value = chineseNumberValue(values);
    } else {
        for (const int v : values) n.value = n.value * 10 + v;
    }
    return n;
}

// A heading line of some form, the shape it has, and the volume lines above it in the text.
struct Shaped {
    HeadingForm form = HeadingForm::Suffix;
    int shape = 0;
    FormLine line;
    std::size_t volumes = 0;
};

// The rest of the line after the mark is a title: no sentence in it, a short line.
bool titleFits(const SearchedText& searched, const FormLine& line, std::size_t longest) {
    return !searched.hasPunctuation(line.markEnd, line.end) &&
           searched.visibleLength(line.mark, line.end) <= longest;
}

// 章十二, 卷 3 江湖远: a word of kWordsFirst, a numeral, a blank or the line's end.
bool wordFirstLine(const SearchedText& searched, const FormMarks& marks, Shaped& s) {
    const std::string_view text = searched.text;
    FormLine& line = s.line;
    std::size_t which = 0;
    const std::size_t word = marks.wordAt(text, line.mark, which);
    if (word == 0) return false;
    const std::size_t i = searched.skipBlanks(line.mark + word, line.end);
    const Number n = i < line.end ? marks.numberAt(text, i) : Number();
    line.markEnd = i + n.length;
    if (n.length == 0 ||
        (line.markEnd < line.end && searched.marks.blankAt(text, line.markEnd) == 0))
        return false;
    s.form = HeadingForm::WordFirst;
    s.shape = static_cast<int>(which);
    line.number = n.value;
    return titleFits(searched, line, kLongestLine);
}

// Chapter 4, CHAPTER ONE, Chapter IV: the word in any case, a blank, a number in digits, words
// or Roman numerals, then no letter.
bool englishLine(const SearchedText& searched, Shaped& s) {
    const std::string_view text = searched.text;
    const std::string_view word = headingWords::kEnglishChapter;
    FormLine& line = s.line;
    if (line.end - line.mark < word.size() + 2) return false;
    for (std::size_t k = 0; k < word.size(); ++k) {
        if (lowerAscii(text[line.mark + k]) != word[k]) return false;
    }
    std::size_t i = line.mark + word.size();
    if (searched.marks.blankAt(text, i) == 0) return false;
    i = searched.skipBlanks(i, line.end);
    std::size_t j = i;
    while (j < line.end && (std::isalnum(static_cast<unsigned char>(text[j])) || text[j] == '-'))
        ++j;
    while (j > i && text[j - 1] == '-') --j;
    const std::int64_t value = englishNumberValue(text.substr(i, j - i));
    if (value < 0) return false;
    s.form = HeadingForm::English;
    // One book numbers its chapters one way: in digits, in Roman numerals or in words.
    const std::string_view number = text.substr(i, j - i);
    const bool roman = number.find_first_not_of("IVXLCDMivxlcdm") == std::string_view::npos;
    s.shape = isAsciiDigit(text[i]) ? 0 : roman ? 1 : 2;
    line.markEnd = j;
    line.number = value;
    return titleFits(searched, line, kLongestEnglish);
}

// 一、标题, 1. 标题, （一）标题, 一 标题, a number alone.
bool numberedLine(const SearchedText& searched, const FormMarks& marks, Shaped& s) {
    const std::string_view text = searched.text;
    FormLine& line = s.line;
    const std::size_t open = marks.openAt(text, line.mark);
    if (line.mark + open >= line.end) return false;
    const Number n = marks.numberAt(text, line.mark + open);
    if (n.length == 0) return false;
    const std::size_t j = line.mark + open + n.length;
    const std::size_t after = searched.skipBlanks(j, line.end);
    Numbered shape = Numbered::Blank;
    line.markEnd = j;
    if (open != 0) {
        const std::size_t close = j < line.end ? marks.closeAt(text, j) : 0;
        if (close == 0) return false;
        shape = Numbered::Bracket, line.markEnd = j + close;
    } else if (after >= line.end) {
        shape = Numbered::Alone;
    } else if (const std::size_t pause = marks.pauseAt(text, j); pause != 0) {
        shape = Numbered::Pause, line.markEnd = j + pause;
    } else if (const std::size_t dot = marks.dotAt(text, j); dot != 0) {
        line.markEnd = j + dot;
        if (line.markEnd < line.end && searched.marks.digitAt(text, line.markEnd) != 0)
            return false;  // 1.2 a section's number
        shape = searched.skipBlanks(line.markEnd, line.end) >= line.end ? Numbered::Alone
                                                                        : Numbered::Dot;
    } else if (after == j) {
        return false;  // 一个人: a word
    }
    if (shape != Numbered::Alone && searched.skipBlanks(line.markEnd, line.end) >= line.end)
        return false;
    s.form = HeadingForm::NumberedLine;
    s.shape = static_cast<int>(n.digits) * 8 + static_cast<int>(shape);
    line.number = n.value;
    return titleFits(searched, line, kLongestLine);
}

// Every line of the forms asked, in the text's order.
std::vector<Shaped> shapedLines(const SearchedText& searched, const FormMarks& marks,
                                std::initializer_list<HeadingForm> forms) {
    const auto asked = [&](HeadingForm f) {
        return std::find(forms.begin(), forms.end(), f) != forms.end();
    };
    const std::string_view text = searched.text;
    std::vector<Shaped> found;
    std::size_t volumes = 0;
    for (std::size_t start = 0; start < text.size();) {
        const char* stop =
            findEitherByte(text.data() + start, text.data() + text.size(), '\n', '\r');
        const auto end = static_cast<std::size_t>(stop - text.data());
        Shaped s;
        s.line.start = start;
        s.line.end = end;
        s.line.mark = searched.skipBlanks(start, end);
        s.volumes = volumes;
        if (s.line.mark < end &&
            ((asked(HeadingForm::WordFirst) && wordFirstLine(searched, marks, s)) ||
             (asked(HeadingForm::English) && englishLine(searched, s)) ||
             (asked(HeadingForm::NumberedLine) && numberedLine(searched, marks, s))))
            found.push_back(s);
        if (s.line.mark < end && searched.isVolumeLine(start, end)) ++volumes;
        start = end;
        while (start < text.size() && isLineEnd(text[start])) ++start;
    }
    return found;
}

// The lines of one shape that number the book's chapters, or nothing: a list's lines (a
// number close after the one before it: a list in the text, a table of contents) are left out,
// the rest must run in sequence, far enough apart.
std::vector<FormLine> chapterRun(const std::vector<const Shaped*>& lines, std::size_t textSize) {
    std::vector<const Shaped*> spaced;
    const auto listed = [&](std::size_t a, std::size_t b) {
        return static_cast<std::int64_t>(lines[b]->line.start - lines[a]->line.start) <
                   kCloseContents &&
               lines[b]->line.number == lines[a]->line.number + 1;
    };
    for (std::size_t k = 0; k < lines.size(); ++k) {
        if ((k == 0 || !listed(k - 1, k)) && (k + 1 == lines.size() || !listed(k, k + 1)))
            spaced.push_back(lines[k]);
    }
    std::vector<FormLine> run;
    std::size_t volumes = 0;
    for (const Shaped* s : spaced) {
        const std::int64_t n = s->line.number;
        const bool restart = n == 1 && (run.size() <= 1 || s->volumes != volumes);
        if (restart && run.size() == 1) run.clear();
        if (run.empty() || restart ||
            (n > run.back().number && n <= run.back().number + std::int64_t{kSkipped})) {
            run.push_back(s->line);
            volumes = s->volumes;
        }
    }
    if (run.size() < kFewestRegular || run.size() * 4 < spaced.size() * 3) return {};
    // On average 1,500 bytes a chapter, the last one's running to the text's end; most of
    // them no shorter than half of that.
    std::vector<std::int64_t> gaps;
    for (std::size_t k = 1; k < run.size(); ++k)
        gaps.push_back(static_cast<std::int64_t>(run[k].start - run[k - 1].start));
    std::nth_element(gaps.begin(), gaps.begin() + gaps.size() / 2, gaps.end());
    if (gaps[gaps.size() / 2] < kApart / 2 ||
        static_cast<std::int64_t>(textSize - run.front().start) <
            kApart * static_cast<std::int64_t>(run.size() - 1))
        return {};
    return run;
}

// Of the shapes of one form, the first word's (word first) or the one whose run begins first.
std::vector<FormLine> formRun(const std::vector<Shaped>& all, HeadingForm form,
                              std::size_t textSize, int& chosen) {
    std::map<int, std::vector<const Shaped*>> byShape;
    for (const Shaped& s : all) {
        if (s.form == form) byShape[s.shape].push_back(&s);
    }
    std::vector<FormLine> best;
    for (const auto& [shape, lines] : byShape) {
        std::vector<FormLine> run = chapterRun(lines, textSize);
        if (run.empty()) continue;
        if (best.empty() || run.front().start < best.front().start) {
            chosen = shape;
            best = std::move(run);
        }
        if (form == HeadingForm::WordFirst) break;
    }
    return best;
}

}  // namespace

FormLines findFormLines(const SearchedText& searched, const std::string& codePage,
                        std::initializer_list<HeadingForm> forms) {
    const FormMarks marks(codePage);
    const std::vector<Shaped> all = shapedLines(searched, marks, forms);
    // 卷一 heads volumes: taken only when no later form heads the chapters inside them.
    FormLines volumes;
    for (const HeadingForm form : forms) {
        int shape = 0;
        std::vector<FormLine> run = formRun(all, form, searched.text.size(), shape);
        if (run.empty()) continue;
        if (form == HeadingForm::WordFirst &&
            std::string_view(headingWords::kWordsFirst[static_cast<std::size_t>(shape)]) ==
                headingWords::kVolumeWordFirst) {
            volumes = {form, std::move(run)};
            continue;
        }
        return {form, std::move(run)};
    }
    return volumes;
}

std::int64_t chineseNumberValue(const std::vector<int>& values) {
    std::int64_t total = 0, section = 0, digit = 0;
    bool afterDigit = false;
    for (const int v : values) {
        if (v < 10) {
            digit = afterDigit ? digit * 10 + v : v;  // 一二〇 reads as 120
            if (digit > kLargest) return kLargest;
            afterDigit = true;
            continue;
        }
        if (v == 10000) {
            const std::int64_t before = total + section + digit;
            if (before > kLargest / 10000) return kLargest;
            total = (before == 0 ? 1 : before) * 10000;  // 万 alone is ten thousand
            section = 0;
        } else if (v == 10 || v == 100 || v == 1000) {
            section += (afterDigit ? digit : 1) * v;  // 十二: ten and two
        } else {
            section += v;  // 廿, 卅
        }
        digit = 0;
        afterDigit = false;
    }
    return total + section + digit;
}

std::int64_t englishNumberValue(std::string_view word) {
    if (word.empty() || word.size() > 20) return -1;
    std::string lower;
    for (const char c : word) lower += lowerAscii(c);
    if (std::all_of(lower.begin(), lower.end(), isAsciiDigit))
        return lower.size() <= 9 ? std::stoll(lower) : -1;
    const auto indexIn = [](const auto& words, std::string_view w) -> std::int64_t {
        for (std::size_t k = 0; k < words.size(); ++k) {
            if (w == words[k]) return static_cast<std::int64_t>(k);
        }
        return -1;
    };
    const std::size_t dash = lower.find('-');
    const std::string_view first = std::string_view(lower).substr(0, dash);
    const std::int64_t one = indexIn(headingWords::kEnglishOnes, first);
    const std::int64_t tens = indexIn(headingWords::kEnglishTens, first);
    if (dash == std::string::npos && (one >= 0 || tens >= 0))
        return one >= 0 ? one : 20 + tens * 10;
    if (dash != std::string::npos && tens >= 0) {
        const std::int64_t unit =
            indexIn(headingWords::kEnglishOnes, std::string_view(lower).substr(dash + 1));
        if (unit >= 1 && unit <= 9) return 20 + tens * 10 + unit;
    }
    // Roman numerals: a smaller one before a larger one is taken from it (IV, XC).
    const std::string_view roman = "ivxlcdm";
    constexpr int kRoman[] = {1, 5, 10, 50, 100, 500, 1000};
    std::int64_t value = 0;
    for (std::size_t k = 0; k < lower.size(); ++k) {
        const std::size_t at = roman.find(lower[k]);
        if (at == std::string_view::npos) return -1;
        const std::size_t next = k + 1 < lower.size() ? roman.find(lower[k + 1]) : 0;
        value += next != std::string_view::npos && kRoman[next] > kRoman[at] && k + 1 < lower.size()
                     ? -kRoman[at]
                     : kRoman[at];
    }
    return value > 0 ? value : -1;
}

}  // namespace folioknife::splitter
