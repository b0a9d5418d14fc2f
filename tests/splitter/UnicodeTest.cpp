#include <gtest/gtest.h>

#include <string>

#include "splitter/Ascii.h"
#include "splitter/Unicode.h"

namespace folioknife::splitter {
namespace {

TEST(Utf8, DecodesWholeSequencesAndStepsOverDamageOneByteAtATime) {
    struct Case {
        std::string text;
        char32_t code;
        std::size_t length;
    } cases[] = {
        {"a", U'a', 1},        {"\xC3\xA9", 0xE9, 2},
        {"第", 0x7B2C, 3},     {"\xF0\x9F\x98\x80", 0x1F600, 4},
        {"\xB8\x80", 0xB8, 1},  // a continuation byte begins nothing
        {"\xE4\xB8", 0xE4, 1},  // cut short by the end of the text
    };
    for (const auto& c : cases) {
        std::size_t length = 0;
        EXPECT_EQ(decodeUtf8At(c.text, 0, length), c.code) << c.text;
        EXPECT_EQ(length, c.length) << c.text;
        if (c.length == c.text.size()) {
            std::string again;
            appendUtf8(again, c.code);
            EXPECT_EQ(again, c.text);
        }
    }
}

TEST(Ascii, FoldsAsciiLettersOnlyAndTellsExtensionsInAnyCase) {
    EXPECT_TRUE(equalIgnoringAsciiCase("Section", "sECTION"));
    EXPECT_FALSE(equalIgnoringAsciiCase("\xC4", "\xE4"));  // Ä and ä in Latin-1: bytes, not letters
    EXPECT_FALSE(equalIgnoringAsciiCase("ab", "abc"));
    struct Case {
        const char* name;
        bool txt;
    } cases[] = {{"novel.txt", true},      {"NOVEL.TXT", true}, {".txt", true},
                 {"novel.txt.bak", false}, {"txt", false},      {"novel.tx", false}};
    for (const auto& c : cases) EXPECT_EQ(hasExtension(c.name, ".txt"), c.txt) << c.name;
}

}  // namespace
}  // namespace folioknife::splitter
