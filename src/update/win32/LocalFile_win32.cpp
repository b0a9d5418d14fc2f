// The local copy of up.ini on Windows: beside the program or in the temporary folder, read
// by the system's profile reader. Paths reach Windows as UTF-16 (the ...W functions): the
// program's folder or the user's temporary folder may hold characters that the system's code
// page cannot write.
#include <windows.h>

#include <vector>

#include "shell/Process.h"
#include "splitter/Path.h"
#include "splitter/win32/WideText.h"
#include "update/LocalFile.h"

namespace folioknife::update {

namespace {
std::wstring wide(const Text& text) { return splitter::toWide(text).value_or(std::wstring()); }
}  // namespace

using splitter::FileOperation;

// The failure of 'operation' on 'path': the system's last error, or that the path is no text
// of the program's code page.
FileStatus failed(FileOperation operation, const Text& path) {
    const DWORD error = splitter::toWide(path) ? GetLastError() : ERROR_NO_UNICODE_TRANSLATION;
    return splitter::systemFileError(operation, path, static_cast<int>(error));
}

FileStatus storeLocalFile(const Text& path, const std::string& bytes) {
    HANDLE file = CreateFileW(wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_ARCHIVE, nullptr);
    if (file == INVALID_HANDLE_VALUE) return failed(FileOperation::Create, path);
    // The update check keeps at most 64 KiB, far below what one WriteFile can move.
    DWORD written = 0;
    const BOOL ok =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    const DWORD error = ok ? ERROR_DISK_FULL : GetLastError();  // a short write: no room
    CloseHandle(file);
    if (ok && written == bytes.size()) return {};
    return splitter::systemFileError(FileOperation::Write, path, static_cast<int>(error));
}

FileStatus deleteLocalFile(const Text& path) {
    if (!DeleteFileW(wide(path).c_str())) return failed(FileOperation::Delete, path);
    return {};
}

Text readProfileFile(const Text& path, const Text& section, const Text& key,
                     const Text& defaultText) {
    if (!splitter::toWide(path)) return defaultText;
    // The file's bytes are read in the system's code page (it has no byte-order mark); the
    // values asked for are ASCII, the same in every code page.
    const std::wstring file = wide(path), section16 = wide(section), key16 = wide(key),
                       default16 = wide(defaultText);
    std::vector<wchar_t> buffer(1024);
    for (;;) {
        const DWORD n = GetPrivateProfileStringW(section16.c_str(), key16.c_str(),
                                                 default16.c_str(), buffer.data(),
                                                 static_cast<DWORD>(buffer.size()), file.c_str());
        // An answer that fills the buffer up to its last character may have been cut.
        if (n < buffer.size() - 1)
            return splitter::fromWideForDisplay(std::wstring_view(buffer.data(), n));
        buffer.assign(static_cast<std::size_t>(n) + 1024, 0);
    }
}

std::vector<Text> localCopyPaths() {
    std::vector<Text> paths;
    const Text folder = shell::programDirectory();
    if (!folder.empty())
        paths.push_back(splitter::joinPath(folder, "up.ini", splitter::PathStyle::Windows));
    // Under Program Files an ordinary user may not write beside the program (and a 64-bit
    // program is never redirected to the VirtualStore), so the user's temporary folder comes
    // next. Another program's up.ini may stand there: ours takes a name of its own.
    wchar_t temp[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    if (n > 0 && n < MAX_PATH + 1) {
        // The separators at the end go before the conversion: in GBK a character's second
        // byte may be the one of '\\'.
        std::wstring_view tempFolder(temp, n);
        while (!tempFolder.empty() && tempFolder.back() == L'\\') tempFolder.remove_suffix(1);
        if (std::optional<Text> folder = splitter::fromWide(tempFolder))
            paths.push_back(
                splitter::joinPath(*folder, "folioknife-up.ini", splitter::PathStyle::Windows));
    }
    return paths;
}

}  // namespace folioknife::update
