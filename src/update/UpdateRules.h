#pragma once
// The rules of the update check that do no I/O: the addresses, the chunk size of a download,
// the INI lookup, the version comparison and the prompt.
#include <cstddef>
#include <optional>
#include <string>

#include "splitter/CodePage.h"
#include "splitter/MessageBox.h"

namespace folioknife::update {

using splitter::Text;

// The body of a download is read in chunks sized by its Content-Length, read into a buffer
// of 32 bytes: leading white space and one sign are allowed, digits count up to the first
// other character. Missing, not fitting the buffer (32 characters or more) or not above 0:
// 10240 bytes. Otherwise one more than announced, at most 102400.
constexpr std::size_t kContentLengthBuffer = 32;
constexpr std::size_t kDefaultChunkSize = 10240;
constexpr std::size_t kLargestChunkSize = 102400;
std::size_t chunkSizeFor(const std::optional<std::string>& contentLength);

// The text before the first "#": the fragment is never sent.
Text cutFragment(const Text& path);

// http://<host>/soft/folioknife/up.ini and http://<host>/mysoft/folioknife.
Text updateFileAddress(const Text& host);
Text downloadPageAddress(const Text& host);
// The opener and the download page: "explorer http://..." on Windows.
Text pageCommandLine(const Text& opener, const Text& host);

// The version text, in the program's code page, that the server's must sort after: "0.7".
Text programVersion();
// compareText(version, "0.7") > 0: byte order, so 0.8, 0.71, 1.0 and V1.0 do, 0.10 does not.
bool isNewerVersion(const Text& version);

// "检查到新版本" + version + "是否升级？（点击确定将打开下载页面）" under "升级模块", with Yes and
// No; the answer Yes opens the page.
Text promptText(const Text& version);
Text promptTitle();
constexpr splitter::MessageBoxButtons kPromptButtons = splitter::MessageBoxButtons::YesNo;

// The value of key in section of an INI text, by the rules of the Windows profile reader:
// lines trimmed of blanks; "[name]" opens a section; the first "=" splits a line into key
// and value, each trimmed; section and key names compare without regard to ASCII case; the
// first matching section and the first matching key in it count, and a key written without
// "=" has no value; lines starting with ";" are comments; one pair of matching quotes (" or ')
// around a value is removed. defaultText when the section, the key or its value is missing.
Text lookupProfileText(const std::string& content, const Text& section, const Text& key,
                       const Text& defaultText);

}  // namespace folioknife::update
