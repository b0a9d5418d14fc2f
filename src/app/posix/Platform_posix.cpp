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
    Text folder = home;
    if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return Platform{splitter::PathStyle::Posix, folder == "/" ? "/output" : folder + "/output"};
}

}  // namespace folioknife::app
