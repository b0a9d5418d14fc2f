#include "cli/CliSplit.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "cli/Catalogue.h"
#include "cli/CliEpub.h"
#include "cli/Progress.h"
#include "cli/SplitterMessages.h"

#include "splitter/Ascii.h"
#include "splitter/ChapterExpression.h"
#include "splitter/CodePage.h"
#include "splitter/HalfWidth.h"
#include "splitter/HeadingWords.h"
#include "splitter/PastedExpression.h"
#include "splitter/Path.h"
#include "splitter/SourceDocument.h"
#include "splitter/SplitFlow.h"
#include "splitter/SplitPlan.h"
#include "splitter/TextToInteger.h"
#include "splitter/Unicode.h"
#include "splitter/VolumeFiles.h"
#include "splitter/VolumeNames.h"
#include "splitter/Volumes.h"

namespace folioknife::cli {

using namespace folioknife::splitter;

namespace {

// The core works in the chosen code page, paths included, as the window does on a system of
// that code page; the file system gets its names back in the terminal's encoding.
class PathConvertingFileService : public FileService {
public:
    PathConvertingFileService(FileService& inner, std::string codePage, std::string terminal)
        : inner_(inner), codePage_(std::move(codePage)), terminal_(std::move(terminal)) {}
    Expected<std::unique_ptr<InputFile>> openForReading(const std::string& path) override {
        return named(inner_.openForReading(native(path)));
    }
    Expected<std::unique_ptr<OutputFile>> createTemporary(const std::string& prefix,
                                                          std::string& path) override {
        std::string made;
        auto file = inner_.createTemporary(native(prefix), made);
        // The characters added are ASCII, the same in either code page.
        if (file) path = prefix + made.substr(native(prefix).size());
        return named(std::move(file));
    }
    FileStatus replaceFile(const std::string& from, const std::string& to) override {
        return named(inner_.replaceFile(native(from), native(to)));
    }
    FileStatus createDirectory(const std::string& path) override {
        return named(inner_.createDirectory(native(path)));
    }
    FileStatus deleteFile(const std::string& path) override {
        return named(inner_.deleteFile(native(path)));
    }
    FileStatus removeDirectory(const std::string& path) override {
        return named(inner_.removeDirectory(native(path)));
    }
    std::vector<FileStatus> deleteFiles(const std::vector<std::string>& paths) override {
        std::vector<std::string> converted;
        for (const std::string& path : paths) converted.push_back(native(path));
        std::vector<FileStatus> results = inner_.deleteFiles(converted);
        for (FileStatus& result : results) result = named(std::move(result));
        return results;
    }
    FileKind kindOf(const std::string& path) override { return inner_.kindOf(native(path)); }
    FileKind entryKind(const std::string& path) override { return inner_.entryKind(native(path)); }
    std::vector<std::string> listFolder(const std::string& path) override {
        std::vector<std::string> names = inner_.listFolder(native(path));
        for (std::string& name : names) name = back(name);
        return names;
    }
    Expected<FileIdentity> identify(const std::string& path) override {
        return named(inner_.identify(native(path)));
    }
    FileStatus flushFiles(const std::vector<std::string>& paths) override {
        std::vector<std::string> converted;
        for (const std::string& path : paths) converted.push_back(native(path));
        return named(inner_.flushFiles(converted));
    }
    FileStatus flushFolder(const std::string& path) override {
        return named(inner_.flushFolder(native(path)));
    }
    Expected<std::unique_ptr<FolderLock>> lockFolder(const std::string& path,
                                                     int waitMilliseconds) override {
        return named(inner_.lockFolder(native(path), waitMilliseconds));
    }

private:
    // A failure names its path in the caller's code page.
    template <typename Result>
    Result named(Result result) const {
        if (result) return result;
        FileError error = result.error();
        error.path = back(error.path);
        return error;
    }
    std::string back(const std::string& path) const {
        auto converted = convertText(path, terminal_, codePage_);
        return converted ? *converted : path;
    }
    std::string native(const std::string& path) const {
        auto converted = convertText(path, codePage_, terminal_);
        return converted ? *converted : path;
    }
    FileService& inner_;
    std::string codePage_;
    std::string terminal_;
};

class CliSettings : public SplitSettings {
public:
    CliSettings(const CliOptions& o, Text file, Text folder)
        : o_(o), file_(std::move(file)), folder_(std::move(folder)) {}
    bool customMode() override { return o_.customMode; }
    Text expressionText() override { return o_.expression; }
    Text prefix() override { return o_.prefix; }
    Text suffix() override { return o_.suffix; }
    // --max-size alone closes the files by their size only.
    Text chaptersPerFileText() override {
        return !o_.maxSize.empty() && !o_.perFileGiven ? "2147483647" : o_.perFile;
    }
    Text outputDirectory() override { return folder_; }
    bool deleteSource() override { return o_.deleteSource; }
    Text sourcePath() override { return o_.deleteSource ? file_ : Text(); }
    bool anywhere() override { return o_.anywhere; }
    std::uint64_t maxVolumeBytes() override { return parseSize(o_.maxSize).value_or(0); }
    std::string volumeEncoding() override { return volumeEncodingNamed(o_.to); }
    Text volumeNamePattern() override { return o_.name; }
    Text novelName() override { return novelStem(file_, nativePathStyle() == PathStyle::Windows); }
    // One novel of several goes into a folder of its own, which a later call given the
    // folder of novels is to pass over, whatever names the volumes have.
    bool markNewFolder() override { return several; }
    bool several = false;

private:
    const CliOptions& o_;
    Text file_;
    Text folder_;
};

// Answers the split's questions by the options: whether to replace another novel's volumes by
// --replace, whether to write more than a thousand files by --force. What the split tells is
// in its outcome, printed by the caller where it belongs.
class AnswersFromOptions : public MessageBoxService {
public:
    AnswersFromOptions(bool replace, bool force) : replace_(replace), force_(force) {}
    MessageBoxAnswer showMessage(const Message& message, MessageBoxButtons buttons) override {
        if (message.id == MessageId::ManyVolumes && buttons != MessageBoxButtons::Ok)
            return force_ ? MessageBoxAnswer::Yes : MessageBoxAnswer::No;
        return answer(buttons);
    }
    MessageBoxAnswer showMessageBox(const Text&, const Text&, MessageBoxButtons buttons) override {
        return answer(buttons);
    }

private:
    MessageBoxAnswer answer(MessageBoxButtons buttons) const {
        if (buttons == MessageBoxButtons::YesNo || buttons == MessageBoxButtons::YesNoDefaultNo)
            return replace_ ? MessageBoxAnswer::Yes : MessageBoxAnswer::No;
        return MessageBoxAnswer::Ok;
    }
    bool replace_;
    bool force_;
};

// The line on which a heading stands, without its line end. In UTF-16 a line feed is a unit
// of two bytes, at an even offset.
std::string_view lineAt(std::string_view text, std::size_t offset, CharacterSet characters) {
    const AsciiUnits units(characters);
    const std::size_t unit = units.size;
    const auto isAt = [&](std::size_t at, char c) { return units.isAt(text, at, c); };
    std::size_t start = offset;
    while (start >= unit && !isAt(start - unit, '\n')) start -= unit;
    std::size_t end = offset;
    while (end + unit <= text.size() && !isAt(end, '\n')) end += unit;
    if (end > start && end >= unit && isAt(end - unit, '\r')) end -= unit;
    return text.substr(start, end - start);
}

// True when the code page shifts between character sets with escape or shift bytes
// (ISO-2022-*, HZ, UTF-7): the bytes of its characters may be ASCII bytes ("/" among them).
bool isStatefulCodePage(const std::string& codePage) {
    // Characters of the scripts these code pages shift into; a shift shows as ESC, SO or SI
    // (ISO-2022), "~{" (HZ) or "+" (UTF-7).
    for (const char* sample : {"中文", "日本語", "カナ", "한국어"}) {
        const std::optional<std::string> converted = convertText(sample, "UTF-8", codePage);
        if (converted && (converted->find_first_of("\x1B\x0E\x0F+") != std::string::npos ||
                          converted->find("~{") != std::string::npos))
            return true;
    }
    return false;
}

// True when every .txt file of the folder 'name' (its names 'listed') is a volume that a split
// into it made: novel_K.txt, or a name 'pattern' gives a novel of the folder's name. A split of
// several novels writes each into a folder named after it, and may have deleted the novel.
bool heldVolumesOnly(const Text& name, const std::vector<Text>& listed, const Text& pattern) {
    bool any = false;
    for (const Text& file : listed) {
        if (!isTextFileName(file)) continue;
        any = true;
        if (volumeNumberOf(file, nativePathStyle()) == 0 &&
            (pattern.empty() || !volumeNumberIn(pattern, name, file)))
            return false;
    }
    return any;
}

// The novels of a folder, in the order of their names; with 'recursive', those of its
// subfolders too, except the folders that splits of its novels made (marked so by the split
// that made them, named after a novel beside them, or holding only volumes of the novel they
// are named after, under the default names or 'pattern'). A folder reached twice (through a
// link) is read once.
void collectNovels(FileService& files, const Text& folder, bool recursive, const Text& pattern,
                   std::set<std::pair<std::uint64_t, std::uint64_t>>& seen,
                   std::vector<Text>& novels) {
    if (const auto id = files.identify(folder)) {
        if (!seen.insert({id->device, id->file}).second) return;
    }
    std::vector<Text> names = files.listFolder(folder);
    std::sort(names.begin(), names.end());
    std::set<Text> stems;
    for (const Text& name : names) {
        if (isTextFileName(name)) stems.insert(name.substr(0, name.size() - 4));
    }
    std::vector<Text> subfolders;
    for (const Text& name : names) {
        const Text path = joinPathOnce(folder, name, nativePathStyle());
        const FileKind kind = files.kindOf(path);
        if (kind == FileKind::Regular && isTextFileName(name) &&
            // Volumes of an earlier split into the folder of the novels are no novels.
            volumeNumberOf(name, nativePathStyle()) == 0) {
            novels.push_back(path);
        } else if (kind == FileKind::Directory && recursive && stems.count(name) == 0 &&
                   !holdsFolderMark(files, nativePathStyle(), path) &&
                   !heldVolumesOnly(name, files.listFolder(path), pattern)) {
            subfolders.push_back(path);
        }
    }
    for (const Text& sub : subfolders) collectNovels(files, sub, recursive, pattern, seen, novels);
}

}  // namespace

bool asciiMeansAscii(const std::string& codePage) {
    std::string ascii = "\t\r\n";
    for (char c = 0x20; c < 0x7F; ++c) ascii += c;
    const std::optional<std::string> converted = convertText(ascii, "UTF-8", codePage);
    return converted && *converted == ascii;
}

std::optional<std::uint64_t> parseSize(const std::string& text) {
    std::size_t i = 0;
    std::uint64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (value > (std::uint64_t{1} << 50)) return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(text[i] - '0');
    }
    if (i == 0) return std::nullopt;
    // A fraction, of which nine digits count: 0.5M, 1.5M.
    std::uint64_t fraction = 0, scale = 1;
    if (i < text.size() && text[i] == '.') {
        const std::size_t first = ++i;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            if (scale >= 1000000000) continue;
            fraction = fraction * 10 + static_cast<std::uint64_t>(text[i] - '0');
            scale *= 10;
        }
        if (i == first) return std::nullopt;
    }
    std::string unit = text.substr(i);
    for (char& c : unit) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    if (!unit.empty() && unit.back() == 'B') unit.pop_back();
    int shift = 0;
    if (unit == "K")
        shift = 10;
    else if (unit == "M")
        shift = 20;
    else if (unit == "G")
        shift = 30;
    else if (!unit.empty())
        return std::nullopt;
    value = (value << shift) + (fraction << shift) / scale;
    // Room for a byte-order mark and a character of four bytes, and then some.
    if (value < 64) return std::nullopt;
    return value;
}

