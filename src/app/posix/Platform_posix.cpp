#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "app/Application.h"

namespace folioknife::app {

// The preset output folder is "output" in the user's home folder; Linux has no drive D:.
Platform currentPlatform() {
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        const passwd* pw = getpwuid(getuid());
        home = pw && pw->pw_dir ? pw->pw_dir : "";
    }
    const auto style = splitter::PathStyle::Posix;
    return Platform{style, splitter::joinPathOnce(home, "output", style)};
}

}  // namespace folioknife::app
