#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "TestText.h"
#include "update/LocalFile.h"
#include "update/UpdateRules.h"

namespace folioknife::update {
namespace {
using testing::gbk;

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
        {"200000", 102400},
        {" \t+100", 101},
        {"-100", 10240},
        {"--1", 10240},
        {"100abc", 101},
        {"abc", 10240},
        {"", 10240},
        {std::string(31, '9'), 102400},         // fits the 32-byte buffer
        {std::string(29, '0') + "100", 10240},  // does not
    };
    for (const auto& c : cases) {
        EXPECT_EQ(chunkSizeFor(c.contentLength), c.chunk) << c.contentLength.value_or("-");
    }
}

TEST(UpdateTextTest, AddressesPromptAndVersionOrder) {
    testing::CodePageScope codePage("GBK");
    EXPECT_EQ(cutFragment("/a?b=1#c#d"), "/a?b=1");
    EXPECT_EQ(pageCommandLine("explorer", "h.invalid"),
              "explorer http://h.invalid/mysoft/folioknife");
    EXPECT_EQ(updateFileAddress("h:81"), "http://h:81/soft/folioknife/up.ini");
    EXPECT_EQ(promptText("0.8"), gbk("检查到新版本0.8是否升级？（点击确定将打开下载页面）"));
    EXPECT_EQ(promptTitle(), gbk("升级模块"));
    for (const char* newer : {"0.8", "0.71", "1.0", "V1.0"}) EXPECT_TRUE(isNewerVersion(newer));
    for (const char* older : {"0.7", "0.6", "0.10", "0", ""}) EXPECT_FALSE(isNewerVersion(older));
}

// Through the platform's reader: GetPrivateProfileStringA on Windows (the rows hold under
// Wine), ours on Linux.
TEST(ProfileTest, LookupFollowsTheProfileReader) {
    struct Case {
        std::string content, value;
    } cases[] = {
        {"[up]\nver=0.8\n", "0.8"},
        {"[UP]\r\nVER=0.8", "0.8"},
        {"  [ up ]  \n  ver  =  0.8  \n", "0.8"},
        {"[up]\nver=\"0.8\"\n", "0.8"},
        {"[up]\nver='0.8'\n", "0.8"},
        {"[up]\nver=\"0.8'\n", "\"0.8'"},
        {"[up]\nver=\"\n", "\""},
        {"[up]\nver=\n", ""},
        {"[up]\nver=a=b ; no comment\n", "a=b ; no comment"},
        {"[up]\n;ver=0.9\n#x=1\nver=0.8\n", "0.8"},
        {"[up]\nver\nver=0.8\n", "0"},
        {"[up]\nver=0.8\nver=0.9\n", "0.8"},
        {"[other]\nver=0.9\n[up]\nver=0.8\n", "0.8"},
        {"[up]\nx=1\n[up]\nver=0.9\n", "0"},
        {"[up]\nx=1\n  ver=0.8\n", "0.8"},
        {"\xEF\xBB\xBF[up]\nver=0.8\n", "0.8"},
        {"[up]\nver=" + std::string(3000, '9') + "\n", std::string(3000, '9')},
        {"[up]\nversion=0.8\n[upper]\nver=0.9\n", "0"},
        {"ver=0.8\n[up\nver=0.8\n", "0"},
        {"<html><body>Not Found</body></html>", "0"},
        {"", "0"},
    };
    const auto path = std::filesystem::temp_directory_path() /
                      ("fk-profile-" + std::to_string(std::random_device()()) + ".ini");
    for (const auto& c : cases) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << c.content;
        EXPECT_EQ(readProfileFile(path.string(), "up", "ver", "0"), c.value) << c.content;
    }
    std::filesystem::remove(path);
    EXPECT_EQ(readProfileFile(path.string(), "up", "ver", "0"), "0");
}

}  // namespace
}  // namespace folioknife::update
