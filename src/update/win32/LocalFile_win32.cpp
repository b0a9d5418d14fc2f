// The local copy of up.ini on Windows: beside the program or in the temporary folder, read
// by the system's profile reader.
#include <windows.h>

#include <vector>

#include "shell/Process.h"
#include "update/LocalFile.h"

namespace folioknife::update {

bool storeLocalFile(const Text& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_ARCHIVE, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    // The update check keeps at most 64 KiB, far below what one WriteFile can move.
    DWORD written = 0;
    const BOOL ok =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

bool deleteLocalFile(const Text& path) { return DeleteFileA(path.c_str()) != FALSE; }

Text readProfileFile(const Text& path, const Text& section, const Text& key,
                     const Text& defaultText) {
    std::vector<char> buffer(1024);
    for (;;) {
        const DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultText.c_str(),
                                                 buffer.data(), static_cast<DWORD>(buffer.size()),
                                                 path.c_str());
        // An answer that fills the buffer up to its last byte may have been cut.
        if (n < buffer.size() - 1) return Text(buffer.data(), n);
        buffer.assign(static_cast<std::size_t>(n) + 1024, 0);
    }
}

std::vector<Text> localCopyPaths() {
    std::vector<Text> paths;
    const Text folder = shell::programDirectory();
    if (!folder.empty()) paths.push_back(folder + "\\up.ini");
    // Under Program Files an ordinary user may not write beside the program (and a 64-bit
    // program is never redirected to the VirtualStore), so the user's temporary folder comes
    // next. Another program's up.ini may stand there: ours takes a name of its own.
    char temp[MAX_PATH + 1];
    const DWORD n = GetTempPathA(sizeof temp, temp);
    if (n > 0 && n < sizeof temp) {
        Text tempFolder(temp, n);
        while (!tempFolder.empty() && tempFolder.back() == '\\') tempFolder.pop_back();
        paths.push_back(tempFolder + "\\folioknife-up.ini");
    }
    return paths;
}

}  // namespace folioknife::update
