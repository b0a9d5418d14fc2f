// Rules pasted from reader apps are Java expressions: what means the same here is translated,
// what would not is refused with where and why, and bounded look-behinds match as Java's do.
#include <gtest/gtest.h>

#include "TestText.h"
#include "splitter/ChapterHeadings.h"
#include "splitter/CustomMatcher.h"
#include "splitter/Messages.h"
#include "splitter/Recode.h"
#include "splitter/Unicode.h"

namespace folioknife::splitter {
namespace {
using testing::CodePageScope;
using Offsets = std::vector<std::int64_t>;

Offsets matchesOf(const std::string& expression, const std::string& text) {
    CustomMatcher m;
    const CompileResult compiled = m.compile(expression);
    EXPECT_TRUE(compiled.ok) << expression << ": " << compiled.reason;
    Offsets offsets;
    for (const ExpressionMatch& found : m.searchAll(text).matches) offsets.push_back(found.offset);
    return offsets;
}

TEST(PastedExpression, EveryJavaFormMeansWhatItMeansInJava) {
    CodePageScope scope("UTF-8");
    struct Case {
        const char* expression;
        const char* matched;
        const char* missed;
    } cases[] = {
        {"^\\u3000第", "　第", " 第"},
        {"^\\uD840\\uDC00$", "𠀀", "\\uD840"},  // a surrogate pair is one character
        {"^[\\xA0\\s]x$", "\u00A0x", "\u00B5x"},
        {"^\\p{IsHan}+$", "第一章", "第1章"},
        {"^\\p{IsLatin}$", "a", "第"},
        {"^\\p{IsLu}$", "A", "a"},
        {"^\\p{^Lu}$", "a", "A"},
        {"^\\p{script=Han}$", "章", "あ"},
        {"^\\p{gc=Nd}$", "7", "x"},
        {"^\\p{block=Hiragana}$", "あ", "ア"},
        {"(?u)^a$", "a", "b"},
        {"(?iu)^a$", "A", "b"},
        {"(?d)^a$", "a", "b"},
        {"(?i-u:a)", "A", "b"},
        // Java's POSIX classes are ASCII.
        {"^\\p{Lower}$", "z", "é"},
        {"^\\p{Upper}$", "Z", "É"},
        {"^\\p{ASCII}$", "~", "é"},
        {"^\\p{Alpha}$", "a", "第"},
        {"^\\p{Digit}$", "5", "５"},
        {"^\\p{Alnum}$", "5", "_"},
        {"^\\p{Punct}$", "!", "。"},
        {"^[\\p{Punct}\\s]$", "~", "x"},
        {"^\\P{Punct}$", "。", "!"},
        {"^\\p{Graph}$", "!", " "},
        {"^\\p{Print}$", " ", "\x7F"},
        {"^\\p{Blank}$", "\t", "\u3000"},
        {"^\\p{Cntrl}$", "\x1B", "a"},
        {"^\\p{XDigit}$", "F", "G"},
        {"^\\p{Space}$", "\x0B", "\u3000"},
        {"^\\p{javaWhitespace}$", "\u3000", "\u00A0"},
        {"^\\p{javaSpaceChar}$", "\u00A0", "\t"},
        {"^\\p{javaLetter}$", "第", "1"},
        {"^\\p{javaDigit}$", "\u0661", "a"},
        {"^\\p{javaLetterOrDigit}$", "1", "-"},
        {"^\\p{javaIdeographic}$", "章", "a"},
        {"^\\p{IsPunctuation}$", "。", "a"},
        {"^\\p{IsLetter}$", "a", "1"},
        {"^\\p{IsDigit}$", "1", "a"},
        {"^\\p{IsControl}$", "\x01", "a"},
        {"^\\p{IsWhite_Space}$", "\u3000", "x"},
        {"^\\p{IsAlphabetic}$", "章", "1"},
        {"^\\p{IsIdeographic}$", "章", "あ"},
        {"^\\p{InBasicLatin}$", "a", "é"},
        {"^\\p{InLatin-1 Supplement}$", "é", "a"},
        {"^\\p{InGeneralPunctuation}$", "…", "。"},
        {"^\\p{InLetterlikeSymbols}$", "℃", "a"},
        {"^\\p{InNumberForms}$", "Ⅻ", "1"},
        {"^\\p{InEnclosedAlphanumerics}$", "①", "1"},
        {"^\\p{InBoxDrawing}$", "─", "-"},
        {"^\\p{InGeometricShapes}$", "■", "☆"},
        {"^\\p{InMiscellaneousSymbols}$", "☆", "■"},
        {"^\\p{InDingbats}$", "✦", "☆"},
        {"^\\p{InCJKRadicalsSupplement}$", "⺀", "一"},
        {"^\\p{InCJK_Symbols_and_Punctuation}$", "　", "章"},
        {"^\\p{InHiragana}$", "あ", "ア"},
        {"^\\p{InKatakana}$", "ア", "あ"},
        {"^\\p{InBopomofo}$", "ㄅ", "あ"},
        {"^\\p{InEnclosedCJKLettersAndMonths}$", "㈠", "一"},
        {"^\\p{InCJKCompatibility}$", "㎞", "一"},
        {"^\\p{InCJKUnifiedIdeographsExtensionA}$", "㐀", "一"},
        {"^\\p{InCJKUnifiedIdeographs}$", "章", "　"},
        {"^\\p{InCJKCompatibilityIdeographs}$", "\uF900", "一"},
        {"^\\p{InVerticalForms}$", "\uFE10", "一"},
        {"^\\p{InCJKCompatibilityForms}$", "﹁", "「"},
        {"^\\p{InHalfwidthAndFullwidthForms}$", "１", "1"},
        {"^\\p{InCJKUnifiedIdeographsExtensionB}$", "𠀀", "一"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(matchesOf(c.expression, c.matched).size(), 1u) << c.expression;
        EXPECT_TRUE(matchesOf(c.expression, c.missed).empty()) << c.expression;
    }
}

TEST(PastedExpression, WhatWouldChangeMeaningIsRefusedAtItsCharacter) {
    CodePageScope scope("UTF-8");
    struct Case {
        const char* expression;
        const char* reason;     // a part of it
        std::size_t character;  // before the place
    } cases[] = {
        {"第[\\s&&[^\\n]]", "&&", 4},
        {"[a[bc]]", "Java", 2},
        {"(?U)第", "(?U)", 0},
        {"第[\\P{Punct}]", "\\P{...}", 2},
        {"^第(?<=\\s*)章", "{0,N}", 2},
        {"(?<=[ab]{0,300})x", "256", 0},
        {"(?<=[ab]{0,9}[cd]{0,40})x", "256", 0},
        {"第\\d+章(", "missing closing parenthesis", 6},
        {"章[一", "missing terminating ]", 3},
    };
    for (const auto& c : cases) {
        const CompileResult compiled = CustomMatcher().compile(c.expression);
        EXPECT_FALSE(compiled.ok) << c.expression;
        EXPECT_TRUE(compiled.placed) << c.expression;
        EXPECT_NE(compiled.reason.find(c.reason), std::string::npos) << compiled.reason;
        EXPECT_EQ(compiled.character, c.character) << c.expression;
    }
    // The window's words: the place, then why, in Chinese.
    const Message refused{MessageId::InvalidExpressionAt, {"missing closing parenthesis", "7"}};
    EXPECT_EQ(chineseText(refused), "章节表达式无效：第 7 个字符处缺少右括号");
}

// Each bounded look-behind matches where its alternatives of fixed lengths, written by hand,
// match: at every place of a text of blanks, headings and look-alikes.
TEST(PastedExpression, ABoundedLookBehindMatchesWhereItsFixedFormsMatch) {
    CodePageScope scope("UTF-8");
    const std::string text =
        "第1章\n 第2章\n　　第3章\n  　 第4章\n     第5章\nx第6章\n说第7章\n卷一第8章\n"
        "abab第9章\ncab第10章\nc第11章\n第12卷 第13章\n";
    struct Case {
        const char* bounded;
        const char* fixed;
    } cases[] = {
        {"(?<=^[\\s　]{0,4})第\\d+章",
         "(?<=^|^[\\s　]|^[\\s　]{2}|^[\\s　]{3}|^[\\s　]{4})第\\d+章"},
        {"(?<![\\s　]{1,2})第", "(?<![\\s　]|[\\s　]{2})第"},
        {"(?<=^[\\s　]?)第", "(?<=^|^[\\s　])第"},
        {"(?<=^(?:卷|说)?.{0,1})第", "(?<=^|^.|^卷|^说|^卷.|^说.)第"},
        {"(?<=^(ab|c){1,2})第", "(?<=^ab|^c|^abab|^abc|^cab|^cc)第"},
        {"(?<=\\d{1,2}卷 )第", "(?<=\\d卷 |\\d\\d卷 )第"},
        {"(?<=^(?i)X?)第", "(?<=^|^(?i)X)第"},
    };
    for (const auto& c : cases) {
        const Offsets found = matchesOf(c.bounded, text);
        EXPECT_FALSE(found.empty()) << c.bounded;
        EXPECT_EQ(found, matchesOf(c.fixed, text)) << c.bounded;
    }
}

std::string utf16le(const std::string& utf8) {
    std::string out = "\xFF\xFE";
    for (std::size_t i = 0, n = 0; i < utf8.size(); i += n) {
        const char32_t c = decodeUtf8At(utf8, i, n);
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

// The novel in UTF-8, GBK and UTF-16 (with its byte-order mark, before which no line starts).
std::string novelIn(const std::string& utf8, const std::string& codePage) {
    if (codePage == "UTF-16LE") return utf16le(utf8);
    if (codePage == "UTF-8") return "\xEF\xBB\xBF" + utf8;
    return testing::gbk(utf8);
}

TEST(PastedExpression, RulesOfReaderAppsFindTheirHeadingsInEveryEncoding) {
    std::string utf8;
    for (int i = 1; i <= 12; ++i) {
        const std::string indent = i % 3 == 0 ? "" : i % 3 == 1 ? "　　" : "  ";
        utf8 += indent + "第" + std::to_string(i) + "章 标题\n　　他说：“第二天再说。”\n";
    }
    struct Case {
        const char* expression;
        std::size_t headings;
    } cases[] = {
        {"(?<=^[\\s　]{0,4})第\\d+章", 12},
        {"^\\u3000{0,2}第\\d{1,4}章(?=\\s)", 8},
        {"(?<=[\\s\\u3000]{2})第\\p{Digit}+章", 8},
        {"^第\\d+章", 4},  // the first heading stands right after the byte-order mark
    };
    for (const char* codePage : {"UTF-8", "GBK", "UTF-16LE"}) {
        CodePageScope scope(codePage == std::string("GBK") ? "GBK" : "UTF-8");
        const std::string text = novelIn(utf8, codePage);
        const DocumentEncoding encoding = detectDocumentEncoding(text, programCodePage());
        for (const auto& c : cases) {
            CustomMatcher m;
            ASSERT_TRUE(m.compile(programText(c.expression)).ok) << c.expression;
            HeadingRules every;
            every.contentsRule = false;
            const HeadingSearch found = searchCustomHeadings(m, text, encoding, every);
            EXPECT_EQ(found.headings.size(), c.headings) << c.expression << " in " << codePage;
        }
    }
}

TEST(PastedExpression, AGbkPairWithoutACharacterIsOneCharacter) {
    CodePageScope scope("GBK");
    // AF D5 is a pair of GBK's user-defined rows: no character, but two bytes of one.
    const std::string line = "x\xAF\xD5" + testing::gbk("第1章 标题");
    const std::string text = line + "\n" + testing::gbk("正文\n第2章 又一章\n");
    CustomMatcher m;
    ASSERT_TRUE(m.compile(programText("^.{0,2}第\\d+章")).ok);
    const HeadingSearch found = searchCustomHeadings(m, text, encodingOf("GBK"), {});
    ASSERT_EQ(found.headings.size(), 2u);
    EXPECT_EQ(found.headings[0].offset, 0);
    // One character of three bytes (U+FFFD; Windows gives the pair a private-use one), then
    // the line's own.
    EXPECT_EQ(readableUtf8(line, encodingOf("GBK")).substr(4), "第1章 标题");
}

TEST(PastedExpression, CharactersTheCodePageLacksAreKeptAsCodePoints) {
    struct Case {
        const char* typed;
        std::string kept;
    } cases[] = {
        {"^[✦第]", "^[\\x{2726}" + testing::gbk("第") + "]"},
        {"\\✦", "\\x{2726}"},
        {"\\\\✦", "\\\\\\x{2726}"},
        {"\\Q✦\\E", "\\Q\\E\\x{2726}\\Q\\E"},
        {"☆", testing::gbk("☆")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(expressionInCodePage(c.typed, "GBK").text, c.kept) << c.typed;
    }
    // A place in the kept expression is the typed character it stands for.
    const CodePageExpression kept = expressionInCodePage("✦(", "GBK");
    EXPECT_EQ(kept.typedAt, (std::vector<std::size_t>{0, 0, 0, 0, 0, 0, 0, 0, 1, 2}));
    // Matched by characters in a novel of another code page.
    CodePageScope scope("GBK");
    CustomMatcher m;
    ASSERT_TRUE(m.compile(expressionInCodePage("^[✦✧].{1,9}$", "GBK").text).ok);
    const HeadingSearch found =
        searchCustomHeadings(m, "✦ 一\n正文\n✧ 二\n", encodingOf("UTF-8"), {});
    EXPECT_EQ(found.headings.size(), 2u);
}

}  // namespace
}  // namespace folioknife::splitter
