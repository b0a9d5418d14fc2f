// A thread nobody waits for, on Linux.
#include <system_error>
#include <thread>

#include "update/DetachedThread.h"

namespace folioknife::update {

shell::ShellOutcome startDetachedThread(std::function<void()> work) {
    try {
        std::thread(std::move(work)).detach();
        return shell::ShellOutcome::done();
    } catch (const std::system_error& error) {
        return shell::ShellOutcome::failed(error.what());
    }
}

}  // namespace folioknife::update
