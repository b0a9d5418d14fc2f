#include <gtest/gtest.h>

#include "TestText.h"
#include "update/UpdateRules.h"

namespace folioknife::update {
namespace {
using testing::CodePageScope;
using testing::gbk;
using testing::hex;

TEST(ChunkRuleTest, ContentLengthChoosesTheChunk) {
    struct Case {
        std::optional<std::string> contentLength;
        std::size_t chunk;
    } cases[] = {
        {std::nullopt, 10240},
        {"100", 101},
        {"0", 10240},
        {"1", 2},
        {"102399", 102400},
        {"102400", 102400},
        {"200000", 102400},
        {" \t 100", 101},
        {"+100", 101},
        {"-100", 10240},
        {"--100", 10240},
        {"100abc", 101},
        {"abc", 10240},
        {"", 10240},
        {std::string(31, '9'), 102400},      // fits the buffer
        {std::string(29, '0') + "100", 10240},  // 32 characters do not
        {std::string(28, '0') + "100", 101},
        {"99999999999999999999", 102400},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(chunkSizeFor(c.contentLength), c.chunk) << c.contentLength.value_or("(none)");
    }
}

TEST(AddressTest, FragmentsAndAddresses) {
    EXPECT_EQ(cutFragment("/soft/folioknife/up.ini#top"), "/soft/folioknife/up.ini");
    EXPECT_EQ(cutFragment("/a?b=1#c#d"), "/a?b=1");
    EXPECT_EQ(cutFragment("/a"), "/a");
    EXPECT_EQ(cutFragment("#"), "");
    EXPECT_EQ(updateFileAddress("h.invalid"), "http://h.invalid/soft/folioknife/up.ini");
    EXPECT_EQ(downloadPageAddress("127.0.0.1:8080"), "http://127.0.0.1:8080/mysoft/folioknife");
    EXPECT_EQ(pageCommandLine("explorer", "h.invalid"),
              "explorer http://h.invalid/mysoft/folioknife");
}

TEST(PromptTest, TextAndTitleInGbk) {
    CodePageScope codePage("GBK");
    EXPECT_EQ(hex(promptText("0.8")),
              hex(gbk("检查到新版本0.8是否升级？（点击确定将打开下载页面）")));
    EXPECT_EQ(hex(promptTitle()), hex(gbk("升级模块")));
    EXPECT_EQ(programVersion(), "0.7");
}

TEST(VersionTest, OnlyTextsSortingAfterTheProgramsOfferAnUpdate) {
    struct Case {
        std::string version;
        bool newer;
    } cases[] = {
        {"0.8", true}, {"0.71", true}, {"1.0", true},   {"V1.0", true}, {"0.7 ", true},
        {"0.7", false}, {"0.6", false}, {"0.10", false}, {"0", false},   {"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(isNewerVersion(c.version), c.newer) << c.version;
}

TEST(ProfileTest, LookupFollowsTheProfileReadersRules) {
    struct Case {
        std::string content, value;
    } cases[] = {
        {"[up]\nver=0.8\n", "0.8"},
        {"[up]\r\nver=0.8\r\n", "0.8"},
        {"[UP]\nVER=0.8", "0.8"},
        {"  [ up ]  \n  ver  =  0.8  \n", "0.8"},
        {"[up]\nver=\"0.8\"\n", "0.8"},
        {"[up]\nver='0.8'\n", "0.8"},
        {"[up]\nver=\"0.8'\n", "\"0.8'"},
        {"[up]\nver=\"\"0.8\"\"\n", "\"0.8\""},
        {"[up]\nver=\"\n", "\""},
        {"[up]\nver=\n", ""},
        {"[up]\nver=a=b\n", "a=b"},
        {"[up]\nver=0.8 ; not a comment\n", "0.8 ; not a comment"},
        {"[up]\n;ver=0.9\nver=0.8\n", "0.8"},
        {"[up]\n#x=1\nver=0.8\n", "0.8"},
        {"[up]\nver\nver=0.8\n", "0.8"},
        {"[up]\nver=0.8\nver=0.9\n", "0.8"},
        {"[other]\nver=0.9\n[up]\nver=0.8\n", "0.8"},
        {"[up]\nx=1\n[other]\nver=0.9\n", "0"},
        {"[up]\nx=1\n[up]\nver=0.9\n", "0"},  // only the first section of a name
        {"[up]\nx=1\n  ver=0.8\n", "0.8"},     // an indented line is no continuation
        {"\xEF\xBB\xBF[up]\nver=0.8\n", "0.8"},
        {"[up]\n" + std::string(5000, 'x') + "\nver=0.8\n", "0.8"},
        {"[up]\nversion=0.8\n", "0"},
        {"[upper]\nver=0.8\n", "0"},
        {"ver=0.8\n", "0"},
        {"[up\nver=0.8\n", "0"},
        {"<html><body>Not Found</body></html>", "0"},
        {"", "0"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(lookupProfileText(c.content, "up", "ver", "0"), c.value) << c.content;
    }
}

}  // namespace
}  // namespace folioknife::update
