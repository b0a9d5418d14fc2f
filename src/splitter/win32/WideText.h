#pragma once
// Texts of the program's code page as Windows' UTF-16 and back, for the ...W functions, which
// work whatever the system's ANSI code page is.
#include <optional>
#include <string>
#include <string_view>

#include "splitter/CodePage.h"

namespace folioknife::splitter {

// Nothing when a byte is no character of the program's code page.
std::optional<std::wstring> toWide(std::string_view text);
// As toWide, a byte that is no character becoming '?': for showing only.
std::wstring toWideForDisplay(std::string_view text);
// Nothing when a character cannot be written in the program's code page.
std::optional<Text> fromWide(std::wstring_view wide);
// As fromWide, a character that cannot be written becoming '?': for showing only.
Text fromWideForDisplay(std::wstring_view wide);
// UTF-16 as UTF-8, whatever the program's code page (an unpaired surrogate becomes U+FFFD).
std::string utf8FromWide(std::wstring_view wide);

// The system's reason for an error code (GetLastError(), a registry call's result), in the
// user's language and the program's code page; "error N" when the system has none.
Text systemReason(unsigned long error);

}  // namespace folioknife::splitter
