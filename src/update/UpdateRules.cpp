#include "update/UpdateRules.h"

#include <algorithm>

#include "folioknife/Version.h"
#include "shell/CompareText.h"
#include "splitter/Ascii.h"

namespace folioknife::update {

namespace {

bool isWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

Text trim(const std::string& text, std::size_t from, std::size_t to) {
    while (from < to && isBlank(text[from])) ++from;
    while (to > from && isBlank(text[to - 1])) --to;
    return text.substr(from, to - from);
}

bool sameName(const Text& a, const Text& b) { return splitter::equalIgnoringAsciiCase(a, b); }

}  // namespace

std::size_t chunkSizeFor(const std::optional<std::string>& contentLength) {
    if (!contentLength || contentLength->size() >= kContentLengthBuffer) return kDefaultChunkSize;
    const std::string& text = *contentLength;
    std::size_t i = 0;
    while (i < text.size() && isWhiteSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // Saturates instead of overflowing: anything that large is capped anyway.
    unsigned long long n = 0;
    bool any = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        any = true;
        if (n < kLargestChunkSize) n = n * 10 + static_cast<unsigned>(text[i] - '0');
    }
    if (!any || negative || n == 0) return kDefaultChunkSize;
    return n + 1 < kLargestChunkSize ? static_cast<std::size_t>(n + 1) : kLargestChunkSize;
}

Text cutFragment(const Text& path) { return path.substr(0, path.find('#')); }

Text updateFileAddress(const Text& host) { return "http://" + host + "/soft/folioknife/up.ini"; }
Text downloadPageAddress(const Text& host) { return "http://" + host + "/mysoft/folioknife"; }
Text pageCommandLine(const Text& opener, const Text& host) {
    return opener + " " + downloadPageAddress(host);
}

Text programVersion() { return FOLIOKNIFE_VERSION; }

bool isNewerVersion(const Text& version) {
    return shell::compareText(version, programVersion()) > 0;
}

Text promptText(const Text& version) {
    return splitter::programText("检查到新版本") + version +
           splitter::programText("是否升级？（点击确定将打开下载页面）");
}

Text promptTitle() { return splitter::programText("升级模块"); }

Text lookupProfileText(const std::string& content, const Text& section, const Text& key,
                       const Text& defaultText) {
    std::size_t start = 0;
    // A UTF-8 byte order mark is not part of the first line.
    if (content.compare(0, 3, "\xEF\xBB\xBF") == 0) start = 3;
    bool seenSection = false;
    bool inSection = false;
    while (start < content.size()) {
        std::size_t end = content.find_first_of("\r\n", start);
        if (end == std::string::npos) end = content.size();
        const Text line = trim(content, start, end);
        start = end + 1;
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            const std::size_t close = line.rfind(']');
            if (close == Text::npos) continue;
            // Only the first section of that name is read, as the profile reader does.
            if (inSection) return defaultText;
            inSection = !seenSection && sameName(trim(line, 1, close), section);
            seenSection = seenSection || inSection;
            continue;
        }
        if (!inSection) continue;
        const std::size_t equals = line.find('=');
        if (!sameName(trim(line, 0, std::min(equals, line.size())), key)) continue;
        // A line that is the key alone holds it without a value: the first one wins all
        // the same, and the answer is the default.
        if (equals == Text::npos) return defaultText;
        Text value = trim(line, equals + 1, line.size());
        if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') &&
            value.back() == value[0]) {
            value = value.substr(1, value.size() - 2);
        }
        return value;
    }
    return defaultText;
}

}  // namespace folioknife::update
