#pragma once
// The rules of paths that do no I/O, with the style as an argument, so that the Windows rules
// are tested on Linux too (as LLVM's sys::path does). Bytes in the program's code page.
#include <string>
#include <string_view>

#include "splitter/CodePage.h"

namespace folioknife::splitter {

// Windows paths are separated by "\" and by "/" (users type either; "/" never hides in a
// double-byte character), and "D:" before a name is a drive, no folder of its own. POSIX paths
// by "/" only.
enum class PathStyle { Posix, Windows };

// The style of the system the program runs on.
PathStyle nativePathStyle();

// "\" or "/".
Text pathSeparator(PathStyle style);

// The position of the path's last separator, or npos. In the Windows style the scan steps over
// the double-byte characters of the program's code page, whose second byte can be 0x5C.
std::size_t lastSeparator(std::string_view path, PathStyle style);

// The path without its last separator and what follows it ("D:\Tools\x.exe" gives "D:\Tools",
// "D:\x.exe" gives "D:", "/fk" gives ""). A path without a separator is returned whole.
// Joined by one separator with its fileName, it gives the path again.
Text parentPath(std::string_view path, PathStyle style);

// What follows the last separator ("x.exe"), or a drive ("D:x.exe" gives "x.exe"); a path
// without either is returned whole.
Text fileName(std::string_view path, PathStyle style);

// The path up to the file name: its folder with the separator ("D:\Tools\", "D:", "" for a
// bare name). Followed by the file name, it gives the path again.
Text folderPrefix(std::string_view path, PathStyle style);

// The file name's last "." and what follows it (".txt"), "" when it has none; and the file name
// without it ("a.b.txt" gives "a.b"; ".txt" gives "").
Text extension(std::string_view path, PathStyle style);
Text stem(std::string_view path, PathStyle style);

// The directory and the name joined by one separator, the directory used as given: one that
// already ends in a separator gives a doubled one.
Text joinPath(std::string_view directory, std::string_view name, PathStyle style);

// The name inside the folder with one separator between them: none is added to a folder that
// already ends in one ("/", "D:\", "out/").
Text joinPathOnce(std::string_view folder, std::string_view name, PathStyle style);

// The folder that holds a file, as a folder to write into: without its trailing separator,
// but a root keeps its own ("/", "\", "D:\"); "." for a bare name. In the Windows style "/"
// separates too, since users type either.
Text folderOf(std::string_view path, PathStyle style);

}  // namespace folioknife::splitter
