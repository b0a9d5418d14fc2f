#include "app/Controls.h"

#include "folioknife/Version.h"

#ifndef FOLIOKNIFE_AUTHOR_ADDRESS
#define FOLIOKNIFE_AUTHOR_ADDRESS ""
#endif

namespace folioknife::app {

using splitter::programText;

std::vector<ControlLayout> controlTable(const Text& presetOutputDirectory) {
    using K = ControlKind;
    using C = Control;
    using B = ControlColours::Background;
    const auto t = [](const char* utf8) { return programText(utf8); };
    const ControlColours system{B::System};
    const ControlColours onFace{B::ButtonFace, 0x000000};
    const ControlColours onWhite{B::Own, 0x000000, 0xFFFFFF};
    const ControlColours greenOnFace{B::ButtonFace, 0x008000};
    // No address is better than a placeholder that bounces: without one given to the build,
    // the line only welcomes reports.
    const Text address = FOLIOKNIFE_AUTHOR_ADDRESS;
    const Text author =
        address.empty() ? t("欢迎提交bug") : t("作者邮箱：") + address + "  " + t("欢迎提交bug");
    // clang-format off
    return {
        {C::DefaultModeRadio, K::RadioButton, t("默认模式"), 25, 27, 72, 22, true, true, onFace},
        {C::CustomModeRadio, K::RadioButton, t("自定义"), 25, 56, 56, 16, true, false, onFace},
        {C::PrefixEdit, K::Edit, t("第"), 143, 27, 51, 22, true, false, onWhite},
        {C::SuffixEdit, K::Edit, t("章"), 267, 27, 51, 22, true, false, onWhite},
        {C::ExpressionEdit, K::Edit, Text(), 97, 53, 200, 20, false, false, onWhite},
        {C::ChaptersPerFileEdit, K::Edit, "10", 114, 80, 49, 24, true, false, onWhite},
        {C::ExpressionLabel, K::Label, t("表达式："), 97, 31, 42, 22, true, false, onFace},
        {C::DigitsLabel, K::Label, t("+数字部分+"), 200, 31, 64, 22, true, false, onFace},
        {C::PerFileLabel, K::Label, t("一个文件中包含"), 23, 85, 90, 24, true, false, onFace},
        {C::ChaptersUnitLabel, K::Label, t("章"), 170, 85, 50, 20, true, false, onFace},
        {C::OutputToLabel, K::Label, t("输出到："), 24, 140, 40, 24, true, false, onFace},
        {C::OutputDirEdit, K::Edit, presetOutputDirectory, 69, 139, 216, 20, true, false, onWhite},
        {C::BrowseButton, K::PushButton, "...", 285, 139, 32, 20, true, false, system},
        {C::ContextMenuCheck, K::CheckBox, t("添加\"一键分割\"右键菜单"), 33, 209, 184, 24, true, false,
         onFace},
        {C::DeleteSourceCheck, K::CheckBox, t("分割完成后删除源文件"), 33, 162, 184, 24, true, false,
         onFace},
        {C::AuthorLabel, K::Label, author, 35, 242, 285, 16, true, false, greenOnFace},
        {C::OpenButton, K::PushButton, t("打开"), 333, 14, 88, 32, true, false, system},
        {C::SplitButton, K::PushButton, t("分割"), 333, 59, 88, 32, true, false, system},
        {C::ParamsGroup, K::GroupBox, t("分割参数"), 8, 6, 320, 106, true, false, onFace},
        {C::OutputGroup, K::GroupBox, t("输出"), 8, 112, 320, 80, true, false, onFace},
        {C::MiscGroup, K::GroupBox, t("杂项"), 8, 192, 320, 74, true, false, onFace},
        {C::AssistMenuButton, K::PushButton, t("▼"), 300, 53, 25, 20, true, false, system},
    };
    // clang-format on
}

// 431x299 on the screen at 50,50; a caption and a thin fixed border leave 425x270 inside.
WindowLayout windowLayout() { return WindowLayout{50, 50, 431, 299, 425, 270}; }

const char* controlName(Control control) {
    static const char* const names[kControlCount] = {
        "DefaultModeRadio", "CustomModeRadio",     "PrefixEdit",        "SuffixEdit",
        "ExpressionEdit",   "ChaptersPerFileEdit", "ExpressionLabel",   "DigitsLabel",
        "PerFileLabel",     "ChaptersUnitLabel",   "OutputToLabel",     "OutputDirEdit",
        "BrowseButton",     "ContextMenuCheck",    "DeleteSourceCheck", "AuthorLabel",
        "OpenButton",       "SplitButton",         "ParamsGroup",       "OutputGroup",
        "MiscGroup",        "AssistMenuButton"};
    return names[static_cast<int>(control)];
}

Text windowTitle() { return "Tarvelle V"; }
Text programVersion() { return FOLIOKNIFE_VERSION; }
Text openFileDialogTitle() { return programText("打开文件"); }
std::vector<FileFilter> openFileDialogFilter() {
    return {FileFilter{programText("文本文件(*.txt)"), "*.txt"}};
}
Text folderBrowserTitle() { return programText("选择输出文本目录"); }

}  // namespace folioknife::app
