#include "splitter/VolumeNames.h"

#include <cstring>

#include "splitter/Ascii.h"
#include "splitter/FileService.h"

namespace folioknife::splitter {

namespace {

// The fields of a pattern, in the order they are looked for.
constexpr const char* kFields[] = {"{name}", "{k0}", "{k}", "{title}"};

}  // namespace

Text volumePatternError(const Text& pattern) {
    if (pattern.empty() || pattern == "." || pattern == "..") return pattern;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '/' || c == '\\') return Text(1, c);
        if (c != '{') continue;
        bool known = false;
        for (const char* field : kFields) {
            if (pattern.compare(i, std::strlen(field), field) == 0) {
                i += std::strlen(field) - 1;
                known = true;
                break;
            }
        }
        if (!known) return pattern.substr(i, pattern.find('}', i) - i + 1);
    }
    return {};
}

Text expandVolumePattern(const Text& pattern, const Text& name, std::uint64_t k,
                         std::uint64_t count, const Text& title) {
    const std::string number = std::to_string(k);
    const std::size_t width = std::to_string(count).size();
    const std::string padded =
        std::string(width > number.size() ? width - number.size() : 0, '0') + number;
    Text out;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char* found = nullptr;
        if (pattern[i] == '{') {
            for (const char* field : kFields) {
                if (pattern.compare(i, std::strlen(field), field) == 0) found = field;
            }
        }
        if (!found) {
            out += pattern[i];
            continue;
        }
        const std::string f = found;
        out += f == "{name}" ? name : f == "{k0}" ? padded : f == "{k}" ? number : title;
        i += f.size() - 1;
    }
    return out;
}

namespace {

// Matches pattern[p..] against file[f..]; 'number' receives the digits of {k} or {k0}.
bool fitsPattern(const Text& pattern, std::size_t p, const Text& name, const Text& file,
                 std::size_t f, std::optional<std::uint64_t>& number) {
    if (p == pattern.size()) return f == file.size();
    if (pattern.compare(p, 6, "{name}") == 0) {
        return file.compare(f, name.size(), name) == 0 &&
               fitsPattern(pattern, p + 6, name, file, f + name.size(), number);
    }
    const bool k0 = pattern.compare(p, 4, "{k0}") == 0;
    if (k0 || pattern.compare(p, 3, "{k}") == 0) {
        std::size_t end = f;
        while (end < file.size() && end - f < 18 && file[end] >= '0' && file[end] <= '9') ++end;
        for (; end > f; --end) {
            if (fitsPattern(pattern, p + (k0 ? 4 : 3), name, file, end, number)) {
                number = std::stoull(file.substr(f, end - f));
                return true;
            }
        }
        return false;
    }
    if (pattern.compare(p, 7, "{title}") == 0) {
        for (std::size_t end = file.size(); end > f; --end) {
            if (fitsPattern(pattern, p + 7, name, file, end, number)) return true;
        }
        return false;
    }
    return f < file.size() && file[f] == pattern[p] &&
           fitsPattern(pattern, p + 1, name, file, f + 1, number);
}

}  // namespace

std::optional<std::uint64_t> volumeNumberIn(const Text& pattern, const Text& name,
                                            const Text& fileName) {
    if (pattern.find("{k}") == Text::npos && pattern.find("{k0}") == Text::npos) return {};
    std::optional<std::uint64_t> number;
    if (!fitsPattern(pattern, 0, name, fileName, 0, number) || !number || *number == 0) return {};
    return number;
}

Text volumeName(std::uint64_t k) {
    return expandVolumePattern(kDefaultVolumePattern, "", k, k, "");
}

std::uint64_t volumeNumberOf(const Text& fileName, PathStyle style) {
    Text name = fileName;
    if (style == PathStyle::Windows) {
        lowerAscii(name);
    }
    const auto k = volumeNumberIn(kDefaultVolumePattern, "", name);
    // "novel_01.txt" fits the pattern but is no name of ours.
    return k && volumeName(*k) == name ? *k : 0;
}

bool isProgramFileName(const Text& fileName) {
    Text name = fileName;
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
    lowerAscii(name);
    return name == kLockFileName || name == kRecordFileName || name == kFolderMarkName ||
           name.find(kNewFileMark) != Text::npos || name.find(kOldFileMark) != Text::npos;
}

Text volumeFileName(const Text& outputDirectory, std::uint64_t k, const std::string& separator) {
    return outputDirectory + separator + volumeName(k);
}

}  // namespace folioknife::splitter
