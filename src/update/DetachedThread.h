#pragma once
// A thread nobody waits for, one implementation per platform.
#include <functional>

#include "shell/ShellOutcome.h"

namespace folioknife::update {

// A detached thread running work, or why it could not be started.
shell::ShellOutcome startDetachedThread(std::function<void()> work);

}  // namespace folioknife::update
