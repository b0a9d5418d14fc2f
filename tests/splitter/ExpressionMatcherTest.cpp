#include <gtest/gtest.h>

#include "TestText.h"
#include "splitter/ChapterHeadings.h"
#include "splitter/ExpressionMatcher.h"

namespace folioknife::splitter {
namespace {
using testing::CodePageScope;
using testing::gbk;

using Matches = std::vector<ExpressionMatch>;

Matches search(const std::string& expression, const std::string& text) {
    ExpressionMatcher m;
    (void)m.compile(expression);  // one that does not compile finds nothing
    return m.searchAll(text).matches;
}

TEST(ExpressionMatcher, FindsEveryMatchByTheRestartAndEmptyMatchRules) {
    struct Case {
        std::string expression, text;
        Matches expected;
    } cases[] = {
        {"ab", "abab", {{0, 2}, {2, 2}}},
        {"aa", "aaaa", {{0, 2}, {2, 2}}},
        {"aa", "aaa", {{0, 2}}},
        {"^a", "aab", {{0, 1}, {1, 1}}},  // each restart counts as the start of the text
        {"\\Aa", "aab", {{0, 1}, {1, 1}}},
        {"\\ba", "aa", {{0, 1}, {1, 1}}},  // a word boundary at the restart point too
        {"(?<=a)b", "abb", {{1, 1}}},      // a look-behind sees nothing before the restart
        {"x*", "abc", {{0, 0}}},           // an empty match ends the search
        {"a|ab", "abc", {{0, 1}}},         // leftmost-first
        {"A", "a", {}},
        {"a.b", "a\nb", {{0, 3}}},
        {"$", "ab", {{2, 0}}},
        {"b", "", {}},
        {"", "abc", {{0, 0}}},
        {"^x", "x\r\nx\rx\nx\fx", {{0, 1}, {3, 1}, {5, 1}, {7, 1}, {9, 1}}},
        {"(", "abc", {}},  // does not compile: no matches, nothing shown
        {"a{2", "aa", {}},
        {"\\", "a", {}},
        {"*a", "a", {}},
        {std::string("b\0", 2) + "c", "bc", {{0, 1}}},     // the expression ends at its NUL
        {"b", std::string("ab\0b", 4), {{1, 1}, {3, 1}}},  // the text does not: all of it
    };
    for (const auto& c : cases) {
        EXPECT_EQ(search(c.expression, c.text), c.expected) << c.expression << " in " << c.text;
    }
}

TEST(ExpressionMatcher, ReportsByteOffsetsInGbk) {
    EXPECT_EQ(search(gbk("章"), gbk("第一章")), (Matches{{4, 2}}));
    const std::string twoLines = gbk("第一\r\n第二");
    EXPECT_EQ(search(gbk("^第"), twoLines), (Matches{{0, 2}, {6, 2}}));
}

TEST(ExpressionMatcher, AFailedCompileLeavesTheEarlierExpression) {
    ExpressionMatcher m;
    EXPECT_TRUE(m.searchAll("abc").matches.empty());  // nothing compiled yet: nothing found
    EXPECT_TRUE(m.compile("b").ok);
    const CompileResult failed = m.compile("ab(b");
    EXPECT_FALSE(failed.ok);
    EXPECT_EQ(failed.reason, "Unmatched marking parenthesis ( or \\(.");
    EXPECT_EQ(failed.offset, 4u);  // where the engine stopped: the end, the group still open
    EXPECT_EQ(m.searchAll("abc").matches, (Matches{{1, 1}}));
}

TEST(ExpressionMatcher, AnExhaustedEngineEndsTheSearchWithWhatItFound) {
    // Two quick matches, then a catastrophic pattern's alternative over a long run of 'a's.
    std::string text = "xyxy" + std::string(20000, 'a') + "b";
    ExpressionMatcher m;
    ASSERT_TRUE(m.compile("xy|(a+)+$").ok);
    const SearchResult found = m.searchAll(text);
    EXPECT_FALSE(found.completed);
    const Matches& matches = found.matches;
    ASSERT_GE(matches.size(), 2u);
    EXPECT_EQ(matches[0], (ExpressionMatch{0, 2}));
    EXPECT_EQ(matches[1], (ExpressionMatch{2, 2}));
}

TEST(RequiredLiteralPrefix, IsOnlyWhatEveryMatchMustBeginWith) {
    struct Case {
        std::string expression, literal;
    } cases[] = {
        {"abc", "abc"},
        {"ab*c", "a"},  // b is optional
        {"ab+", "a"},
        {"a{2}", ""},
        {"(ab)(c)", "ab"},
        {"((ab))x", "ab"},
        {"(ab)?c", ""},  // the group is optional
        {"(ab)*", ""},
        {"(abx", ""},       // the group holds more than the literal
        {"ab|cd", ""},      // a top-level alternative
        {"ab(c|d)", "ab"},  // an alternative inside a group is fine
        {"ab[|]", "ab"},    // a bar in brackets is a member
        {"ab[]|]", "ab"},
        {"ab\\\\|c", ""},  // an escaped backslash, then a real alternative
        {"(?i)ab", ""},    // inline options change what the bytes mean
        {"ab(?=c)", ""},
        {"\\Qa|b\\E", ""},
        {"ab\\Kc", ""},           // the match starts after the literal
        {"ab\\c(x|y", ""},        // \c( is one character: the bar is at the top
        {"a[[:alpha:](]|b", ""},  // the bracket expression ends at the second ']'
        {"a[[=x=](]|b", ""},
        {"a[[.x.](]|b", ""},
        {"^ab", ""},
        {".ab", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(requiredLiteralPrefix(c.expression), c.literal) << c.expression;
    }
}

TEST(ExpressionMatcher, TheLiteralShortcutFindsWhatThePlainSearchFinds) {
    // "(?:)" in front makes no difference to the engine but turns the shortcut off.
    const std::string text =
        gbk("序\r\n第1章 甲第2章第\n第3章\r\n第 第二十章x第章 第5章") + "ab abab";
    const std::string expressions[] = {gbk("(第)(\\d+|[一|二|十]+)(章)"),
                                       gbk("第\\d"),
                                       gbk("(第)(\\d)\\b"),
                                       gbk("章$"),
                                       gbk("第.*?章"),
                                       "ab",
                                       "(ab)\\b",
                                       "a\\B",
                                       gbk("(第)(.)")};
    for (const auto& e : expressions) {
        ASSERT_FALSE(requiredLiteralPrefix(e).empty()) << e;
        EXPECT_EQ(search(e, text), search("(?:)" + e, text)) << e;
    }
}

TEST(ExpressionMatcher, AMatchThatStartsAfterTheLiteralIsFoundAsThePlainSearchFindsIt) {
    // \K moves the start of the match past the literal: an empty match right after 第 here.
    const std::string e = gbk("(第)(\\d*|") + "\xFE)\\K";
    const std::string text = "\xD0\xF2\r\n" + gbk("第!章 a\r") + "\x8A" + gbk("第十");
    for (CharacterSet set :
         {CharacterSet::SingleByte, CharacterSet::DoubleByte, CharacterSet::Utf8}) {
        ExpressionMatcher shortcut, plain;
        ASSERT_TRUE(shortcut.compile(e).ok);
        ASSERT_TRUE(plain.compile("(?:)" + e).ok);
        EXPECT_EQ(shortcut.searchAll(text, set).matches, plain.searchAll(text, set).matches);
    }
    // "\c(" is one character, so the bar that follows stands at the top: "y" alone matches.
    EXPECT_EQ(search("ab\\c(x|y", "y abhx"), search("(?:)ab\\c(x|y", "y abhx"));
    EXPECT_EQ(search("ab\\c(x|y", "y ab").front(), (ExpressionMatch{0, 1}));
    // So is the bar after a bracket expression that holds a class and a parenthesis.
    EXPECT_EQ(search("a[[:alpha:](]|b", "b ax("), search("(?:)a[[:alpha:](]|b", "b ax("));
}

TEST(ExpressionMatcher, ManyFailingCandidatesGiveTheSameMatchesAndEnd) {
    std::string text;
    for (int i = 0; i < 40; ++i) text += gbk("第一次，") + (i % 7 == 0 ? gbk("第7章") : "");
    const std::string heading = gbk("(第)(\\d+|[一|二]+)(章)");
    EXPECT_EQ(search(heading, text), search("(?:)" + heading, text));
    EXPECT_EQ(search(heading, text).size(), 6u);
    // Every candidate of 第.*X runs to the end of the text; the search must still end soon.
    std::string many;
    for (int i = 0; i < 20000; ++i) many += gbk("第一次，天地人");
    EXPECT_TRUE(search(gbk("第.*X"), many).empty());
}

TEST(DefaultExpression, FindsHeadingsWithNumeralsAndDigitRuns) {
    CodePageScope scope("GBK");
    const Text expression = defaultExpressionFor(gbk("第"), gbk("章"), encodingOf("GBK"));
    struct Case {
        std::string text;
        std::size_t headings;
    } cases[] = {
        {gbk("第十二章"), 1},   {gbk("第一百二十三章"), 1}, {gbk("第1章第2章第10章第100章"), 4},
        {gbk("第两章"), 1},     {gbk("第|章"), 0},     // the bar is no numeral
        {gbk("第一万章"), 1},   {gbk("第１２章"), 1},  // full-width digits
        {gbk("第末章"), 0},  // 末 is C4 A9: once both numeral bytes, never a numeral
        {gbk("第 1 章"), 1},    {gbk("第　二　章"), 1},  // ideographic spaces
        {gbk("第     1章"), 0},                          // five blanks are too many
        {gbk("第章"), 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(search(expression, c.text).size(), c.headings) << testing::hex(c.text);
    }
    EXPECT_EQ(search(expression, gbk("序言\r\n第1章 甲\r\n第2章 乙\r\n")),
              (Matches{{6, 5}, {16, 5}}));
}

}  // namespace
}  // namespace folioknife::splitter
