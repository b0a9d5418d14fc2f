#include "splitter/Path.h"

#include "splitter/LeadBytes.h"

namespace folioknife::splitter {

LeadBytes leadBytesOf(const std::string& codePage) {
    for (const char* name : {"GBK", "GB18030", "GB2312", "EUC-CN", "BIG5", "CP950", "BIG5-HKSCS",
                             "EUC-KR", "CP949", "UHC", "EUC-TW"}) {
        if (sameCodePage(codePage, name)) return LeadBytes::Dbcs;
    }
    for (const char* name : {"SHIFT_JIS", "CP932", "SJIS"}) {
        if (sameCodePage(codePage, name)) return LeadBytes::ShiftJis;
    }
    return LeadBytes::None;
}

Text pathSeparator(PathStyle style) { return style == PathStyle::Windows ? "\\" : "/"; }

namespace {

bool isDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// The length of a drive before the rest of a Windows path ("D:"), else 0.
std::size_t driveLength(std::string_view path, PathStyle style) {
    const bool drive =
        style == PathStyle::Windows && path.size() >= 2 && path[1] == ':' && isDriveLetter(path[0]);
    return drive ? 2 : 0;
}

// Where the file name begins: after the last separator, else after the drive.
std::size_t nameStart(std::string_view path, PathStyle style) {
    const std::size_t at = lastSeparator(path, style);
    return at == std::string_view::npos ? driveLength(path, style) : at + 1;
}

}  // namespace

std::size_t lastSeparator(std::string_view path, PathStyle style) {
    if (style == PathStyle::Posix) return path.rfind('/');
    // Trail bytes start at 0x40, so only "\" can hide in a character; "/" never does.
    const LeadBytes rule = leadBytesOf(programCodePage());
    std::size_t last = std::string_view::npos;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const auto c = static_cast<unsigned char>(path[i]);
        if (c == '\\' || c == '/')
            last = i;
        else if (isLeadByte(c, rule))
            ++i;
    }
    return last;
}

Text parentPath(std::string_view path, PathStyle style) {
    const std::size_t at = lastSeparator(path, style);
    return Text(at == std::string_view::npos ? path : path.substr(0, at));
}

Text fileName(std::string_view path, PathStyle style) {
    return Text(path.substr(nameStart(path, style)));
}

Text folderPrefix(std::string_view path, PathStyle style) {
    return Text(path.substr(0, nameStart(path, style)));
}

Text extension(std::string_view path, PathStyle style) {
    const std::string_view name = path.substr(nameStart(path, style));
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? Text() : Text(name.substr(dot));
}

Text stem(std::string_view path, PathStyle style) {
    const Text name = fileName(path, style);
    return name.substr(0, name.size() - extension(name, style).size());
}

Text joinPath(std::string_view directory, std::string_view name, PathStyle style) {
    return Text(directory) + pathSeparator(style) + Text(name);
}

Text joinPathOnce(std::string_view folder, std::string_view name, PathStyle style) {
    const bool endsInSeparator =
        !folder.empty() && lastSeparator(folder, style) == folder.size() - 1;
    return endsInSeparator ? Text(folder) + Text(name) : joinPath(folder, name, style);
}

Text folderOf(std::string_view path, PathStyle style) {
    const std::size_t at = lastSeparator(path, style);
    const std::size_t drive = driveLength(path, style);
    if (at == std::string_view::npos) return drive != 0 ? Text(path.substr(0, drive)) : Text(".");
    // The root keeps its separator: "/", "\", "D:\" ("D:" alone is D's current folder).
    if (at == 0 || (drive != 0 && at == drive)) return Text(path.substr(0, at + 1));
    return Text(path.substr(0, at));
}

}  // namespace folioknife::splitter
