// Starting programs and finding our executable on Windows, through the ...W functions: texts
// are bytes in the program's code page, which need not be the system's.
#include <windows.h>

#include <optional>
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

ShellOutcome runCommandLine(const Text& commandLine, bool wait, ShowMode show) {
    STARTUPINFOW startup;
    GetStartupInfoW(&startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = show == ShowMode::Maximized ? SW_SHOWMAXIMIZED : SW_HIDE;
    std::optional<std::vector<wchar_t>> line = wideLine(commandLine);
    if (!line) return ShellOutcome::failed(splitter::systemReason(ERROR_NO_UNICODE_TRANSLATION));
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line->data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return ShellOutcome::failed(splitter::systemReason(GetLastError()));
    }
    if (wait) WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return ShellOutcome::done();
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
