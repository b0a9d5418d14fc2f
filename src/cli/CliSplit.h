#pragma once
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "splitter/CodePage.h"

namespace folioknife::cli {

// With several novels the status is the worst of them: the highest.
constexpr int kExitDone = 0;
constexpr int kExitRefused = 1;         // a check refused the split; its message is on stderr
constexpr int kExitFileError = 2;       // the novel could not be opened or a file not written
constexpr int kExitNothingToSplit = 3;  // no heading found: the novel whole in one file, kept
constexpr int kExitUsage = 64;

struct CliOptions {
    std::string prefix;  // when not given: 第 and 章 in the code page
    std::string suffix;
    bool prefixGiven = false;
    bool suffixGiven = false;
    std::string expression;
    bool customMode = false;
    std::string perFile = "10";
    bool perFileGiven = false;
    std::string outputDirectory;
    bool outputGiven = false;
    bool deleteSource = false;
    bool replace = false;  // volumes of another novel in the output folder are replaced
    bool force = false;    // more than a thousand files are written without asking
    std::string codePage;
    std::string typedCodePage;  // of the texts above as given; empty: the terminal's
    bool list = false;
    bool json = false;               // with list: one JSON document
    bool anywhere = false;           // every match is a heading, wherever it stands
    bool recursive = false;          // folders given: their subfolders too
    bool quiet = false;              // no progress
    bool progress = false;           // standard error is a terminal: long work shows how far it is
    std::vector<std::string> files;  // novels, and folders of novels
    std::string maxSize;             // --max-size as typed; empty for no limit
    std::string to;                  // --to as typed; empty for the novel's own bytes
    std::string name;                // --name: the pattern of the files' names
    bool epub = false;               // an EPUB of each novel instead of volumes
    std::string epubPath;  // one novel: the EPUB's name; empty: beside the novel or in --output
    std::string title;     // the EPUB's; as typed in the terminal, empty when not given
    std::string author;
    std::string language;  // empty: from the text
    std::string cover;     // --cover: a JPEG or PNG picture for the EPUB's cover
};

// A size as typed: digits with an optional fraction, then K, M or G (times 1024 each), an
// optional B; at least 64 bytes.
// Nothing when it is none.
std::optional<std::uint64_t> parseSize(const std::string& text);

// The encoding --to names (utf-8, gbk, utf-16le, in any case, with or without the hyphen) as
// an iconv name; empty when it names none of them.
std::string volumeEncodingNamed(const std::string& text);

// True when the code page writes every ASCII character as that one byte (GBK, Big5, UTF-8;
// not UTF-16 or UCS-4).
bool asciiMeansAscii(const std::string& codePage);

// The code page of the headings when --codepage is not given: on Linux the terminal's; on
// Windows the one the window works in (programCodePageOnWindows): the ANSI code page where it
// is UTF-8 or a Chinese one (GBK, GB18030, Big5), else (1252 on an English system) UTF-8,
// under which a novel that is not UTF-8 is read as GB18030, told apart by its content as on
// Linux.
std::string defaultCodePage(const std::string& terminal, bool windows);

// The novel's name without its folder and its ".txt" (in any case): the folder of its own that
// it is split into when several are split at once. '/' separates on Windows too.
splitter::Text novelStem(const splitter::Text& path, bool windows);

// True for a name that ends in ".txt", in any case.
bool isTextFileName(const splitter::Text& name);

// Runs a split or a listing as the options say; returns the exit status. Texts arrive in the
// terminal's encoding and are printed in it.
int runCli(CliOptions options, std::ostream& out, std::ostream& err);

}  // namespace folioknife::cli
