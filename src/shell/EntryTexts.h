#pragma once
// The context-menu entry's texts and where the registry keeps it, with no I/O. Windows rules
// take the path style as a parameter, so they are tested on every host.
#include <string>

#include "splitter/CodePage.h"
#include "splitter/Path.h"

namespace folioknife::shell {

using splitter::PathStyle;
using splitter::Text;

// The executable's path taken apart: its folder and its file name, by the path rules.
inline Text programDirectory(const Text& path, PathStyle style) {
    return splitter::parentPath(path, style);
}
inline Text programFileName(const Text& path, PathStyle style) {
    return splitter::fileName(path, style);
}

// The menu text "一键分割" and the warning shown on every click of the check box.
Text menuText();
Text warningText();
// What the box shows on Linux instead: no administrator is needed there, and the entry is an
// application that file managers offer under "Open with".
Text openWithNote();

// Where the probe reads below HKEY_LOCAL_MACHINE: the default value of the verb key (the
// path ends in "\"), and what it reads when nothing is there.
Text probePath();
Text probeDefault();  // "no"
// The current user's entry, for all files: its key below HKEY_CURRENT_USER
// (Software\Classes\*\shell\一键分割), and the default value that the probe reads.
Text userEntryKey();
Text userProbePath();
// The machine's entry: its key below HKEY_LOCAL_MACHINE.
Text machineEntryKey();
// The command of either entry: the executable's full path, a blank and "%1", unquoted.
Text entryCommand(const Text& executablePath);
// The probe's decision: anything but "no" means the entry is there.
bool entryPresent(const Text& probed);

// A registry path split at its last "\": the key below the root and the value name. A path
// ending in "\" or holding none names the key's default (unnamed) value.
struct RegistryPath {
    Text key;
    Text valueName;
};
RegistryPath splitRegistryPath(const Text& path);

}  // namespace folioknife::shell
