#include "shell/EntryTexts.h"

#include "shell/CompareText.h"

namespace folioknife::shell {

Text menuText() { return splitter::programText("一键分割"); }

Text warningText() {
    return splitter::programText(
        "请确定您是在管理员模式下运行此程序，否则不能添加右键菜单。\r\n注：分割文件对权限无要求。");
}

Text openWithNote() { return splitter::programText("将在文件管理器的“打开方式”中添加“一键分割”"); }

Text probePath() { return machineEntryKey() + "\\"; }
Text machineEntryKey() { return "SOFTWARE\\Classes\\txtfile\\shell\\folioknife"; }
Text userEntryKey() { return "Software\\Classes\\*\\shell\\" + menuText(); }
Text userProbePath() { return userEntryKey() + "\\"; }
Text entryCommand(const Text& executablePath) { return executablePath + " %1"; }
Text probeDefault() { return "no"; }
bool entryPresent(const Text& probed) { return compareText(probed, probeDefault()) != 0; }

RegistryPath splitRegistryPath(const Text& path) {
    const std::size_t at = splitter::lastSeparator(path, PathStyle::Windows);
    if (at == Text::npos) return RegistryPath{path, Text()};
    return RegistryPath{path.substr(0, at), path.substr(at + 1)};
}

}  // namespace folioknife::shell
