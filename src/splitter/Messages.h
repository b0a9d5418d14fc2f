#pragma once
// The splitter's own texts, written once in UTF-8 and shown in the program's code page.
#include <cstdint>
#include <string>

#include "splitter/CodePage.h"

namespace folioknife::splitter::messages {

inline Text noDocument() { return programText("请先设定TXT文件位置"); }
inline Text noExpression() { return programText("请定义章节表达式（正则表达式）"); }
inline Text badChaptersPerFile() {
    return programText("错误！您指定了每0个章节分为一个文件或该位置输入的不是数字！");
}
inline Text noOutputDirectory() { return programText("错误！请指定输出文件路径！"); }
inline Text invalidExpression() { return programText("章节表达式无效："); }
inline Text tooComplex() { return programText("章节表达式过于复杂，无法完成搜索"); }
inline Text noHeadings() {
    return programText(
        "未找到章节标题：全文写入了一个文件。请检查前缀、后缀（如“回”“节”“卷”）或表达式");
}
// 'suffix' is in the program's code page.
inline Text suffixWouldFind(const Text& suffix, std::int64_t headings) {
    return programText("未找到章节标题：全文写入了一个文件。后缀改为“") + suffix +
           programText("”可找到 ") + std::to_string(headings) + programText(" 个章节标题");
}
// 'asked' and 'used' are in the program's code page.
inline Text otherSuffixUsed(const Text& asked, const Text& used, std::int64_t headings) {
    return programText("未找到“") + asked + programText("”章节标题，已按“") + used +
           programText("”分割：共 ") + std::to_string(headings) + programText(" 个章节标题");
}
inline Text splitDone() { return programText("分割成功！"); }
// The volumes' encoding, the line and the byte offset of the first character it cannot hold.
inline Text cannotConvert(const Text& encoding, std::uint64_t line, std::uint64_t offset) {
    return programText("分割失败！无法无损转换为 ") + encoding + programText("：第 ") +
           std::to_string(line) + programText(" 行（字节偏移 ") + std::to_string(offset) +
           programText("）");
}
// Followed by the name.
inline Text duplicateVolumeName() { return programText("分割失败！两个输出文件的名称相同："); }
inline Text writeFailed() { return programText("分割失败！无法写入文件："); }
inline Text sourceKept() { return programText("源文件未删除：输出文件未包含源文件的全部内容"); }
inline Text sourceIsOutput() { return programText("源文件未删除：源文件就是输出文件之一"); }
// Followed by the reason.
inline Text sourceNotDeleted() { return programText("源文件未删除："); }
// Followed by the folder.
inline Text folderBusy() { return programText("分割失败！输出文件夹正被另一个分割任务使用："); }
inline Text folderBusyReason() { return programText("输出文件夹正被另一个分割任务使用："); }
// Followed by the folder and, on a line of its own, the system's reason.
inline Text folderLockFailed() { return programText("分割失败！无法锁定输出文件夹："); }
// 'first' is the first volume's name, without the folder.
inline Text replaceOtherVolumes(const Text& first, std::uint64_t count) {
    return programText("输出文件夹中已有其他小说的分卷文件（") + first + programText(" 等 ") +
           std::to_string(count) + programText(" 个）。替换它们吗？");
}
// Followed by the first volume's path; then replaceHint() on a line of its own.
inline Text otherVolumesFound() {
    return programText("分割失败！输出文件夹中已有其他小说的分卷文件：");
}
inline Text replaceHint() { return programText("请选择其他输出文件夹，或用 --replace 替换它们"); }
// Followed by the volume's path, "：" and the reason.
inline Text cannotReadBack() { return programText("源文件未删除：无法读回 "); }
inline Text notChosenWithOpen() {
    return programText(
        "源文件未删除：这部小说是从“一键分割”打开的，只有用“打开”选择的文件才会被删除");
}
inline Text cutShortDuringSplit() { return programText("小说在分割时被其他程序截短"); }
inline Text openSucceeded() { return programText("打开成功"); }
// Followed by the path and, on a line of its own, the reason.
inline Text openFailedAt() { return programText("打开失败："); }
inline Text defaultTitle() { return programText("信息"); }

}  // namespace folioknife::splitter::messages
