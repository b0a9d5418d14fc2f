// The code page on Linux is the locale's codeset; conversions go through iconv.
#include <iconv.h>
#include <langinfo.h>

#include <cerrno>
#include <clocale>
#include <cstring>

#include "splitter/CodePage.h"

namespace folioknife::splitter {

std::string systemCodePage() {
    // Only the program's main() calls setlocale(LC_ALL, ""); reading LC_CTYPE here does not
    // change the process's locale.
    const char* previous = std::setlocale(LC_CTYPE, nullptr);
    std::string saved = previous ? previous : "C";
    std::setlocale(LC_CTYPE, "");
    std::string codeset = nl_langinfo(CODESET);
    std::setlocale(LC_CTYPE, saved.c_str());
    // A locale that offers only ASCII ("C", "POSIX") gets UTF-8, which holds ASCII unchanged.
    if (codeset.empty() || codeset == "ANSI_X3.4-1968" || codeset == "ASCII" ||
        codeset == "US-ASCII") {
        return "UTF-8";
    }
    return codeset;
}

std::string defaultProgramCodePage() { return systemCodePage(); }

namespace {
// Runs iconv over the whole text. With 'lossy', an unconvertible or invalid byte becomes '?'.
std::optional<std::string> runIconv(std::string_view text, const std::string& from,
                                    const std::string& to, bool lossy) {
    iconv_t cd = iconv_open(to.c_str(), from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string out;
    out.reserve(text.size() * 3 / 2 + 16);
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char buffer[4096];
    bool ok = true;
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<size_t>(outPtr - buffer));
        if (r != static_cast<size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        if (!lossy) {
            ok = false;
            break;
        }
        // EILSEQ or EINVAL: skip one byte, show it as '?'.
        out += '?';
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    if (ok) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
        out.append(buffer, static_cast<size_t>(outPtr - buffer));
    }
    iconv_close(cd);
    if (!ok) return std::nullopt;
    return out;
}
}  // namespace

std::optional<std::string> convertText(std::string_view text, const std::string& from,
                                       const std::string& to) {
    return runIconv(text, from, to, false);
}

std::string convertForDisplay(std::string_view text, const std::string& from,
                              const std::string& to) {
    auto r = runIconv(text, from, to, true);
    return r ? *r : std::string(text);
}

}  // namespace folioknife::splitter
