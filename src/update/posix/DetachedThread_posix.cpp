// A thread nobody waits for, on Linux.
#include <system_error>
#include <thread>

#include "update/DetachedThread.h"

namespace folioknife::update {

bool startDetachedThread(std::function<void()> work) {
    try {
        std::thread(std::move(work)).detach();
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

}  // namespace folioknife::update
