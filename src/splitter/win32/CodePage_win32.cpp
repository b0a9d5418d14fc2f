// The system's code page on Windows is the ANSI code page, the one the ...A functions use; the
// program's is chosen from it (programCodePageOnWindows) and may differ, which is why every
// call to Windows goes through the ...W functions. Conversions go through UTF-16 with
// MultiByteToWideChar and WideCharToMultiByte.
#include <windows.h>

#include <cctype>
#include <climits>

#include "splitter/Ascii.h"
#include "splitter/CodePage.h"
#include "splitter/win32/WideText.h"

namespace folioknife::splitter {

std::string systemCodePage() {
    const UINT acp = GetACP();
    if (acp == 936) return "GBK";
    if (acp == 54936) return "GB18030";
    if (acp == 65001) return "UTF-8";
    return "CP" + std::to_string(acp);
}

std::string defaultProgramCodePage() { return programCodePageOnWindows(systemCodePage()); }

namespace {

constexpr UINT kGb18030 = 54936;
constexpr UINT kUtf8 = 65001;

// The Windows code page for an iconv-style name; nothing for a name this program does not
// know or a code page the system has not installed.
std::optional<UINT> codePageNumber(const std::string& name) {
    std::string n;
    for (char c : name) {
        if (c == '-' || c == '_') continue;
        n += asciiUpper(c);
    }
    UINT number = 0;
    if (n == "GBK" || n == "CP936" || n == "GB2312" || n == "EUCCN" || n == "936") {
        number = 936;
    } else if (n == "GB18030") {
        number = kGb18030;
    } else if (n == "UTF8") {
        number = kUtf8;
    } else if (n == "BIG5") {
        number = 950;
    } else if (n == "UHC" || n == "EUCKR") {
        number = 949;
    } else if (n == "ASCII" || n == "USASCII") {
        number = 20127;
    } else {
        std::string digits;
        if (n.rfind("CP", 0) == 0)
            digits = n.substr(2);
        else if (n.rfind("WINDOWS", 0) == 0)
            digits = n.substr(7);
        if (digits.empty() || digits.size() > 5) return std::nullopt;
        for (char c : digits) {
            if (c < '0' || c > '9') return std::nullopt;
            number = number * 10 + static_cast<UINT>(c - '0');
        }
    }
    // CP_ACP, CP_OEMCP, CP_MACCP and CP_THREAD_ACP stand for whatever the system uses.
    if (number <= CP_THREAD_ACP) return std::nullopt;
    if (number != kGb18030 && !IsValidCodePage(number)) return std::nullopt;
    return number;
}

// Wine 8 has no code page 54936. GB18030's one- and two-byte part is GBK, so there GB18030 is
// converted as code page 936: a character that GB18030 writes in four bytes then fails to
// convert, and never turns into other bytes. Within the two-byte part the two differ only where
// 936 has a private-use character (GB18030 gives A2E3 to the euro sign and others to real
// characters) and in the euro sign itself (936's single byte 0x80, which GB18030 lacks); those
// characters are refused as well.
bool gb18030ThroughGbk() {
    static const bool missing = !IsValidCodePage(kGb18030);
    return missing;
}
bool differsFromGb18030(wchar_t c) { return c == 0x20AC || (c >= 0xE000 && c <= 0xF8FF); }
bool anyDiffersFromGb18030(std::wstring_view wide) {
    for (wchar_t c : wide) {
        if (differsFromGb18030(c)) return true;
    }
    return false;
}

// For these code pages (stateful or algorithmic ones) MultiByteToWideChar rejects every flag,
// MB_ERR_INVALID_CHARS included; their bytes are taken on trust.
bool takesNoFlags(UINT cp) {
    return cp == 42 || (cp >= 50220 && cp <= 50229) || (cp >= 57002 && cp <= 57011) || cp == 65000;
}

// UTF-8 and GB18030 can write every character, and WideCharToMultiByte refuses a default
// character or its report for them; an unpaired surrogate is all that can fail there.
bool writesEverything(UINT cp) { return cp == kUtf8 || cp == kGb18030; }

// Decodes all the bytes; nothing when one is not a character of the code page.
std::optional<std::wstring> decodeAs(std::string_view bytes, UINT cp) {
    if (bytes.empty()) return std::wstring();
    if (bytes.size() > static_cast<std::size_t>(INT_MAX)) return std::nullopt;
    const DWORD flags = takesNoFlags(cp) ? 0 : MB_ERR_INVALID_CHARS;
    const int inLength = static_cast<int>(bytes.size());
    const int wide = MultiByteToWideChar(cp, flags, bytes.data(), inLength, nullptr, 0);
    if (wide <= 0) return std::nullopt;
    std::wstring out(static_cast<std::size_t>(wide), L'\0');
    if (MultiByteToWideChar(cp, flags, bytes.data(), inLength, &out[0], wide) != wide) {
        return std::nullopt;
    }
    return out;
}

// Encodes all the characters; nothing when one has no exact form in the code page. Without
// WC_NO_BEST_FIT_CHARS Windows would quietly write a look-alike ("ā" as "a") and report
// success, and a path or heading changed that way is a different one.
std::optional<std::string> encodeAs(std::wstring_view wide, UINT cp, const char* replacement) {
    if (wide.empty()) return std::string();
    if (wide.size() > static_cast<std::size_t>(INT_MAX)) return std::nullopt;
    const bool everything = writesEverything(cp);
    DWORD flags = 0;
    if (everything)
        flags = replacement ? 0 : WC_ERR_INVALID_CHARS;
    else if (!takesNoFlags(cp))
        flags = WC_NO_BEST_FIT_CHARS;
    const int inLength = static_cast<int>(wide.size());
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultPtr = everything || takesNoFlags(cp) ? nullptr : &usedDefault;
    const char* defaultChar = everything || takesNoFlags(cp) ? nullptr : replacement;
    const int bytes = WideCharToMultiByte(cp, flags, wide.data(), inLength, nullptr, 0, defaultChar,
                                          usedDefaultPtr);
    if (bytes <= 0 || (usedDefault && !replacement)) return std::nullopt;
    std::string out(static_cast<std::size_t>(bytes), '\0');
    usedDefault = FALSE;
    if (WideCharToMultiByte(cp, flags, wide.data(), inLength, &out[0], bytes, defaultChar,
                            usedDefaultPtr) != bytes ||
        (usedDefault && !replacement)) {
        return std::nullopt;
    }
    return out;
}

std::optional<std::wstring> decode(std::string_view bytes, UINT cp) {
    if (cp != kGb18030 || !gb18030ThroughGbk()) return decodeAs(bytes, cp);
    auto wide = decodeAs(bytes, 936);
    if (wide && anyDiffersFromGb18030(*wide)) return std::nullopt;
    return wide;
}

std::optional<std::string> encode(std::wstring_view wide, UINT cp, const char* replacement) {
    if (cp != kGb18030 || !gb18030ThroughGbk()) return encodeAs(wide, cp, replacement);
    if (!anyDiffersFromGb18030(wide)) return encodeAs(wide, 936, replacement);
    if (!replacement) return std::nullopt;
    std::wstring shown(wide);
    for (wchar_t& c : shown) {
        if (differsFromGb18030(c)) c = L'?';
    }
    return encodeAs(shown, 936, replacement);
}

// Decodes character by character, each undecodable byte becoming '?'. A character is the
// shortest run of bytes (up to the code page's longest) that decodes on its own.
std::wstring decodeLossy(std::string_view bytes, UINT cp) {
    if (auto whole = decode(bytes, cp)) return *whole;
    CPINFO info{};
    const std::size_t longest = GetCPInfo(cp, &info) && info.MaxCharSize > 0 ? info.MaxCharSize : 4;
    std::wstring out;
    std::size_t i = 0;
    while (i < bytes.size()) {
        std::size_t taken = 0;
        for (std::size_t k = 1; k <= longest && i + k <= bytes.size(); ++k) {
            // A DBCS lead byte is never a character by itself, whatever a conversion of it
            // alone gives.
            if (k == 1 && info.MaxCharSize == 2 &&
                IsDBCSLeadByteEx(cp, static_cast<BYTE>(bytes[i]))) {
                continue;
            }
            if (auto piece = decode(bytes.substr(i, k), cp)) {
                out += *piece;
                taken = k;
                break;
            }
        }
        if (taken == 0) {
            out += L'?';
            taken = 1;
        }
        i += taken;
    }
    return out;
}

}  // namespace

std::optional<std::string> convertText(std::string_view text, const std::string& from,
                                       const std::string& to) {
    const auto fromCp = codePageNumber(from);
    const auto toCp = codePageNumber(to);
    if (!fromCp || !toCp) return std::nullopt;
    const auto wide = decode(text, *fromCp);
    if (!wide) return std::nullopt;
    return encode(*wide, *toCp, nullptr);
}

std::string convertForDisplay(std::string_view text, const std::string& from,
                              const std::string& to) {
    const auto fromCp = codePageNumber(from);
    const auto toCp = codePageNumber(to);
    if (!fromCp || !toCp) return std::string(text);
    const auto out = encode(decodeLossy(text, *fromCp), *toCp, "?");
    return out ? *out : std::string(text);
}

std::optional<std::wstring> toWide(std::string_view text) {
    const auto cp = codePageNumber(programCodePage());
    if (!cp) return std::nullopt;
    return decode(text, *cp);
}

std::wstring toWideForDisplay(std::string_view text) {
    const auto cp = codePageNumber(programCodePage());
    if (!cp) return std::wstring(text.begin(), text.end());
    return decodeLossy(text, *cp);
}

std::optional<Text> fromWide(std::wstring_view wide) {
    const auto cp = codePageNumber(programCodePage());
    if (!cp) return std::nullopt;
    return encode(wide, *cp, nullptr);
}

Text fromWideForDisplay(std::wstring_view wide) {
    const auto cp = codePageNumber(programCodePage());
    if (!cp) return Text();
    const auto out = encode(wide, *cp, "?");
    return out ? *out : Text();
}

std::string utf8FromWide(std::wstring_view wide) {
    const auto out = encode(wide, CP_UTF8, "?");
    return out ? *out : std::string();
}

Text systemReason(unsigned long error) {
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring reason = n > 0 && text ? std::wstring(text, n) : std::wstring();
    if (text) LocalFree(text);
    while (!reason.empty() &&
           (reason.back() == L'\n' || reason.back() == L'\r' || reason.back() == L' ')) {
        reason.pop_back();
    }
    const Text said = fromWideForDisplay(reason);
    return said.empty() ? "error " + std::to_string(error) : said;
}

}  // namespace folioknife::splitter
