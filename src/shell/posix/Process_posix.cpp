// Starting programs and finding our executable on Linux.
#include <errno.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <system_error>
#include <thread>
#include <vector>

#include "shell/Process.h"

extern char** environ;

namespace folioknife::shell {

namespace {

void waitForChild(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace

// The words go to the program as its arguments, so no text is ever read by a shell. There is
// no window state to pass on.
bool runCommandLine(const Text& commandLine, bool wait, ShowMode) {
    std::vector<Text> words = splitIntoWords(commandLine);
    if (words.empty()) return false;
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return false;
    if (wait) {
        waitForChild(pid);
        return true;
    }
    // A child nobody waits for stays a zombie for as long as we run; a small detached thread
    // collects it instead. Without that thread it is merely left to the end of the process.
    try {
        std::thread(waitForChild, pid).detach();
    } catch (const std::system_error&) {
    }
    return true;
}

Text executablePath() {
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) return Text();
        // readlink does not say whether it cut the name short; a full buffer may have.
        if (static_cast<std::size_t>(n) < buffer.size()) return Text(buffer.data(), n);
        if (buffer.size() >= (std::size_t{1} << 20)) return Text();
        buffer.resize(buffer.size() * 2);
    }
}


}  // namespace folioknife::shell
