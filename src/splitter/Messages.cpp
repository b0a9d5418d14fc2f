#include "splitter/Messages.h"

namespace folioknife::splitter {

namespace {

// Every id's text, in the order of the ids: the static_assert below names a table that has
// left one out or put one out of place.
constexpr MessagePattern kChinesePatterns[] = {
    {MessageId::NoDocument, "请先设定TXT文件位置"},
    {MessageId::NoExpression, "请定义章节表达式（正则表达式）"},
    {MessageId::BadChaptersPerFile, "错误！您指定了每0个章节分为一个文件或该位置输入的不是数字！"},
    {MessageId::NoOutputDirectory, "错误！请指定输出文件路径！"},
    {MessageId::InvalidExpression, "章节表达式无效：{1}"},
    {MessageId::TooComplex, "章节表达式过于复杂，无法完成搜索"},
    {MessageId::NoHeadings,
     "未找到章节标题：全文写入了一个文件。请检查前缀、后缀（如“回”“节”“卷”）或表达式"},
    {MessageId::SuffixWouldFind,
     "未找到章节标题：全文写入了一个文件。后缀改为“{1}”可找到 {2} 个章节标题"},
    {MessageId::OtherSuffixUsed, "未找到“{1}”章节标题，已按“{2}”分割：共 {3} 个章节标题"},
    {MessageId::SplitDone, "分割成功！"},
    {MessageId::CannotConvert, "分割失败！无法无损转换为 {1}：第 {2} 行（字节偏移 {3}）"},
    {MessageId::DuplicateVolumeName, "分割失败！两个输出文件的名称相同：{1}"},
    {MessageId::ReservedVolumeName, "分割失败！输出文件名 {1} 是本程序自用的文件名"},
    {MessageId::WriteFailed, "分割失败！无法写入文件：{1}"},
    {MessageId::SourceKept, "源文件未删除：输出文件未包含源文件的全部内容"},
    {MessageId::SourceIsOutput, "源文件未删除：源文件就是输出文件之一"},
    {MessageId::SourceNotDeleted, "源文件未删除：{1}"},
    {MessageId::SourceFolderBusy, "源文件未删除：输出文件夹正被另一个分割任务使用：{1}"},
    {MessageId::FolderBusy, "分割失败！输出文件夹正被另一个分割任务使用：{1}"},
    {MessageId::FolderLockFailed, "分割失败！无法锁定输出文件夹：{1}"},
    {MessageId::FolderCreateFailed, "分割失败！无法创建输出文件夹：{1}"},
    {MessageId::ReplaceOtherVolumes,
     "输出文件夹中已有其他小说的分卷文件（{1}，共 {2} 个）。替换它们吗？"},
    {MessageId::OtherVolumesFound,
     "分割失败！输出文件夹中已有其他小说的分卷文件：{1}（共 {2} 个）\n"
     "请选择其他输出文件夹，或用 --replace 替换它们"},
    {MessageId::RestoreFailed, "分割失败！无法恢复 {1}：旧内容在 {2} 中"},
    {MessageId::LeftoverNotRemoved, "分割失败！无法删除分割留下的文件：{1}"},
    {MessageId::RecordNameTaken,
     "分割失败！{1} 不是本程序的记录文件，而分割要用这个名称：请移走它或给它改名"},
    {MessageId::CannotReadBack, "源文件未删除：无法读回 {1}：{2}"},
    {MessageId::NotChosenWithOpen,
     "源文件未删除：这部小说是从“一键分割”打开的，只有用“打开”选择的文件才会被删除"},
    {MessageId::FolderFlushFailed, "分割失败！无法同步输出文件夹：{1}"},
    {MessageId::NotRegularFile, "不是普通文件：{1}"},
    {MessageId::InvalidVolumeName, "分割失败！输出文件名无效：{1}"},
    {MessageId::CutShortDuringSplit, "小说在分割时被其他程序截短"},
    {MessageId::NoHeadingsSourceKept, "未找到章节标题：全文写入了一个文件，源文件保留"},
    {MessageId::ManyVolumes, "将写入 {1} 个文件（{2} 个章节标题），继续吗？"},
    {MessageId::OpenSucceeded, "打开成功"},
    {MessageId::OpenFailed, "打开失败：{1}"},
    {MessageId::InvalidExpressionAt, "章节表达式无效：第 {2} 个字符处{1}"},
};
static_assert(coversEveryMessageId(kChinesePatterns));

const char* chinesePattern(MessageId id) {
    return kChinesePatterns[static_cast<std::size_t>(id)].text;
}

}  // namespace

Text fillInMessage(std::string_view pattern, const std::vector<Text>& args, const Text& reason,
                   Text (*literal)(std::string_view utf8)) {
    // The pieces between the arguments are converted one by one: in a double-byte code page
    // the bytes "{1}" may end a character, so the converted whole is never searched.
    Text result;
    std::size_t piece = 0;
    for (std::size_t i = 0; i + 2 < pattern.size(); ++i) {
        if (pattern[i] != '{' || pattern[i + 2] != '}' || pattern[i + 1] < '1' ||
            pattern[i + 1] > '9')
            continue;
        const auto n = static_cast<std::size_t>(pattern[i + 1] - '1');
        if (n >= args.size()) continue;
        result += literal(pattern.substr(piece, i - piece)) + args[n];
        piece = i + 3;
        i += 2;
    }
    result += literal(pattern.substr(piece));
    if (!reason.empty()) result += "\n" + reason;
    return result;
}

Text chineseText(const Message& message) {
    return fillInMessage(chinesePattern(message.id), message.args, message.reason, programText);
}

Text defaultTitle() { return programText("信息"); }

}  // namespace folioknife::splitter