std::string volumeEncodingNamed(const std::string& text) {
    std::string n;
    for (char c : text) {
        if (c != '-' && c != '_') n += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    if (n == "UTF8") return "UTF-8";
    if (n == "GBK") return "GBK";
    if (n == "UTF16LE") return "UTF-16LE";
    return {};
}

bool isTextFileName(const Text& name) { return name.size() > 4 && hasExtension(name, ".txt"); }

std::string defaultCodePage(const std::string& terminal, bool windows) {
    return windows ? programCodePageOnWindows(terminal) : terminal;
}

Text novelStem(const Text& path, bool windows) {
    const PathStyle style = windows ? PathStyle::Windows : PathStyle::Posix;
    const Text name = fileName(path, style);
    return isTextFileName(name) ? stem(name, style) : name;
}

namespace {

// The line on which a heading stands, in UTF-8; a "line" may be megabytes long: its start,
// cut between characters.
std::string headingLine(const SplitPlan& plan, const ExpressionMatch& m) {
    const DocumentEncoding& encoding = plan.encoding;
    std::string_view line =
        lineAt(plan.text.view(), static_cast<std::size_t>(m.offset), encoding.characters);
    // The novel's byte-order mark, before the first line, is no character of the heading.
    if (line.data() == plan.text.view().data()) {
        std::string_view mark = byteOrderMarkOf(encoding.characters);
        if (encoding.characters == CharacterSet::Utf8) mark = "\xEF\xBB\xBF";
        if (!mark.empty() && line.substr(0, mark.size()) == mark) line.remove_prefix(mark.size());
    }
    constexpr std::size_t kShown = 160;
    if (line.size() <= kShown) return readableUtf8(line, encoding);
    std::size_t cut = 0;
    for (std::size_t next = 0; next <= kShown;
         next = nextCharacterBoundary(line, next, encoding.characters)) {
        cut = next;
    }
    // The dots in UTF-8, after the conversion: in UTF-16 three bytes would be no characters.
    return readableUtf8(line.substr(0, cut), encoding) + "...";
}

// The text with its control characters written as JSON writes them (\t, \u001b): a heading's
// escape sequence would otherwise retitle or clear the terminal, and its tab split the columns.
std::string visible(const std::string& utf8) {
    std::string shown;
    for (const char c : utf8) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b != 0x7F) {
            shown += c;
            continue;
        }
        switch (c) {
            case '\t':
                shown += "\\t";
                break;
            case '\n':
                shown += "\\n";
                break;
            case '\r':
                shown += "\\r";
                break;
            case '\b':
                shown += "\\b";
                break;
            case '\f':
                shown += "\\f";
                break;
            default: {
                static const char digits[] = "0123456789abcdef";
                shown += "\\u00";
                shown += digits[b >> 4];
                shown += digits[b & 15];
            }
        }
    }
    return shown;
}

