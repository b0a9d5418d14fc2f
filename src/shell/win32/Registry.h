#pragma once
// The registry read of the probe, with any root key, for the Win32 tests too.
#include <windows.h>

#include "shell/EntryTexts.h"

namespace folioknife::shell {

// The string value at path below root (the last "\" splits key and value name), or
// defaultText when the key cannot be opened, the value is missing, empty or not a string.
Text readRegistryText(HKEY root, const Text& path, const Text& defaultText);

}  // namespace folioknife::shell
