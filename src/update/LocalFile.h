#pragma once
// The local copy of up.ini and the profile read, one implementation per platform.
#include <string>

#include "splitter/CodePage.h"

namespace folioknife::update {

using splitter::Text;

// Creates the file or empties an existing one, and writes the bytes. True when all were written.
bool storeLocalFile(const Text& path, const std::string& bytes);
bool deleteLocalFile(const Text& path);
// Section and key of an INI file by the platform's profile rules; defaultText when the file,
// the section or the key is missing.
Text readProfileFile(const Text& path, const Text& section, const Text& key,
                     const Text& defaultText);
// The program that opens a web address: "explorer" on Windows, "xdg-open" on Linux.
Text pageOpener();

}  // namespace folioknife::update
