#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "TestText.h"
#include "cli/SplitterMessages.h"

namespace folioknife::cli {
namespace {

using splitter::Message;
using splitter::MessageId;
using splitter::Text;
using testing::gbk;

// The arguments that a message's text names, as the markers "<1>" … "<4>" it shows.
std::set<std::string> argumentsShown(const std::string& text) {
    std::set<std::string> shown;
    for (const char* marker : {"<1>", "<2>", "<3>", "<4>"})
        if (text.find(marker) != std::string::npos) shown.insert(marker);
    return shown;
}

// Every id has a text in both languages that names the same arguments, leaves no placeholder
// unfilled and puts the system's reason on a line of its own.
TEST(SplitterMessages, EveryIdSaysTheSameInBothLanguages) {
    testing::CodePageScope codePage("GBK");
    const std::regex placeholder(R"(\{[0-9]\})");
    for (std::size_t i = 0; i < splitter::kMessageIdCount; ++i) {
        SCOPED_TRACE(i);
        const Message message(static_cast<MessageId>(i), {"<1>", "<2>", "<3>", "<4>"}, "why");
        const std::string chinese = splitter::chineseText(message);
        const std::string english = englishText(message, "GBK");
        EXPECT_GT(chinese.size(), 4u + 4u);
        EXPECT_GT(english.size(), 4u + 4u);
        EXPECT_EQ(argumentsShown(chinese), argumentsShown(english));
        EXPECT_FALSE(std::regex_search(chinese, placeholder)) << chinese;
        EXPECT_FALSE(std::regex_search(english, placeholder)) << english;
        EXPECT_EQ(chinese.substr(chinese.size() - 4), "\nwhy");
        EXPECT_EQ(english.substr(english.size() - 4), "\nwhy");
        // Under Chinese the terminal gets the window's text, converted from the code page, but
        // where it names a place by its byte first.
        const std::string terminal = gbk(messageText(message, "GBK", true));
        if (message.id == MessageId::CannotConvert) {
            EXPECT_EQ(argumentsShown(terminal), argumentsShown(chinese));
        } else {
            EXPECT_EQ(terminal, chinese);
        }
        EXPECT_EQ(messageText(message, "GBK", false), english);
    }
}

// Arguments and reasons come as GBK bytes, as a Chinese Windows gives them: the window keeps
// them, the English text converts them with the rest.
TEST(SplitterMessages, ArgumentsKeepTheirCharactersInEitherLanguage) {
    testing::CodePageScope codePage("GBK");
    const struct {
        MessageId id;
        std::vector<std::string> args;  // UTF-8 here
        std::string reason, chinese, english;
    } cases[] = {
        {MessageId::SplitDone, {}, {}, "分割成功！", "split done"},
        {MessageId::CannotConvert,
         {"GBK", "6", "123"},
         {},
         "分割失败！GBK 无法无损表示字节偏移 123（第 6 行）处的字符",
         "split failed: GBK cannot hold the character at byte 123 (line 6) without loss"},
        {MessageId::WriteFailed,
         {"书/卷_2.txt"},
         "磁盘已满",
         "分割失败！无法写入文件：书/卷_2.txt\n磁盘已满",
         "split failed: cannot write the file 书/卷_2.txt\n磁盘已满"},
        {MessageId::FolderCreateFailed,
         {"D:\\output"},
         "没有驱动器 D:",
         "分割失败！无法创建输出文件夹：D:\\output\n没有驱动器 D:",
         "split failed: cannot create the output folder D:\\output\n没有驱动器 D:"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.english);
        std::vector<Text> args;
        for (const std::string& arg : c.args) args.push_back(gbk(arg));
        const Message message(c.id, args, gbk(c.reason));
        EXPECT_EQ(messageText(message, "GBK", true), c.chinese);
        EXPECT_EQ(messageText(message, "GBK", false), c.english);
    }
}

}  // namespace
}  // namespace folioknife::cli
