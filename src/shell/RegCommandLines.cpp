#include "shell/RegCommandLines.h"

#include "shell/CompareText.h"

namespace folioknife::shell {

namespace {

const char kVerbKey[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\txtfile\\shell\\folioknife";
const char kValueOptions[] = " /v \"\" /t REG_SZ /d ";

Text verbLinePrefix() { return Text("REG ADD ") + kVerbKey + kValueOptions; }
Text verbLineSuffix() { return " /f"; }
Text commandValuePrefix() {
    return Text("REG ADD ") + kVerbKey + "\\command" + kValueOptions + "\"";
}
Text commandValueSuffix() { return " %1\" /f"; }

bool startsWith(const Text& text, const Text& prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool endsWith(const Text& text, const Text& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The bytes between a known prefix and suffix that do not overlap, or nothing.
bool between(const Text& text, const Text& prefix, const Text& suffix, Text& inner) {
    if (text.size() < prefix.size() + suffix.size() || !startsWith(text, prefix) ||
        !endsWith(text, suffix)) {
        return false;
    }
    inner = text.substr(prefix.size(), text.size() - prefix.size() - suffix.size());
    return true;
}

}  // namespace

Text menuText() { return splitter::programText("一键分割"); }

Text warningText() {
    return splitter::programText(
        "请确定您是在管理员模式下运行此程序，否则不能添加右键菜单。\r\n注：分割文件对权限无要求。");
}

Text probePath() { return machineEntryKey() + "\\"; }
Text machineEntryKey() { return "SOFTWARE\\Classes\\txtfile\\shell\\folioknife"; }
Text userEntryKey() { return "Software\\Classes\\*\\shell\\" + menuText(); }
Text userProbePath() { return userEntryKey() + "\\"; }
Text entryCommand(const Text& executablePath) { return executablePath + " %1"; }
Text probeDefault() { return "no"; }
bool entryPresent(const Text& probed) { return compareText(probed, probeDefault()) != 0; }

Text verbLine() { return verbLinePrefix() + menuText() + verbLineSuffix(); }

Text commandValueLine(const Text& directory, const Text& fileName, PathStyle style) {
    return commandValuePrefix() + splitter::joinPath(directory, fileName, style) +
           commandValueSuffix();
}

Text deleteLine() { return Text("REG DELETE ") + kVerbKey + " /f"; }

RegistryPath splitRegistryPath(const Text& path) {
    const std::size_t at = splitter::lastSeparator(path, PathStyle::Windows);
    if (at == Text::npos) return RegistryPath{path, Text()};
    return RegistryPath{path.substr(0, at), path.substr(at + 1)};
}

RegCommand readRegCommand(const Text& commandLine) {
    RegCommand command;
    if (commandLine == deleteLine()) {
        command.kind = RegCommand::Kind::DeleteEntry;
    } else if (between(commandLine, commandValuePrefix(), commandValueSuffix(), command.data)) {
        command.kind = RegCommand::Kind::SetCommand;
    } else if (between(commandLine, verbLinePrefix(), verbLineSuffix(), command.data)) {
        command.kind = RegCommand::Kind::SetMenuText;
    } else {
        command.data.clear();
    }
    return command;
}

}  // namespace folioknife::shell
