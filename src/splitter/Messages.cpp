#include "splitter/Messages.h"

namespace folioknife::splitter {

namespace {

// Every id has its text: a switch without a default, so that the compiler names an id left
// out.
const char* chinesePattern(MessageId id) {
    switch (id) {
        case MessageId::NoDocument:
            return "请先设定TXT文件位置";
        case MessageId::NoExpression:
            return "请定义章节表达式（正则表达式）";
        case MessageId::BadChaptersPerFile:
            return "错误！您指定了每0个章节分为一个文件或该位置输入的不是数字！";
        case MessageId::NoOutputDirectory:
            return "错误！请指定输出文件路径！";
        case MessageId::InvalidExpression:
            return "章节表达式无效：{1}";
        case MessageId::TooComplex:
            return "章节表达式过于复杂，无法完成搜索";
        case MessageId::NoHeadings:
            return "未找到章节标题：全文写入了一个文件。请检查前缀、后缀（如“回”“节”“卷”）或表达式";
        case MessageId::SuffixWouldFind:
            return "未找到章节标题：全文写入了一个文件。后缀改为“{1}”可找到 {2} 个章节标题";
        case MessageId::OtherSuffixUsed:
            return "未找到“{1}”章节标题，已按“{2}”分割：共 {3} 个章节标题";
        case MessageId::SplitDone:
            return "分割成功！";
        case MessageId::CannotConvert:
            return "分割失败！无法无损转换为 {1}：第 {2} 行（字节偏移 {3}）";
        case MessageId::DuplicateVolumeName:
            return "分割失败！两个输出文件的名称相同：{1}";
        case MessageId::ReservedVolumeName:
            return "分割失败！输出文件名 {1} 是本程序自用的文件名";
        case MessageId::WriteFailed:
            return "分割失败！无法写入文件：{1}";
        case MessageId::SourceKept:
            return "源文件未删除：输出文件未包含源文件的全部内容";
        case MessageId::SourceIsOutput:
            return "源文件未删除：源文件就是输出文件之一";
        case MessageId::SourceNotDeleted:
            return "源文件未删除：{1}";
        case MessageId::SourceFolderBusy:
            return "源文件未删除：输出文件夹正被另一个分割任务使用：{1}";
        case MessageId::FolderBusy:
            return "分割失败！输出文件夹正被另一个分割任务使用：{1}";
        case MessageId::FolderLockFailed:
            return "分割失败！无法锁定输出文件夹：{1}";
        case MessageId::FolderCreateFailed:
            return "分割失败！无法创建输出文件夹：{1}";
        case MessageId::ReplaceOtherVolumes:
            return "输出文件夹中已有其他小说的分卷文件（{1}，共 {2} 个）。替换它们吗？";
        case MessageId::OtherVolumesFound:
            return "分割失败！输出文件夹中已有其他小说的分卷文件：{1}（共 {2} 个）\n"
                   "请选择其他输出文件夹，或用 --replace 替换它们";
        case MessageId::RestoreFailed:
            return "分割失败！无法恢复 {1}：旧内容在 {2} 中";
        case MessageId::LeftoverNotRemoved:
            return "分割失败！无法删除分割留下的文件：{1}";
        case MessageId::RecordNameTaken:
            return "分割失败！{1} 不是本程序的记录文件，而分割要用这个名称：请移走它或给它改名";
        case MessageId::CannotReadBack:
            return "源文件未删除：无法读回 {1}：{2}";
        case MessageId::NotChosenWithOpen:
            return "源文件未删除：这部小说是从“一键分割”打开的，只有用“打开”选择的文件才会被删除";
        case MessageId::FolderFlushFailed:
            return "分割失败！无法同步输出文件夹：{1}";
        case MessageId::NotRegularFile:
            return "不是普通文件：{1}";
        case MessageId::InvalidVolumeName:
            return "分割失败！输出文件名无效：{1}";
        case MessageId::CutShortDuringSplit:
            return "小说在分割时被其他程序截短";
        case MessageId::OpenSucceeded:
            return "打开成功";
        case MessageId::OpenFailed:
            return "打开失败：{1}";
    }
    return "";
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
