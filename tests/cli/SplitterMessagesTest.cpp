#include <gtest/gtest.h>

#include <set>

#include "TestText.h"
#include "cli/SplitterMessages.h"

namespace folioknife::cli {
namespace {

using splitter::Message;
using splitter::MessageId;
using splitter::Text;
using testing::gbk;

// Every message in both languages, filled in, under GBK: the window's Chinese bytes and the
// terminal's English. Arguments and reasons are GBK bytes, as a Chinese Windows gives them.
TEST(SplitterMessages, EveryMessageHasItsChineseAndItsEnglishText) {
    testing::CodePageScope codePage("GBK");
    const struct {
        MessageId id;
        const char* chinese;
        const char* english;
        std::vector<std::string> args = {};  // UTF-8 here
        std::string reason = {};
    } cases[] = {
        {MessageId::NoDocument, "请先设定TXT文件位置", "the novel holds no text"},
        {MessageId::NoExpression, "请定义章节表达式（正则表达式）",
         "give a chapter expression (a regular expression)"},
        {MessageId::BadChaptersPerFile,
         "错误！您指定了每0个章节分为一个文件或该位置输入的不是数字！",
         "error: the chapters per file are not a number, or fewer than 1"},
        {MessageId::NoOutputDirectory, "错误！请指定输出文件路径！",
         "error: give an output folder"},
        {MessageId::InvalidExpression,
         "章节表达式无效：missing )",
         "invalid chapter expression: missing )",
         {"missing )"}},
        {MessageId::TooComplex, "章节表达式过于复杂，无法完成搜索",
         "the chapter expression is too complex to search to its end"},
        {MessageId::NoHeadings,
         "未找到章节标题：全文写入了一个文件。请检查前缀、后缀（如“回”“节”“卷”）或表达式",
         "no chapter heading found: the whole text went into one file. Check the prefix, the "
         "suffix (such as 回, 节, 卷) or the expression"},
        {MessageId::SuffixWouldFind,
         "未找到章节标题：全文写入了一个文件。后缀改为“回”可找到 12 个章节标题",
         "no chapter heading found: the whole text went into one file. The suffix \"回\" would "
         "find 12 chapter headings",
         {"回", "12"}},
        {MessageId::OtherSuffixUsed,
         "未找到“章”章节标题，已按“回”分割：共 120 个章节标题",
         "no chapter heading with \"章\" found; split by \"回\": 120 chapter headings",
         {"章", "回", "120"}},
        {MessageId::SplitDone, "分割成功！", "split done"},
        {MessageId::CannotConvert,
         "分割失败！无法无损转换为 GBK：第 6 行（字节偏移 123）",
         "split failed: GBK cannot hold the character at byte 123 (line 6) without loss",
         {"GBK", "6", "123"}},
        {MessageId::DuplicateVolumeName,
         "分割失败！两个输出文件的名称相同：同名.txt",
         "split failed: two files would get one name: 同名.txt",
         {"同名.txt"}},
        {MessageId::ReservedVolumeName,
         "分割失败！输出文件名 .folioknife-lock 是本程序自用的文件名",
         "split failed: the output name .folioknife-lock is one the program keeps for its own "
         "files",
         {".folioknife-lock"}},
        {MessageId::WriteFailed,
         "分割失败！无法写入文件：书/卷_2.txt\n磁盘已满",
         "split failed: cannot write the file 书/卷_2.txt\n磁盘已满",
         {"书/卷_2.txt"},
         "磁盘已满"},
        {MessageId::WriteFailed,
         "分割失败！无法写入文件：out/novel_2.txt",
         "split failed: cannot write the file out/novel_2.txt",
         {"out/novel_2.txt"}},
        {MessageId::SourceKept, "源文件未删除：输出文件未包含源文件的全部内容",
         "source kept: the output files do not hold all of the source"},
        {MessageId::SourceIsOutput, "源文件未删除：源文件就是输出文件之一",
         "source kept: the source is one of the output files"},
        {MessageId::SourceNotDeleted,
         "源文件未删除：拒绝访问",
         "source kept: 拒绝访问",
         {"拒绝访问"}},
        {MessageId::SourceFolderBusy,
         "源文件未删除：输出文件夹正被另一个分割任务使用：out",
         "source kept: another split is using the output folder out",
         {"out"}},
        {MessageId::FolderBusy,
         "分割失败！输出文件夹正被另一个分割任务使用：out",
         "split failed: another split is using the output folder out",
         {"out"}},
        {MessageId::FolderLockFailed,
         "分割失败！无法锁定输出文件夹：out\nno locks",
         "split failed: cannot lock the output folder out\nno locks",
         {"out"},
         "no locks"},
        {MessageId::FolderCreateFailed,
         "分割失败！无法创建输出文件夹：D:\\output\n没有驱动器 D:",
         "split failed: cannot create the output folder D:\\output\n没有驱动器 D:",
         {"D:\\output"},
         "没有驱动器 D:"},
        {MessageId::ReplaceOtherVolumes,
         "输出文件夹中已有其他小说的分卷文件（novel_1.txt, 第二卷.txt，共 5 个）。替换它们吗？",
         "the output folder holds volumes of another novel (novel_1.txt, 第二卷.txt; 5 in all). "
         "Replace them?",
         {"novel_1.txt, 第二卷.txt", "5"}},
        {MessageId::OtherVolumesFound,
         "分割失败！输出文件夹中已有其他小说的分卷文件：novel_1.txt（共 1 个）\n"
         "请选择其他输出文件夹，或用 --replace 替换它们",
         "split failed: the output folder holds volumes of another novel: novel_1.txt (1 in "
         "all)\nchoose another output folder, or replace them with --replace",
         {"novel_1.txt", "1"}},
        {MessageId::RestoreFailed,
         "分割失败！无法恢复 书/卷_3.txt：旧内容在 书/卷_3.txt.folioknife-old-a 中\n拒绝访问",
         "split failed: cannot restore 书/卷_3.txt: its old content is in "
         "书/卷_3.txt.folioknife-old-a\n拒绝访问",
         {"书/卷_3.txt", "书/卷_3.txt.folioknife-old-a"},
         "拒绝访问"},
        {MessageId::LeftoverNotRemoved,
         "分割失败！无法删除分割留下的文件：out/novel_4.txt",
         "split failed: cannot remove out/novel_4.txt, left by a split",
         {"out/novel_4.txt"}},
        {MessageId::RecordNameTaken,
         "分割失败！out/.folioknife-record "
         "不是本程序的记录文件，而分割要用这个名称：请移走它或给它改名",
         "split failed: out/.folioknife-record is no record of this program, and the split "
         "needs its name: move or rename it",
         {"out/.folioknife-record"}},
        {MessageId::CannotReadBack,
         "源文件未删除：无法读回 novel_3.txt：cannot read",
         "source kept: cannot read back novel_3.txt：cannot read",
         {"novel_3.txt", "cannot read"}},
        {MessageId::NotChosenWithOpen,
         "源文件未删除：这部小说是从“一键分割”打开的，只有用“打开”选择的文件才会被删除",
         "source kept: the novel came from the context menu; only a novel chosen with Open is "
         "deleted"},
        {MessageId::FolderFlushFailed,
         "分割失败！无法同步输出文件夹：out\n权限不够",
         "split failed: cannot flush the output folder out to the disk\n权限不够",
         {"out"},
         "权限不够"},
        {MessageId::NotRegularFile,
         "不是普通文件：/dev/stdin",
         "not a regular file: /dev/stdin",
         {"/dev/stdin"}},
        {MessageId::InvalidVolumeName,
         "分割失败！输出文件名无效：..",
         "split failed: not a file name: ..",
         {".."}},
        {MessageId::CutShortDuringSplit, "小说在分割时被其他程序截短",
         "the novel was cut short by another program during the split"},
        {MessageId::NoHeadingsSourceKept, "未找到章节标题：全文写入了一个文件，源文件保留",
         "no chapter heading found: the whole text went into one file, the source is kept"},
        {MessageId::ManyVolumes,
         "将写入 4265 个文件（85294 个章节标题），继续吗？",
         "4265 files will be written (85294 chapter headings). Go on?",
         {"4265", "85294"}},
        {MessageId::OpenSucceeded, "打开成功", "opened"},
        {MessageId::OpenFailed,
         "打开失败：D:\\书\\小说.txt\n找不到文件",
         "cannot open: D:\\书\\小说.txt\n找不到文件",
         {"D:\\书\\小说.txt"},
         "找不到文件"},
    };
    std::set<MessageId> seen;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.english);
        seen.insert(c.id);
        std::vector<Text> args;
        for (const std::string& arg : c.args) args.push_back(gbk(arg));
        const Message message(c.id, args, gbk(c.reason));
        EXPECT_EQ(splitter::chineseText(message), gbk(c.chinese));
        EXPECT_EQ(englishText(message, "GBK"), c.english);
        // Under Chinese the terminal gets the window's text, but where it names a place by
        // its byte first.
        if (c.id != MessageId::CannotConvert) {
            EXPECT_EQ(messageText(message, "GBK", true), c.chinese);
        }
        EXPECT_EQ(messageText(message, "GBK", false), c.english);
    }
    EXPECT_EQ(messageText(Message(MessageId::CannotConvert, {"GBK", "6", "123"}), "GBK", true),
              "分割失败！GBK 无法无损表示字节偏移 123（第 6 行）处的字符");
    // No id forgotten, here or in either table.
    EXPECT_EQ(seen.size(), splitter::kMessageIdCount);
    for (std::size_t i = 0; i < splitter::kMessageIdCount; ++i) {
        const Message message(static_cast<MessageId>(i), {"x", "y", "z"});
        EXPECT_FALSE(splitter::chineseText(message).empty()) << i;
        EXPECT_FALSE(englishText(message, "GBK").empty()) << i;
    }
}

}  // namespace
}  // namespace folioknife::cli
