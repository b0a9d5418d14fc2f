#pragma once
// The rules of paths that do no I/O, with the style as an argument, so that the Windows rules
// are tested on Linux too (as LLVM's sys::path does). Bytes in the program's code page.
#include <string>
#include <string_view>

#include "splitter/CodePage.h"

namespace folioknife::splitter {

// Windows paths are separated by "\" only: a "/" is no separator in the paths this program
// takes apart (the executable's own path, a novel's path from the command line). POSIX paths
// by "/".
enum class PathStyle { Posix, Windows };

// The style of the system the program runs on.
PathStyle nativePathStyle();

// "\" or "/".
Text pathSeparator(PathStyle style);

// The position of the path's last separator, or npos. In the Windows style the scan steps over
// the double-byte characters of the program's code page, whose second byte can be 0x5C.
std::size_t lastSeparator(std::string_view path, PathStyle style);

// The path without its last separator and what follows it ("D:\Tools\x.exe" gives "D:\Tools",
// "D:\x.exe" gives "D:", "/fk" gives ""), and what follows that separator ("x.exe"). A path
// without a separator is returned whole by both. Joined by one separator, the two give the path
// again.
Text parentPath(std::string_view path, PathStyle style);
Text fileName(std::string_view path, PathStyle style);

// The directory and the name joined by one separator.
Text joinPath(std::string_view directory, std::string_view name, PathStyle style);

// The folder that holds a file, as a folder to write into: without its trailing separator,
// but a root keeps its own ("/", "\", "D:\"); "." for a bare name. In the Windows style "/"
// separates too, since users type either.
Text folderOf(std::string_view path, PathStyle style);

}  // namespace folioknife::splitter
