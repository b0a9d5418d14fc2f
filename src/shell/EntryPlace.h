#pragma once
// Where the system keeps the context-menu entry "一键分割", written natively: a registry key on
// Windows, a desktop entry in the user's applications folder on Linux.
#include <memory>
#include <vector>

#include "shell/EntryTexts.h"
#include "shell/ShellOutcome.h"

namespace folioknife::shell {

// One place that may hold the entry: its menu text, and the command that starts the program
// with the chosen file.
class EntryPlace {
public:
    virtual ~EntryPlace() = default;
    // The menu text the entry holds there, in the program's code page; empty when there is no
    // entry, or no text in it.
    virtual Text menuText() = 0;
    // Writes the entry whole, to start 'program' (a full path) with the chosen file; an entry
    // half written is taken out again.
    virtual ShellOutcome write(const Text& program) = 0;
    // Removes the entry with all it holds; one that is not there is removed already.
    virtual ShellOutcome remove() = 0;
};

// The system's places in the order they are tried. Windows: the machine's entry
// (HKEY_LOCAL_MACHINE), which needs an administrator, then the current user's, which anyone
// may write. Linux: the desktop entry, which is the user's own.
std::vector<std::unique_ptr<EntryPlace>> makeEntryPlaces();

}  // namespace folioknife::shell
