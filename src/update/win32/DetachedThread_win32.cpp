// A thread nobody waits for, on Windows.
#include <windows.h>

#include <memory>
#include <new>

#include "splitter/win32/WideText.h"
#include "update/DetachedThread.h"

namespace folioknife::update {

namespace {
DWORD WINAPI runDetached(LPVOID parameter) {
    std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(parameter));
    (*work)();
    return 0;
}
}  // namespace

shell::ShellOutcome startDetachedThread(std::function<void()> work) {
    auto* parameter = new (std::nothrow) std::function<void()>(std::move(work));
    if (!parameter) return shell::ShellOutcome::failed(splitter::systemReason(ERROR_OUTOFMEMORY));
    HANDLE thread = CreateThread(nullptr, 0, runDetached, parameter, 0, nullptr);
    if (!thread) {
        const DWORD error = GetLastError();
        delete parameter;
        return shell::ShellOutcome::failed(splitter::systemReason(error));
    }
    // Nobody waits for the thread; it ends with its work or with the process.
    CloseHandle(thread);
    return shell::ShellOutcome::done();
}

}  // namespace folioknife::update
