// Custom expressions are matched by characters in every encoding, searched globally as every
// engine does, and given up on in bounded time.
#include <gtest/gtest.h>

#include "TestText.h"
#include "splitter/ChapterHeadings.h"
#include "splitter/CustomMatcher.h"

namespace folioknife::splitter {
namespace {
using testing::CodePageScope;
using testing::gbk;
using Matches = std::vector<ExpressionMatch>;

// A novel of 24 headings as reader apps' expressions expect them: indented with ideographic
// spaces, numbered in Chinese and in digits, headed 章, 节 and 回, with sentences between.
std::string readerNovel() {
    static const char* const numbers[] = {"一", "二", "三", "四", "五",   "六",
                                          "七", "八", "九", "十", "十一", "十二"};
    std::string text = "书名\r\n作者\r\n";
    for (int i = 0; i < 24; ++i) {
        const std::string number = i < 12 ? numbers[i] : std::to_string(i + 1);
        const char* suffix = i % 3 == 0 ? "章" : i % 3 == 1 ? "节" : "回";
        text += "　　第" + number + suffix + " 标题\r\n　　他说：“第二天再说。”天色已晚。\r\n";
    }
    return text;
}

// The UTF-16 little-endian form of ASCII and BMP text, with its byte-order mark.
std::string utf16le(const std::string& utf8) {
    std::string out = "\xFF\xFE";
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const std::size_t n = c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        unsigned cp = n == 1 ? c : c & (0x7F >> n);
        for (std::size_t k = 1; k < n; ++k) cp = cp << 6 | (utf8[i + k] & 0x3F);
        out += static_cast<char>(cp & 0xFF);
        out += static_cast<char>(cp >> 8);
        i += n;
    }
    return out;
}

// The headings the custom expression finds, as the plan searches them.
HeadingSearch customHeadings(const Text& expression, std::string_view text,
                             const DocumentEncoding& encoding, HeadingRules rules) {
    CustomMatcher matcher;
    if (CompileResult compiled = matcher.compile(expression); !compiled.ok) {
        HeadingSearch failed;
        failed.status = HeadingSearch::Status::InvalidExpression;
        failed.reason = compiled.reason;
        return failed;
    }
    return searchCustomHeadings(matcher, text, encoding, rules);
}

std::string inEncoding(const std::string& utf8, const std::string& codePage) {
    if (codePage == "UTF-16LE") return utf16le(utf8);
    return *convertText(utf8, "UTF-8", codePage);
}

TEST(CustomExpression, PastedReaderExpressionsMatchCharactersInEveryEncoding) {
    struct Case {
        const char* expression;
        std::size_t headings;
    } cases[] = {
        {"^\\s*第[0-9一二三四五六七八九十百千]+[章节回]", 24},
        {"^\\s*第.{1,9}[章节回卷]", 24},
        {"第.{1,9}[章节回卷]", 24},       // "第二天再说。”天色已晚" holds none of them
        {"^(番外|楔子|序章|第.+章)", 0},  // the headings are indented; .+ stays on its line
        {"^　　(番外|楔子|序章|第.+章)", 8},
        {"第\\d+[章节回]", 12},  // ASCII digits
        {"第[\\d]+[章节回]", 12},
        {"\\s第", 24},              // the ideographic space is a blank
        {"第[^章节回]{1,2}回", 8},  // a negated bracket is one character
        {"第\\x{5341}一章", 0},     // 第十一章 is a 节 heading here
        {"第\\x{5341}[一二]", 2},
    };
    for (const char* codePage : {"UTF-8", "GBK", "UTF-16LE"}) {
        CodePageScope scope(codePage == std::string("GBK") ? "GBK" : "UTF-8");
        const std::string text = inEncoding(readerNovel(), codePage);
        const DocumentEncoding encoding = detectDocumentEncoding(text, programCodePage());
        for (const auto& c : cases) {
            const Text expression = programText(c.expression);
            // Every match counts: the headings here stand closer than a contents table's.
            HeadingRules anywhere;
            anywhere.contentsRule = false;
            const HeadingSearch found = customHeadings(expression, text, encoding, anywhere);
            ASSERT_EQ(found.status, HeadingSearch::Status::Done) << c.expression << found.reason;
            EXPECT_EQ(found.headings.size(), c.headings) << c.expression << " in " << codePage;
            // Every cut is where the novel's own bytes of the match begin.
            for (const ExpressionMatch& h : found.headings) {
                EXPECT_TRUE(isCharacterBoundary(text, static_cast<std::size_t>(h.offset),
                                                encoding.characters));
            }
        }
    }
}

Matches search(const std::string& expression, const std::string& text) {
    CustomMatcher m;
    const CompileResult compiled = m.compile(expression);
    EXPECT_TRUE(compiled.ok) << expression << ": " << compiled.reason;
    SearchResult found = m.searchAll(text);
    EXPECT_TRUE(found.completed) << expression;
    return found.matches;
}

TEST(CustomExpression, TheSearchIsGlobalAsEveryEngineDoesIt) {
    CodePageScope scope("UTF-8");
    struct Case {
        std::string expression, text;
        Matches expected;
    } cases[] = {
        // After an empty match the next search starts one character later.
        {"(?=第[0-9]+章)", "序第1章甲第2章", {{3, 0}, {13, 0}}},
        {"^", "a\nb\r\nc", {{0, 0}, {2, 0}, {5, 0}}},
        {"$", "a\r\nb\rc\n", {{1, 0}, {4, 0}, {6, 0}, {7, 0}}},  // one at a CR LF, not two
        // VT, LS and NEL end lines too.
        {"^第", "甲\v第\u2028第\u0085第", {{4, 3}, {10, 3}, {15, 3}}},
        {"x*", "ab", {{0, 0}, {1, 0}, {2, 0}}},
        {"\\b", "ab cd", {{0, 0}, {2, 0}, {3, 0}, {5, 0}}},
        // Each search sees the text before its start: ^ is a line start, a look-behind sees
        // the match before.
        {"^第[0-9]章", "第1章第2章\n第3章", {{0, 7}, {15, 7}}},
        {"(?<=\\n)第[0-9]章", "第1章\n第2章\n", {{8, 7}}},
        {"(?<=章)第", "第1章第2章", {{7, 3}}},
        {"ab", "abab", {{0, 2}, {2, 2}}},
        {"a.b", "a\nb a-b", {{4, 3}}},  // "." is no line end
        {"a|ab", "abc", {{0, 1}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(search(c.expression, c.text), c.expected) << c.expression;
    }
}

// The UTF-16 big-endian form, with its byte-order mark.
std::string utf16be(const std::string& utf8) {
    std::string out = utf16le(utf8);
    for (std::size_t i = 0; i + 1 < out.size(); i += 2) std::swap(out[i], out[i + 1]);
    return out;
}

// A novel is searched a piece at a time, each piece ending at a line end; whatever the size of
// the pieces, the matches are those of one search of the novel's whole reading.
TEST(CustomExpression, ANovelSearchedInPiecesFindsWhatOneSearchFinds) {
    CodePageScope scope("UTF-8");
    const std::string novel = readerNovel() + "\r\n\r\n　第25章\r正文\r\r第26章 终\n\n";
    struct Form {
        const char* codePage;
        std::string text;
    } forms[] = {
        {"GBK", gbk(novel)},
        {"GBK", gbk(novel + "\v第27章\n")},  // a rarer line end
        {"UTF-8", "\xEF\xBB\xBF" + novel + "\u2028第27章\n"},
        {"UTF-16LE", utf16le(novel)},
        {"UTF-16BE", utf16be(novel + "\u0085第27章")},
    };
    const char* const expressions[] = {
        "^\\s*第.{1,9}[章节回]",
        "(?<=[\\s　]{0,4})第.{1,9}章",
        "第[\\s\\S]*?章",
        "章[\\s\\S]*第",
        "^",
        "$",
        "\\b",
        "(?=第)",
        "\\n\\s*\\n",
        "第.{1,9}章\\K",
        "^.*$",
        "\\r",
        "(?<!\\n)^",
        "^\\s*$",
        "(?:^|。)第",
        "^第",
        "\\n第",
    };
    for (const Form& form : forms) {
        const DocumentEncoding encoding = encodingOf(form.codePage);
        const Utf8View whole(form.text, encoding);
        const std::string_view reading = whole.text();
        const std::size_t mark = reading.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
        for (const char* expression : expressions) {
            CustomMatcher m;
            ASSERT_TRUE(m.compile(expression).ok) << expression;
            const SearchResult all = m.searchAll(reading.substr(mark));
            ASSERT_TRUE(all.completed);
            std::vector<std::int64_t> offsets;
            for (const ExpressionMatch& x : all.matches) {
                offsets.push_back(x.offset + static_cast<std::int64_t>(mark));
                offsets.push_back(x.offset + x.length + static_cast<std::int64_t>(mark));
            }
            const std::vector<std::int64_t> inNovel = whole.novelOffsets(offsets);
            Matches expected;
            std::vector<std::string> texts;
            for (std::size_t i = 0; i < all.matches.size(); ++i) {
                expected.push_back({inNovel[2 * i], inNovel[2 * i + 1] - inNovel[2 * i]});
                texts.emplace_back(reading.substr(static_cast<std::size_t>(offsets[2 * i]),
                                                  static_cast<std::size_t>(all.matches[i].length)));
            }
            for (const std::size_t pieceBytes : {1, 7, 64, 100000}) {
                Matches found;
                std::vector<std::string> foundTexts;
                const bool done = m.searchNovel(
                    form.text, encoding,
                    [&](std::string_view piece, const std::vector<CustomMatcher::PieceMatch>& ms) {
                        for (const CustomMatcher::PieceMatch& x : ms) {
                            found.push_back(x.inNovel);
                            foundTexts.emplace_back(
                                piece.substr(static_cast<std::size_t>(x.inReading.offset),
                                             static_cast<std::size_t>(x.inReading.length)));
                        }
                    },
                    CustomMatcher::kSearchBudget, pieceBytes);
                EXPECT_TRUE(done);
                // The first match that differs, if any.
                std::size_t i = 0;
                while (i < found.size() && i < expected.size() && found[i] == expected[i] &&
                       foundTexts[i] == texts[i])
                    ++i;
                const auto at = [](const Matches& ms, std::size_t k) {
                    return k < ms.size()
                               ? std::to_string(ms[k].offset) + "+" + std::to_string(ms[k].length)
                               : std::string("none");
                };
                EXPECT_TRUE(i == found.size() && i == expected.size())
                    << form.codePage << " " << expression << " in pieces of " << pieceBytes
                    << ": match " << i << " is " << at(found, i) << ", not " << at(expected, i);
            }
        }
    }
}

TEST(CustomExpression, DigitsAreAscii) {
    struct Case {
        const char* typed;
        const char* prepared;  // empty: refused
    } cases[] = {
        {"第\\d+章", "第[0-9]+章"},
        {"[\\d一二]", "[0-9一二]"},
        {"\\D", "[^0-9]"},
        {"[^\\D]", "[^\\x{0}-/:-\\x{10FFFF}]"},
        {"[[:digit:]]", "[0-9]"},
        {"\\\\d", "\\\\d"},  // an escaped backslash, then a d
        {"\\Q\\d\\E\\d", "\\Q\\d\\E[0-9]"},
        {"[]\\d]", "[]0-9]"},
        {"\\c\\d", "\\c\\d"},  // \c takes the backslash along
        {"(?x)a # \\d [\n\\d", "(?x)a # \\d [\n[0-9]"},
        {"\\x41\\x{B5}", "\\x{41}\\x{B5}"},
        {"\\xB5", "\\x{B5}"},  // as in Java: the character U+00B5
        {"[\\d&&[^0]]", ""},
    };
    for (const auto& c : cases) {
        std::string reason;
        EXPECT_EQ(prepareCustomExpression(c.typed, reason), c.prepared) << c.typed;
        EXPECT_EQ(reason.empty(), *c.prepared != '\0') << c.typed;
    }
    CodePageScope scope("UTF-8");
    EXPECT_TRUE(search("第\\d+章", "第１２章").empty());
    EXPECT_EQ(search("\\s+", "\xE3\x80\x80\t ").size(), 1u);
    struct Compile {
        const char* expression;
        CompileResult expected;
    } compiles[] = {
        {"第(", CompileResult::failed("missing closing parenthesis", 4)},
        {"第[一", CompileResult::failed("missing terminating ] for character class", 7)},
        {"第\\x{7B2C}", {}},
    };
    for (const auto& c : compiles) {
        const CompileResult compiled = CustomMatcher().compile(c.expression);
        EXPECT_EQ(compiled.ok, c.expected.ok) << c.expression;
        EXPECT_NE(compiled.reason.find(c.expected.reason), std::string::npos) << compiled.reason;
        EXPECT_EQ(compiled.offset, c.expected.offset) << c.expression;
    }
}

// In GBK 淺 ends in 5C "\", 億 in 7C "|", 嘯 in 5B "[": one character each in the expression,
// whether the program's code page is GBK or UTF-8.
TEST(CustomExpression, AGbkCharacterEndingInASyntaxByteIsOneCharacter) {
    for (const char* programPage : {"GBK", "UTF-8"}) {
        CodePageScope scope(programPage);
        const std::string text = testing::gbk("第一淺\r\n第二億\r\n第三嘯\r\n淺億");
        const DocumentEncoding encoding = encodingOf("GBK");
        for (const char* expression : {"^第.[淺億嘯]", "^第.(淺|億|嘯)", "第[一二三][^章]"}) {
            const HeadingSearch found =
                customHeadings(programText(expression), text, encoding, HeadingRules{});
            ASSERT_EQ(found.status, HeadingSearch::Status::Done) << expression << found.reason;
            ASSERT_EQ(found.headings.size(), 3u) << expression << " " << programPage;
            EXPECT_EQ(found.headings[1], (ExpressionMatch{8, 6})) << expression;
        }
    }
}

TEST(CustomExpression, AnExpressionTheEngineGivesUpOnIsGivenUpFast) {
    CodePageScope scope("UTF-8");
    std::string text;
    for (int i = 0; i < 2000; ++i) text += "他沿着江边走了很久很久，天色渐渐暗了下来。\n";
    // The engine looks for a character every match needs before it tries: here they are.
    for (const char* expression : {"((((.+)+)+)+)+Z", "(.*)*第X", "(a|aa)*c"}) {
        const HeadingSearch found =
            customHeadings(expression, text + "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\nZ X c\n",
                           encodingOf("UTF-8"), HeadingRules{});
        EXPECT_EQ(found.status, HeadingSearch::Status::TooComplex) << expression;
    }
    // Searched in pieces, the engine cannot rule out a match by a character the piece lacks
    // and gives up; the rest is then searched as one reading, which the engine rules out at
    // once (no Z in the last 5,000 bytes), as it does the whole.
    {
        CustomMatcher m;
        ASSERT_TRUE(m.compile("((((.+)+)+)+)+Z").ok);
        const std::string shortText = text.substr(0, 3000);
        ASSERT_TRUE(m.searchAll(shortText).completed);
        std::size_t found = 0;
        EXPECT_TRUE(m.searchNovel(
            shortText, encodingOf("UTF-8"),
            [&](std::string_view, const std::vector<CustomMatcher::PieceMatch>& ms) {
                found += ms.size();
            },
            CustomMatcher::kSearchBudget, 64));
        EXPECT_EQ(found, 0u);
    }
    // A search that outlasts its budget is given up too, even one that would end.
    CustomMatcher m;
    ASSERT_TRUE(m.compile("x").ok);
    const SearchResult outlasted = m.searchAll(text, -1);
    EXPECT_TRUE(outlasted.matches.empty());
    EXPECT_FALSE(outlasted.completed);
}

}  // namespace
}  // namespace folioknife::splitter
