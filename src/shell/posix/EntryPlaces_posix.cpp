// The context-menu entry on Linux: a desktop entry for text files in the user's applications
// folder, written and removed by this program itself, read by the probe.
#include <errno.h>
#include <fcntl.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "shell/posix/DesktopEntryFile.h"

namespace folioknife::shell {

namespace {

const char kEntryFileName[] = "folioknife-context-menu.desktop";

Text homeDirectory() {
    const char* home = std::getenv("HOME");
    if (home && *home) return home;
    const passwd* pw = getpwuid(getuid());
    return pw && pw->pw_dir ? pw->pw_dir : "";
}

// Creates the folder and its missing parents; the XDG base directory rules ask for 0700.
void makeFolders(const Text& folder) {
    for (std::size_t at = 1; at <= folder.size(); ++at) {
        if (at == folder.size() || folder[at] == '/') mkdir(folder.substr(0, at).c_str(), 0700);
    }
}

bool readWholeFile(const Text& path, Text& content) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            close(fd);
            return n == 0;
        }
        content.append(buffer, static_cast<std::size_t>(n));
        // A desktop entry is a few hundred bytes; a huge file is not ours.
        if (content.size() > (std::size_t{1} << 20)) {
            close(fd);
            return false;
        }
    }
}

bool writeAll(int fd, const Text& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// A file manager may read the folder at any moment, so it sees the old entry or the new one,
// never half of one: the text goes to a temporary file beside it, which is then renamed.
ShellOutcome replaceFile(const Text& path, const Text& bytes) {
    makeFolders(splitter::parentPath(path, PathStyle::Posix));
    Text temporary = path + ".XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return ShellOutcome::failed(systemReason(errno));
    int error = 0;
    if (fchmod(fd, 0644) != 0 || !writeAll(fd, bytes) || fsync(fd) != 0) error = errno;
    if (close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && rename(temporary.c_str(), path.c_str()) == 0) return ShellOutcome::done();
    if (error == 0) error = errno;
    unlink(temporary.c_str());
    return ShellOutcome::failed(systemReason(error));
}

Text toUtf8(const Text& text) {
    auto converted = splitter::convertText(text, splitter::programCodePage(), "UTF-8");
    return converted ? *converted : text;
}

Text fromUtf8(const Text& text) {
    auto converted = splitter::convertText(text, "UTF-8", splitter::programCodePage());
    return converted ? *converted : text;
}

}  // namespace

Text desktopEntryPath() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    // By the XDG base directory rules a relative path in the variable is to be ignored.
    Text folder =
        dataHome && dataHome[0] == '/' ? Text(dataHome) : homeDirectory() + "/.local/share";
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder + "/applications/" + kEntryFileName;
}

Text DesktopEntryFile::menuText() {
    Text content;
    if (!readWholeFile(path_, content)) return Text();
    const Text name = readDesktopEntry(content).name;
    return name.empty() ? name : fromUtf8(name);
}

ShellOutcome DesktopEntryFile::write(const Text& program) {
    return replaceFile(path_, desktopEntryText({toUtf8(shell::menuText()), program}));
}

ShellOutcome DesktopEntryFile::remove() {
    if (unlink(path_.c_str()) == 0 || errno == ENOENT) return ShellOutcome::done();
    return ShellOutcome::failed(systemReason(errno));
}

std::vector<std::unique_ptr<EntryPlace>> makeEntryPlaces() {
    std::vector<std::unique_ptr<EntryPlace>> places;
    places.push_back(std::make_unique<DesktopEntryFile>(desktopEntryPath()));
    return places;
}

}  // namespace folioknife::shell
