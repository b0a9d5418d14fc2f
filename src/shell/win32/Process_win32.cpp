// Starting programs and finding our executable on Windows, through the ...A functions: texts
// are bytes in the ANSI code page.
#include <windows.h>

#include <string>
#include <vector>

#include "shell/Process.h"

namespace folioknife::shell {

bool runCommandLine(const Text& commandLine, bool wait, ShowMode show) {
    STARTUPINFOA startup;
    GetStartupInfoA(&startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = show == ShowMode::Maximized ? SW_SHOWMAXIMIZED : SW_HIDE;
    // CreateProcessA may write into the command line, so it gets a copy of its own.
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return false;
    }
    if (wait) WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return true;
}

namespace {

// The system's words for an error code, in the program's code page.
Text reasonOf(DWORD error) {
    char* text = nullptr;
    const DWORD n = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string reason = n > 0 && text ? std::string(text, n) : std::string();
    if (text) LocalFree(text);
    while (!reason.empty() &&
           (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' '))
        reason.pop_back();
    if (reason.empty()) reason = "error " + std::to_string(error);
    return splitter::sameCodePage(splitter::systemCodePage(), splitter::programCodePage())
               ? reason
               : splitter::convertForDisplay(reason, splitter::systemCodePage(),
                                             splitter::programCodePage());
}

}  // namespace

std::optional<Text> runToEnd(const Text& commandLine) {
    STARTUPINFOA startup;
    GetStartupInfoA(&startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process)) {
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
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD n =
            GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return Text();
        if (n < buffer.size()) return Text(buffer.data(), n);
        if (buffer.size() >= 32768) return Text();
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace folioknife::shell
