#pragma once
// The local copy of up.ini: where it may be kept, its writing, reading and deletion; one
// implementation per platform.
#include <string>
#include <vector>

#include "splitter/CodePage.h"
#include "splitter/FileService.h"

namespace folioknife::update {

using splitter::FileStatus;
using splitter::Text;

// Creates the file or empties an existing one, and writes the bytes; done when all were
// written, else the system's failure.
FileStatus storeLocalFile(const Text& path, const std::string& bytes);
FileStatus deleteLocalFile(const Text& path);
// Section and key of an INI file by the platform's profile rules; defaultText when the file,
// the section or the key is missing.
Text readProfileFile(const Text& path, const Text& section, const Text& key,
                     const Text& defaultText);

// Windows: up.ini beside the executable, then folioknife-up.ini in the user's temporary
// folder, for a program under Program Files that may not write beside itself. Linux: none;
// an installed program cannot write to /usr/bin, and the bytes are as good in memory.
std::vector<Text> localCopyPaths();

}  // namespace folioknife::update
