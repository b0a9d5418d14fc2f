#pragma once
// A thread nobody waits for, one implementation per platform.
#include <functional>

namespace folioknife::update {

// A detached thread running work; false when it could not be started.
bool startDetachedThread(std::function<void()> work);

}  // namespace folioknife::update
