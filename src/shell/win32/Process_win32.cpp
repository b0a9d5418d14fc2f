// Starting programs and finding our executable on Windows, through the ...W functions: texts
// are bytes in the program's code page, which need not be the system's.
#include <windows.h>

#include <string>
#include <vector>

#include "shell/Process.h"
#include "splitter/win32/WideText.h"

namespace folioknife::shell {

namespace {

// The command line as CreateProcessW takes it: a copy of its own, which it may write into, and
// the NUL; nothing when the bytes are no text of the program's code page.
std::optional<std::vector<wchar_t>> wideLine(const Text& commandLine) {
    const std::optional<std::wstring> wide = splitter::toWide(commandLine);
    if (!wide) return std::nullopt;
    std::vector<wchar_t> line(wide->begin(), wide->end());
    line.push_back(L'\0');
    return line;
}

}  // namespace

bool runCommandLine(const Text& commandLine, bool wait, ShowMode show) {
    STARTUPINFOW startup;
    GetStartupInfoW(&startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = show == ShowMode::Maximized ? SW_SHOWMAXIMIZED : SW_HIDE;
    std::optional<std::vector<wchar_t>> line = wideLine(commandLine);
    PROCESS_INFORMATION process{};
    if (!line || !CreateProcessW(nullptr, line->data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                 &startup, &process)) {
        return false;
    }
    if (wait) WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return true;
}

namespace {

// The system's words for an error code, in the program's code page.
Text reasonOf(DWORD error) { return splitter::systemReason(error); }

}  // namespace

std::optional<Text> runToEnd(const Text& commandLine) {
    STARTUPINFOW startup;
    GetStartupInfoW(&startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    std::optional<std::vector<wchar_t>> line = wideLine(commandLine);
    if (!line) return reasonOf(ERROR_NO_UNICODE_TRANSLATION);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line->data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return reasonOf(GetLastError());
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    const bool known = GetExitCodeProcess(process.hProcess, &code) != FALSE;
    const DWORD error = GetLastError();
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    if (!known) return reasonOf(error);
    if (code == 0) return std::nullopt;
    // REG says why on a console no one sees: its status is what is left to tell.
    const std::size_t space = commandLine.find(' ');
    return commandLine.substr(0, space) + splitter::programText(" 以退出码 ") +
           std::to_string(code) + splitter::programText(" 结束");
}

Text executablePath() {
    // MAX_PATH first. A longer path (long-path aware systems) comes back cut short with the
    // buffer full; a cut path would name another file, so the buffer grows instead.
    // A path that the program's code page cannot write is no path: empty, as for a failure.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return Text();
        if (n < buffer.size())
            return splitter::fromWide(std::wstring_view(buffer.data(), n)).value_or(Text());
        if (buffer.size() >= 32768) return Text();
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace folioknife::shell
