// The context-menu entry on Linux: a desktop entry for text files in the user's applications
// folder, written and removed by this program itself, read by the probe.
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "shell/posix/DesktopEntryFile.h"
#include "splitter/FileService.h"
#include "splitter/Path.h"

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

// The file service's failure in the system's words.
ShellOutcome outcomeOf(const splitter::FileStatus& status) {
    if (status) return ShellOutcome::done();
    const splitter::FileError& error = status.error();
    return ShellOutcome::failed(error.reason.empty() ? systemReason(error.code) : error.reason);
}

// A desktop entry is a few hundred bytes; a file of more than a megabyte is not ours.
bool readEntryFile(const Text& path, Text& content) {
    auto file = splitter::systemFileService().openForReading(path);
    return file && splitter::readToEnd(**file, content, std::size_t{1} << 20) &&
           content.size() <= (std::size_t{1} << 20);
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
    if (!readEntryFile(path_, content)) return Text();
    const Text name = readDesktopEntry(content).name;
    return name.empty() ? name : fromUtf8(name);
}

// A file manager may read the folder at any moment: the entry is replaced in one step.
ShellOutcome DesktopEntryFile::write(const Text& program) {
    makeFolders(splitter::parentPath(path_, PathStyle::Posix));
    return outcomeOf(splitter::writeInOneStep(
        splitter::systemFileService(), path_,
        desktopEntryText({toUtf8(shell::menuText()), program}), path_ + ".", true));
}

ShellOutcome DesktopEntryFile::remove() {
    const splitter::FileStatus status = splitter::systemFileService().deleteFile(path_);
    if (!status && status.error().kind == splitter::FileErrorKind::NotFound)
        return ShellOutcome::done();
    return outcomeOf(status);
}

std::vector<std::unique_ptr<EntryPlace>> makeEntryPlaces() {
    std::vector<std::unique_ptr<EntryPlace>> places;
    places.push_back(std::make_unique<DesktopEntryFile>(desktopEntryPath()));
    return places;
}

}  // namespace folioknife::shell
