#pragma once
// The desktop entry in the user's applications folder that is the context-menu entry on Linux.
// Needs no root: it is the user's own folder.
#include "shell/DesktopEntry.h"
#include "shell/EntryPlace.h"

namespace folioknife::shell {

// $XDG_DATA_HOME/applications, or ~/.local/share/applications when that is unset, empty or
// not absolute; with the file name of our entry.
Text desktopEntryPath();

// errno's code in the system's words, in the program's code page.
Text systemReason(int error);

// The entry at 'path': its Name is the menu text, its Exec starts the program with the file.
class DesktopEntryFile : public EntryPlace {
public:
    explicit DesktopEntryFile(Text path) : path_(std::move(path)) {}
    Text menuText() override;
    // By rename, so that a file manager reading the folder sees the old entry or the new one.
    ShellOutcome write(const Text& program) override;
    ShellOutcome remove() override;

private:
    Text path_;
};

}  // namespace folioknife::shell
