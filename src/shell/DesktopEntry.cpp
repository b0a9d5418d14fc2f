#include "shell/DesktopEntry.h"

#include <cstring>

namespace folioknife::shell {

namespace {

const char kGroup[] = "[Desktop Entry]";

// Characters that make an unquoted Exec argument invalid.
bool isReserved(char c) { return std::strchr(" \t\n\"'\\><~|&;$*?#()`", c) != nullptr; }

// Inside double quotes these four take a backslash before them.
bool needsBackslash(char c) { return c == '"' || c == '`' || c == '$' || c == '\\'; }

Text escapeStringValue(const Text& value) {
    Text out;
    for (char c : value) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return out;
}

Text trimBlanks(const Text& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == Text::npos) return Text();
    const std::size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

Text undoPercents(const Text& argument) {
    Text out;
    for (std::size_t i = 0; i < argument.size(); ++i) {
        out += argument[i];
        if (argument[i] == '%' && i + 1 < argument.size() && argument[i + 1] == '%') ++i;
    }
    return out;
}

}  // namespace

Text quoteExecArgument(const Text& argument) {
    Text out = "\"";
    for (char c : argument) {
        if (needsBackslash(c)) out += '\\';
        if (c == '%') out += '%';
        out += c;
    }
    return out + "\"";
}

Text execValue(const Text& program) {
    return escapeStringValue(quoteExecArgument(program) + " %f");
}

Text unescapeStringValue(const Text& value) {
    Text out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        switch (value[++i]) {
            case 's':
                out += ' ';
                break;
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            case '\\':
                out += '\\';
                break;
            default:  // not a string escape: the quoting rules see both characters
                out += '\\';
                out += value[i];
        }
    }
    return out;
}

std::optional<std::vector<Text>> parseExecValue(const Text& value) {
    const Text text = unescapeStringValue(value);
    std::vector<Text> arguments;
    Text argument;
    bool inArgument = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ' ') {
            if (inArgument) arguments.push_back(undoPercents(argument));
            argument.clear();
            inArgument = false;
        } else if (c == '"') {
            // A quoted argument is whole: it starts where an argument may start and is
            // followed by a blank or the end.
            if (inArgument) return std::nullopt;
            for (++i;; ++i) {
                if (i == text.size()) return std::nullopt;
                if (text[i] == '"') break;
                if (text[i] == '\\') {
                    if (i + 1 == text.size() || !needsBackslash(text[i + 1])) return std::nullopt;
                    ++i;
                }
                argument += text[i];
            }
            if (i + 1 < text.size() && text[i + 1] != ' ') return std::nullopt;
            inArgument = true;
        } else if (isReserved(c)) {
            return std::nullopt;
        } else {
            argument += c;
            inArgument = true;
        }
    }
    if (inArgument) arguments.push_back(undoPercents(argument));
    return arguments;
}

Text desktopEntryText(const DesktopEntryFields& fields) {
    Text text = Text(kGroup) + "\n";
    text += "Type=Application\n";
    if (!fields.name.empty()) text += "Name=" + escapeStringValue(fields.name) + "\n";
    if (!fields.program.empty()) text += "Exec=" + execValue(fields.program) + "\n";
    text += "MimeType=text/plain;\n";
    text += "NoDisplay=true\n";
    text += "Terminal=false\n";
    return text;
}

DesktopEntryFields readDesktopEntry(const Text& content) {
    DesktopEntryFields fields;
    bool inGroup = false;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        if (end == Text::npos) end = content.size();
        const Text line = trimBlanks(content.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            inGroup = line == kGroup;
            continue;
        }
        const std::size_t equals = line.find('=');
        if (!inGroup || equals == Text::npos) continue;
        const Text key = trimBlanks(line.substr(0, equals));
        const Text value = trimBlanks(line.substr(equals + 1));
        if (key == "Name") {
            fields.name = unescapeStringValue(value);
        } else if (key == "Exec") {
            const auto arguments = parseExecValue(value);
            fields.program = arguments && !arguments->empty() ? (*arguments)[0] : Text();
        }
    }
    return fields;
}

}  // namespace folioknife::shell