// The terminal columns the first 'characters' characters of UTF-8 text take: two for the wide
// characters of East Asian scripts, one for others.
std::size_t columnsOf(std::string_view utf8, std::size_t characters) {
    std::size_t columns = 0;
    for (std::size_t i = 0, n = 0; i < utf8.size() && characters > 0; i += n, --characters) {
        const char32_t c = decodeUtf8At(utf8, i, n);
        const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
                          (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
                          (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                          (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
        columns += wide ? 2 : 1;
    }
    return columns;
}

// The novel's code page under one name on every system: GB18030 for a novel that uses its
// four-byte characters (a lead byte, then a digit), GBK for one that GBK holds, whatever name
// the system's iconv or code page table gave it (GB18030 on Linux, CP936 on Windows).
std::string codePageName(const SplitPlan& plan) {
    const std::string& name = plan.encoding.codePage;
    if (!sameCodePage(name, "GB18030") && !sameCodePage(name, "GBK") &&
        !sameCodePage(name, "CP936"))
        return name;
    // Read from the start, a byte 81..FE begins a character of two bytes or more; any other
    // byte stands alone or ends a character, so a run of 81..FE bytes after it begins with a
    // character, and its last byte leads one when the run is odd. A digit after such a lead
    // makes a four-byte character. Digits are rare in a Chinese novel: the text is looked at
    // in blocks, and only a block with a digit byte by byte.
    const std::string_view text = plan.text.view();
    const auto* const bytes = reinterpret_cast<const unsigned char*>(text.data());
    const auto lead = [](unsigned char b) { return b >= 0x81 && b <= 0xFE; };
    constexpr std::size_t kBlock = 64;
    for (std::size_t block = 1; block < text.size(); block += kBlock) {
        const std::size_t end = std::min(text.size(), block + kBlock);
        bool digit = false;
        for (std::size_t j = block; j < end; ++j)
            digit |= static_cast<unsigned char>(bytes[j] - '0') < 10;
        if (!digit) continue;
        for (std::size_t j = block; j < end; ++j) {
            if (static_cast<unsigned char>(bytes[j] - '0') >= 10 || !lead(bytes[j - 1])) continue;
            std::size_t run = 0;
            while (run < j && lead(bytes[j - 1 - run])) ++run;
            if (run % 2 == 1) return "GB18030";
        }
    }
    return "GBK";
}

// One call of folioknife-split: its checks, then each novel split, listed or made a book.
class CliRun {
public:
    CliRun(CliOptions& options, std::ostream& out, std::ostream& err)
        : o_(options),
          out_(out),
          err_(err),
          terminal_(systemCodePage()),
          typed_(options.typedCodePage.empty() ? terminal_ : options.typedCodePage) {}
    int run();

private:
    std::string say(const std::string& utf8) const {
        return convertForDisplay(utf8, "UTF-8", terminal_);
    }
    // A text as typed in the terminal, in UTF-8.
    std::string typed(const std::string& text) const {
        return convertForDisplay(text, typed_, "UTF-8");
    }
    std::string inUtf8(const Text& text) const {
        return convertForDisplay(text, codePage_, "UTF-8");
    }
    std::string localize(const Message& message) const {
        return messageText(message, codePage_, chinese_);
    }
    void complain(const std::string& utf8) { err_ << "folioknife-split: " << say(utf8) << "\n"; }
    void hint() { err_ << say(tr("Run with --help for the options.")) << "\n"; }
    // A novel's own message on one line, as GNU programs give it: the program, the novel, the
    // message, its lines (a system's reason) joined.
    void report(std::string utf8) {
        for (std::size_t at = utf8.find('\n'); at != std::string::npos; at = utf8.find('\n', at))
            utf8.replace(at, 1, ": ");
        err_ << "folioknife-split: " << say(visible(inUtf8(novel_))) << ": " << say(utf8) << "\n";
    }
    // A failure to open: the system's reason is all there is to say after the file's name.
    void reportOpenFailure(const Text& reason) {
        if (reason.empty()) return report(localize(Message(MessageId::OpenFailed, {novel_})));
        report(inUtf8(reason));
    }
    void fail(int status) { worst_ = std::max(worst_, status); }
    Text fullPath(const Text& folder) const;
    bool checkOptions();
    bool takeTypedTexts();
    std::vector<Text> collectAll();
    Text folderFor(const Text& path);
    bool loadNovel(SourceDocument& document, CountingFileService& counting, const Text& folder);
    void doNovel(const Text& path);
    // The plan for the use; nothing, the refusal reported, when a check fails.
    std::optional<SplitPlan> plan(SourceDocument& document, CliSettings& settings, PlanUse use);
    // Under a refusal of the expression, the expression and a caret under the character it is
    // about; that character (0 for the first) as typed.
    std::optional<std::size_t> showPlace(const Message& refusal);
    void makeBook(SourceDocument& document, CliSettings& settings);
    void listNovel(SourceDocument& document, CliSettings& settings);
    void listInJson(const SplitPlan& plan, const std::vector<std::string>& notes);
    void splitNovel(SourceDocument& document, CliSettings& settings, const Text& folder,
                    CountingFileService& counting);
    void reportTooMany(const SplitOutcome& outcome);
    void printJson();

    CliOptions& o_;
    std::ostream& out_;
    std::ostream& err_;
    const std::string terminal_;  // what is printed is in its code page
    const std::string typed_;     // the options' texts, paths included, as given
    std::string codePage_;
    std::optional<DocumentEncoding> novelEncoding_;  // --codepage UTF-16LE or UTF-16BE
    bool chinese_ = false;
    FileService* files_ = nullptr;
    std::unique_ptr<PathConvertingFileService> converting_;
    PathStyle style_ = nativePathStyle();
    bool windows_ = nativePathStyle() == PathStyle::Windows;
    bool several_ = false;
    int worst_ = kExitDone;
    std::string typedExpression_;                         // in UTF-8
    CodePageExpression expression_;                       // in the code page
    Text novel_;                                          // the novel at hand
    std::set<Text> folders_;                              // the folders novels are split into
    nlohmann::json documents_ = nlohmann::json::array();  // --list --json
};

// The folder as the user finds it from anywhere: a relative one with the current folder before
// it ("." is the current folder itself). As given when the current folder cannot be named.
Text CliRun::fullPath(const Text& folder) const {
    const bool absolute = windows_ ? folder.size() > 2 && (folder[1] == ':' || folder[0] == '\\')
                                   : !folder.empty() && folder[0] == '/';
    if (absolute) return folder;
    std::error_code error;
    const std::filesystem::path here = std::filesystem::current_path(error);
    if (error) return folder;
    std::optional<std::string> inCodePage;
    try {
        inCodePage = convertText(here.string(), terminal_, codePage_);
    } catch (const std::exception&) {
        // A current folder that the narrow code page cannot name.
    }
    if (!inCodePage) return folder;
    Text rest = folder;
    while (rest.size() >= 2 && rest[0] == '.' &&
           (rest[1] == '/' || rest[1] == pathSeparator(style_).back()))
        rest.erase(0, 2);
    if (rest.empty() || rest == ".") return *inCodePage;
    return joinPathOnce(*inCodePage, rest, style_);
}

// The code page and the options that need no novel; false when one is unusable.
bool CliRun::checkOptions() {
    codePage_ = o_.codePage.empty() ? defaultCodePage(terminal_, windows_) : o_.codePage;
    // UTF-16 in a named byte order is how the novel is read; names, options and the
    // expression stay in the code page used without --codepage, which writes ASCII as ASCII.
    for (const char* wide : {"UTF-16LE", "UTF-16BE"}) {
        if (sameCodePage(codePage_, wide)) {
            novelEncoding_ = encodingOf(wide);
            codePage_ = defaultCodePage(terminal_, windows_);
        }
    }
    if (!convertText("", typed_, codePage_)) {
        complain(trf("unknown code page: {1}", {typed(o_.codePage)}));
        return false;
    }
    // Paths, separators, digits and the expression's syntax are ASCII bytes: a code page that
    // writes ASCII otherwise would build names outside the output folder.
    if (!asciiMeansAscii(codePage_)) {
        complain(
            trf("code page {1} cannot be used: its ASCII characters are not ASCII bytes "
                "(UTF-16, UTF-32, UCS-2 and UCS-4 are refused; GBK, GB18030, Big5 and UTF-8 "
                "work)",
                {codePage_}));
        return false;
    }
    if (isStatefulCodePage(codePage_)) {
        complain(
            trf("code page {1} cannot be used: it shifts between character sets, so bytes of its "
                "characters can be \"/\" or other ASCII (ISO-2022-*, HZ and UTF-7 are refused; "
                "GBK, GB18030, Big5, Shift-JIS, EUC-* and UTF-8 work)",
                {codePage_}));
        return false;
    }
    // The window takes "10abc" as 10 and "abc" as 0 and says so when it splits; a command
    // line that is not what it means is a usage error before anything is read. Full-width
    // digits count, as in the window.
    const Text digits = foldHalfWidth(o_.perFile, terminal_);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos ||
        digits.size() > 10 || std::stoull(digits) < 1 || std::stoull(digits) > 2147483647) {
        complain(trf("-n {1}: give a whole number of chapters per file, 1 or more",
                     {typed(o_.perFile)}));
        hint();
        return false;
    }
    if (!o_.maxSize.empty() && !parseSize(o_.maxSize)) {
        complain(trf("--max-size {1}: give a size of at least 64 bytes, such as 500K, 0.5M or 2M",
                     {typed(o_.maxSize)}));
        return false;
    }
    if (!o_.to.empty() && volumeEncodingNamed(o_.to).empty()) {
        complain(
            trf("--to {1}: the volumes can be written in utf-8, gbk or utf-16le", {typed(o_.to)}));
        return false;
    }
    return true;
}

// Texts typed in the terminal go to the code page in which the expression is matched.
bool CliRun::takeTypedTexts() {
    std::vector<std::pair<std::string*, const char*>> fields = {
        {&o_.prefix, "--prefix"},    {&o_.suffix, "--suffix"},
        {&o_.perFile, "--per-file"}, {&o_.outputDirectory, "--output"},
        {&o_.name, "--name"},        {&o_.epubPath, "--epub"},
        {&o_.cover, "--cover"}};
    for (std::string& file : o_.files) fields.emplace_back(&file, "FILE");
    // The expression is matched by characters, whatever code page the novel is read in: a
    // character the code page lacks is kept as its code point.
    typedExpression_ = typed(o_.expression);
    expression_ = expressionInCodePage(typedExpression_, codePage_);
    o_.expression = expression_.text;
    if (!sameCodePage(codePage_, typed_)) {
        for (const auto& [text, name] : fields) {
            auto converted = convertText(*text, typed_, codePage_);
            if (!converted) {
                complain(trf("{1} cannot be written in code page {2}", {name, codePage_}));
                return false;
            }
            *text = *converted;
        }
    }
    if (!o_.name.empty()) {
        if (const Text bad = volumePatternError(o_.name); !bad.empty()) {
            complain(
                trf("--name {1}: a file name with {name}, {k}, {k0} or {title} in it, "
                    "without a folder; not usable: {2}",
                    {inUtf8(o_.name), inUtf8(bad)}));
            return false;
        }
    }
    return true;
}

// The novels given and those in the folders given; every novel into a folder of its own as
// soon as there may be more than one.
std::vector<Text> CliRun::collectAll() {
    std::vector<Text> novels;
    several_ = o_.files.size() > 1;
    for (const Text& given : o_.files) {
        if (files_->kindOf(given) != FileKind::Directory) {
            novels.push_back(given);
            continue;
        }
        several_ = true;
        const std::size_t before = novels.size();
        std::set<std::pair<std::uint64_t, std::uint64_t>> seen;
        collectNovels(*files_, given, o_.recursive, o_.name, seen, novels);
        if (novels.size() == before) {
            complain(trf("no .txt file in the folder {1}", {inUtf8(given)}));
            fail(kExitFileError);
        }
    }
    return novels;
}

// The folder the novel's volumes go into; empty when another novel of this call took it.
Text CliRun::folderFor(const Text& path) {
    const Text base = o_.outputGiven ? o_.outputDirectory : folderOf(path, nativePathStyle());
    if (!several_) return base;
    const Text folder = joinPathOnce(base, novelStem(path, windows_), style_);
    // Two novels of one name would replace each other's volumes.
    if (!folders_.insert(folder).second) {
        report(trf("left out: another novel of this call is split into {1}", {inUtf8(folder)}));
        fail(kExitRefused);
        return {};
    }
    return folder;
}

bool CliRun::loadNovel(SourceDocument& document, CountingFileService& counting,
                       const Text& folder) {
    // No folder is locked or touched for what is no novel (/dev/stdin would have /dev).
    const FileKind before = files_->kindOf(novel_);
    if (before == FileKind::Directory || before == FileKind::Other) {
        report(tr("not a regular file"));
        fail(kExitFileError);
        return false;
    }
    // A split killed while it wrote into the output folder is undone before the novel is
    // loaded: the novel may be one of the names it changed (novel_1.txt split into its own
    // folder).
    // Whatever name the novel has, recovery never removes it, nor moves it away from its
    // name; it may put back over it bytes that the killed split set aside from there.
    if (!o_.list) {
        if (Expected<std::unique_ptr<FolderLock>> lock =
                files_->lockFolder(folder, kFolderLockWait)) {
            const Recovery recovery =
                recoverFolder(*files_, nativePathStyle(), folder, files_->identify(novel_).ok());
            if (recovery.failure) {
                report(localize(notRestoredMessage(*recovery.failure)));
                fail(kExitFileError);
                return false;
            }
        } else if (lock.error().kind == FileErrorKind::Busy) {
            report(localize(Message(MessageId::FolderBusy, {folder})));
            fail(kExitFileError);
            return false;
        }
    }
    const FileStatus loaded = loadSourceDocument(document, counting, novel_, Loading::Map);
    if (loaded && novelEncoding_) document.readAs(*novelEncoding_);
    if (loaded) return true;
    const FileKind kind = files_->kindOf(novel_);
    if (kind == FileKind::Directory || kind == FileKind::Other) {
        report(tr("not a regular file"));
    } else {
        reportOpenFailure(loaded.error().reason);
    }
    fail(kExitFileError);
    return false;
}

std::optional<SplitPlan> CliRun::plan(SourceDocument& document, CliSettings& settings,
                                      PlanUse use) {
    SplitPlan planned = planSplit(document, settings, use);
    if (planned.ready()) return planned;
    const Message& refusal = *planned.refusal;
    const std::string said = localize(refusal);
    report(said);
    nlohmann::json error{{"message", said}};
    if (const std::optional<std::size_t> at = showPlace(refusal)) {
        error["expression"] = typedExpression_;
        error["character"] = *at + 1;
    }
    if (o_.json) documents_.push_back(nlohmann::json{{"file", inUtf8(novel_)}, {"error", error}});
    fail(kExitRefused);
    return std::nullopt;
}

std::optional<std::size_t> CliRun::showPlace(const Message& refusal) {
    if (refusal.id != MessageId::InvalidExpressionAt || refusal.args.size() < 2)
        return std::nullopt;
    // The expression as typed, and a caret under the character the refusal is about.
    const std::size_t at = std::stoul(refusal.args[1]) - 1;
    const std::size_t typedAt = expression_.typedAt[std::min(at, expression_.typedAt.size() - 1)];
    const std::string shown = visible(typedExpression_);
    err_ << "  " << say(shown) << "\n  " << std::string(columnsOf(shown, typedAt), ' ') << "^\n";
    return typedAt;
}

void CliRun::makeBook(SourceDocument& document, CliSettings& settings) {
    const std::optional<SplitPlan> planned = plan(document, settings, PlanUse::Book);
    if (!planned) return;
    const SplitPlan& plan = *planned;
    if (plan.suffixNote) report(localize(*plan.suffixNote));
    // Beside the novel, or in the -o folder; never in a folder of its own.
    const Text book = !o_.epubPath.empty()
                          ? o_.epubPath
                          : joinPathOnce(o_.outputGiven ? o_.outputDirectory
                                                        : folderOf(novel_, nativePathStyle()),
                                         novelStem(novel_, windows_) + ".epub", style_);
    const std::function<void(const std::string&)> toStderr = [&](const std::string& utf8) {
        report(utf8);
    };
    fail(writeEpub({o_, novel_, book, document, plan, *files_, terminal_, typed_, out_, toStderr}));
}

void CliRun::listInJson(const SplitPlan& plan, const std::vector<std::string>& notes) {
    nlohmann::json headings = nlohmann::json::array();
    std::vector<std::size_t> inVolume(plan.volumes.size() + 1, 0);
    for (std::size_t i = 0; i < plan.headings().size(); ++i) {
        const ExpressionMatch& m = plan.headings()[i];
        const std::size_t k = plan.volumeAt(m.offset);
        ++inVolume[k];
        headings.push_back(nlohmann::json{{"number", i + 1},
                                          {"offset", m.offset},
                                          {"text", headingLine(plan, m)},
                                          {"volume", k}});
    }
    nlohmann::json volumes = nlohmann::json::array();
    for (std::size_t k = 1; k <= plan.volumes.size(); ++k) {
        volumes.push_back(nlohmann::json{{"number", k},
                                         {"file", inUtf8(plan.names[k - 1])},
                                         {"offset", plan.starts[k - 1]},
                                         {"length", plan.volumes[k - 1].size()},
                                         {"headings", inVolume[k]}});
    }
    nlohmann::json document{{"file", inUtf8(novel_)},    {"encoding", codePageName(plan)},
                            {"bytes", plan.text.size()}, {"headings", headings},
                            {"volumes", volumes},        {"notes", notes}};
    // The form the headings were found in, when the suffix asked for found too few.
    const HeadingSearch& search = plan.search;
    if (search.otherSuffix || search.form != splitter::HeadingForm::Suffix) {
        constexpr const char* kForms[] = {"suffix", "word-first", "english", "numbered-line"};
        document["form"] = {
            {"kind", kForms[static_cast<int>(search.form)]},
            {"mark", inUtf8(search.form == splitter::HeadingForm::Suffix ? search.suffix
                                                                         : search.formMark)}};
    }
    documents_.push_back(std::move(document));
}

void CliRun::listNovel(SourceDocument& document, CliSettings& settings) {
    const std::optional<SplitPlan> planned = plan(document, settings, PlanUse::Listing);
    if (!planned) return;
    const SplitPlan& plan = *planned;
    const HeadingSearch& search = plan.search;
    std::vector<std::string> notes;
    if (plan.suffixNote) notes.push_back(localize(*plan.suffixNote));
    if (search.leftOutInText + search.leftOutAsContents > 0) {
        const std::string inText =
            search.leftOutInText == 1
                ? tr("1 match inside running text")
                : trf("{1} matches inside running text", {std::to_string(search.leftOutInText)});
        const std::string contents =
            search.leftOutAsContents == 1
                ? tr("1 table-of-contents entry")
                : trf("{1} table-of-contents entries", {std::to_string(search.leftOutAsContents)});
        notes.push_back(trf("left out {1} and {2}; --anywhere keeps them", {inText, contents}));
    }
    if (search.leftOutRepeated > 0) {
        notes.push_back(search.leftOutRepeated == 1
                            ? tr("left out 1 repeat of the heading before it (page headers, "
                                 "running titles); --anywhere keeps it")
                            : trf("left out {1} repeats of the heading before them (page "
                                  "headers, running titles); --anywhere keeps them",
                                  {std::to_string(search.leftOutRepeated)}));
    }
    if (plan.headingsNote) notes.push_back(localize(*plan.headingsNote));
    if (o_.json) return listInJson(plan, notes);
    if (several_) out_ << "file: " << say(visible(inUtf8(novel_))) << '\n';
    out_ << say(trf("encoding: {1}", {codePageName(plan)})) << '\n';
    // Which suffix the headings were found with, when not the one asked for: in the header.
    if (plan.suffixNote) out_ << say(notes.front()) << '\n';
    for (std::size_t i = 0; i < plan.headings().size(); ++i) {
        const ExpressionMatch& m = plan.headings()[i];
        out_ << i + 1 << '\t' << m.offset << '\t'
             << say(inUtf8(plan.names[plan.volumeAt(m.offset) - 1])) << '\t'
             << say(visible(headingLine(plan, m))) << '\n';
    }
    for (const std::string& note : notes) report(note);
}

void CliRun::splitNovel(SourceDocument& document, CliSettings& settings, const Text& folder,
                        CountingFileService& counting) {
    AnswersFromOptions answers(o_.replace, o_.force);
    SplitOutcome outcome;
    {
        ProgressLine progress(err_, o_.progress && !o_.quiet, inUtf8(novel_),
                              document.text().size(), counting);
        outcome = runSplit(document, settings, counting, answers, nativePathStyle());
    }
    if (outcome.status == SplitOutcome::Status::Declined) {
        report(localize(Message(MessageId::OtherVolumesFound,
                                {someNames(outcome.inTheWay, nativePathStyle(), true),
                                 std::to_string(outcome.inTheWay.size())})));
        return fail(kExitFileError);
    }
    if (outcome.status == SplitOutcome::Status::TooMany) return reportTooMany(outcome);
    if (outcome.status != SplitOutcome::Status::Done) {
        for (const auto& said : {outcome.failure, outcome.notRestored}) {
            if (!said) continue;
            report(localize(*said));
            static_cast<void>(showPlace(*said));
        }
        return fail(outcome.status == SplitOutcome::Status::Refused ? kExitRefused
                                                                    : kExitFileError);
    }
    // The notes, and why the source was kept: on standard error too, as warnings.
    for (const Message& note : outcome.notes) report(localize(note));
    if (outcome.sourceKept) report(localize(*outcome.sourceKept));
    std::string summary = trf("{1}: split done: {2} headings, {3} files in {4}",
                              {inUtf8(novel_), std::to_string(outcome.headings),
                               std::to_string(outcome.volumesWritten), inUtf8(fullPath(folder))});
    if (outcome.sourceDeleted) {
        summary = trf("{1}; {2}", {summary, tr("source deleted")});
    } else if (outcome.sourceKept) {
        summary = trf("{1}; {2}", {summary, localize(*outcome.sourceKept)});
    }
    out_ << say(summary) << "\n";
    // Headings were asked for and none was found: the one file is no split.
    if (outcome.headings == 0 && outcome.volumesWritten <= 1) fail(kExitNothingToSplit);
}

void CliRun::reportTooMany(const SplitOutcome& outcome) {
    const SplitPlan& plan = *outcome.plan;
    std::string first;
    for (std::size_t i = 0; i < plan.headings().size() && i < 3; ++i)
        first += (i ? " | " : "") + visible(headingLine(plan, plan.headings()[i]));
    report(
        trf("{1} files would be written ({2} chapter headings), more than {3}: nothing "
            "written; give --force to write them. The first headings: {4}",
            {std::to_string(plan.volumes.size()), std::to_string(outcome.headings),
             std::to_string(kManyVolumes), first}));
    fail(kExitUsage);
}

void CliRun::doNovel(const Text& path) {
    novel_ = path;
    const Text folder = folderFor(path);
    if (folder.empty() && several_) return;
    CountingFileService counting(*files_);
    // The novel is split at once, so it is mapped rather than copied into memory: a 100 MB
    // novel loads in milliseconds. Also when the source may be deleted: the check before
    // deleting compares the volumes on disk with the source on disk, not with memory.
    exitOnLostMapping(say(trf("{1} was cut short by another program during the split; the "
                              "output files may be incomplete",
                              {inUtf8(path)})) +
                          "\n",
                      kExitFileError);
    SourceDocument document;
    if (!loadNovel(document, counting, folder)) return;
    CliSettings settings(o_, path, folder);
    settings.several = several_;
    if (o_.epub) return makeBook(document, settings);
    if (o_.list) return listNovel(document, settings);
    splitNovel(document, settings, folder, counting);
}

void CliRun::printJson() {
    // JSON is UTF-8; a terminal of another encoding gets every other character escaped.
    const bool utf8Terminal = sameCodePage(terminal_, "UTF-8");
    const nlohmann::json& document =
        several_ || documents_.size() != 1 ? documents_ : documents_.front();
    if (!documents_.empty() || several_) {
        out_ << document.dump(2, ' ', !utf8Terminal, nlohmann::json::error_handler_t::replace)
             << '\n';
    }
}

int CliRun::run() {
    if (!checkOptions()) return kExitUsage;
    setProgramCodePage(codePage_);
    chinese_ = chineseMessages();
    if (!takeTypedTexts()) return kExitUsage;
    if (!o_.prefixGiven) o_.prefix = programText(splitter::headingWords::kPrefix);
    if (!o_.suffixGiven) o_.suffix = programText(splitter::headingWords::kSuffix);
    FileService& system = systemFileService();
    files_ = &system;
    // Windows' file service takes paths in the program's code page (and gives them to Windows
    // as UTF-16); Linux's takes the file system's bytes, the terminal's code page.
    if (!windows_ && !sameCodePage(codePage_, terminal_)) {
        converting_ = std::make_unique<PathConvertingFileService>(system, codePage_, terminal_);
        files_ = converting_.get();
    }
    const std::vector<Text> novels = collectAll();
    if (several_ && o_.epub && !o_.epubPath.empty()) {
        complain(tr("--epub names one EPUB: give one novel with it, or several without a name"));
        return kExitUsage;
    }
    // Usually there already; one that cannot be made is reported by each novel's split, which
    // cannot make its own folder inside it.
    if (several_ && o_.outputGiven && !novels.empty())
        static_cast<void>(files_->createDirectory(o_.outputDirectory));
    for (const Text& path : novels) doNovel(path);
    if (o_.list && o_.json) printJson();
    return worst_;
}

}  // namespace

int runCli(CliOptions options, std::ostream& out, std::ostream& err) {
    return CliRun(options, out, err).run();
}

}  // namespace folioknife::cli
