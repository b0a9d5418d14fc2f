#include "app/CommandLine.h"

#include <optional>

namespace folioknife::app {

namespace {
bool isHighBit(char c) { return (static_cast<unsigned char>(c) & 0x80) != 0; }
bool isBlankOrControl(char c) {
    const auto b = static_cast<unsigned char>(c);
    return b >= 0x01 && b <= 0x20;
}
}  // namespace

namespace {

// Where the arguments begin, after the program's path; nothing when nothing follows it.
std::optional<std::size_t> argumentsStart(std::string_view line) {
    if (line.empty()) return std::nullopt;
    if (line[0] == '"') {
        const std::size_t close = line.find('"', 1);
        if (close == std::string_view::npos) return std::nullopt;
        std::size_t i = close + 1;
        if (i < line.size() && line[i] == ' ') ++i;
        return i;
    }
    // An unquoted program path ends at its first blank, even inside "Program Files".
    const std::size_t blank = line.find(' ', 1);
    if (blank == std::string_view::npos) return std::nullopt;
    return blank + 1;
}

}  // namespace

std::vector<Text> splitCommandLine(std::string_view line) {
    line = line.substr(0, line.find('\0'));
    std::vector<Text> items;
    const std::optional<std::size_t> start = argumentsStart(line);
    if (!start) return items;
    std::size_t i = *start;

    // Appends the byte at i (and the one after it for a lead byte); returns the next index.
    const auto take = [&](Text& item, std::size_t at) {
        if (isHighBit(line[at])) {
            if (at + 1 < line.size()) item.append(line.substr(at, 2));
            return at + 2;  // a lead byte at the very end is dropped
        }
        item += line[at];
        return at + 1;
    };
    while (i < line.size()) {
        if (isBlankOrControl(line[i])) {
            ++i;
        } else if (line[i] == '"') {
            Text item;
            ++i;
            while (i < line.size() && line[i] != '"') i = take(item, i);
            if (i < line.size()) ++i;  // the closing quote
            items.push_back(std::move(item));
        } else {
            Text item;
            while (i < line.size() && line[i] != '"' && !isBlankOrControl(line[i]))
                i = take(item, i);
            items.push_back(std::move(item));
        }
    }
    return items;
}

Text commandLineRest(std::string_view line) {
    line = line.substr(0, line.find('\0'));
    const std::optional<std::size_t> start = argumentsStart(line);
    if (!start) return Text();
    std::string_view rest = line.substr(*start);
    const std::size_t first = rest.find_first_not_of(" \t");
    if (first == std::string_view::npos) return Text();
    rest = rest.substr(first, rest.find_last_not_of(" \t") + 1 - first);
    return Text(rest);
}

int findLastText(std::string_view text, std::string_view find) {
    if (text.empty() || find.empty() || text.size() < find.size()) return -1;
    const std::size_t at = text.rfind(find);
    return at == std::string_view::npos ? -1 : static_cast<int>(at) + 1;
}

Text leftText(std::string_view text, int n) {
    if (text.empty() || n < 1) return Text();
    return Text(text.substr(0, static_cast<std::size_t>(n)));
}

Text deriveOutputDirectory(std::string_view path, splitter::PathStyle style) {
    return splitter::folderPrefix(path, style);
}

}  // namespace folioknife::app
