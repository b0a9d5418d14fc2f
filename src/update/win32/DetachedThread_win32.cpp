// A thread nobody waits for, on Windows.
#include <windows.h>

#include <memory>
#include <new>

#include "update/DetachedThread.h"

namespace folioknife::update {

namespace {
DWORD WINAPI runDetached(LPVOID parameter) {
    std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(parameter));
    (*work)();
    return 0;
}
}  // namespace

bool startDetachedThread(std::function<void()> work) {
    auto* parameter = new (std::nothrow) std::function<void()>(std::move(work));
    if (!parameter) return false;
    HANDLE thread = CreateThread(nullptr, 0, runDetached, parameter, 0, nullptr);
    if (!thread) {
        delete parameter;
        return false;
    }
    // Nobody waits for the thread; it ends with its work or with the process.
    CloseHandle(thread);
    return true;
}

}  // namespace folioknife::update
