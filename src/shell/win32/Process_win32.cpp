// Starting programs and finding our executable on Windows, through the ...A functions: texts
// are bytes in the ANSI code page.
#include <windows.h>

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
