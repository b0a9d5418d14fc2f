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

std::size_t lastSeparator(std::string_view path, PathStyle style) {
    if (style == PathStyle::Posix) return path.rfind('/');
    // Trail bytes start at 0x40, so only "\" can hide in a character; "/" never does.
    const LeadBytes rule = leadBytesOf(programCodePage());
    std::size_t last = std::string_view::npos;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const auto c = static_cast<unsigned char>(path[i]);
        if (c == '\\')
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
    const std::size_t at = lastSeparator(path, style);
    return Text(at == std::string_view::npos ? path : path.substr(at + 1));
}

Text joinPath(std::string_view directory, std::string_view name, PathStyle style) {
    return Text(directory) + pathSeparator(style) + Text(name);
}

Text folderOf(std::string_view path, PathStyle style) {
    std::size_t at = lastSeparator(path, style);
    if (style == PathStyle::Posix) {
        if (at == std::string_view::npos) return ".";
        if (at == 0) return "/";
        return Text(path.substr(0, at));
    }
    // A novel's path typed by the user: Windows takes "/" as well as "\" ("/" never hides in
    // a double-byte character), and a drive ("D:") is no folder name of its own.
    const std::size_t slash = path.rfind('/');
    if (slash != std::string_view::npos && (at == std::string_view::npos || slash > at)) at = slash;
    const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    const bool drive = path.size() >= 2 && path[1] == ':' && letter(path[0]);
    if (at == std::string_view::npos) return drive ? Text(path.substr(0, 2)) : Text(".");
    // The root keeps its separator: "\", "D:\" ("D:" alone is D's current folder).
    if (at == 0 || (drive && at == 2)) return Text(path.substr(0, at + 1));
    return Text(path.substr(0, at));
}

}  // namespace folioknife::splitter
