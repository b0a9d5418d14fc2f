#pragma once
#include <ostream>
#include <string>

namespace folioknife::cli {

constexpr int kExitDone = 0;
constexpr int kExitRefused = 1;    // a check refused the split; its message is on stderr
constexpr int kExitFileError = 2;  // the novel could not be opened or a file not written
constexpr int kExitUsage = 64;

struct CliOptions {
    std::string prefix;  // when not given: 第 and 章 in the code page
    std::string suffix;
    bool prefixGiven = false;
    bool suffixGiven = false;
    std::string expression;
    bool customMode = false;
    std::string perFile = "10";
    std::string outputDirectory;
    bool outputGiven = false;
    bool deleteSource = false;
    bool replace = false;  // volumes of another novel in the output folder are replaced
    std::string codePage;
    bool list = false;
    bool anywhere = false;  // every match is a heading, wherever it stands
    std::string file;
};

// True when the code page writes every ASCII character as that one byte (GBK, Big5, UTF-8;
// not UTF-16 or UCS-4).
bool asciiMeansAscii(const std::string& codePage);

// True when the code page shifts between character sets with escape or shift bytes
// (ISO-2022-*, HZ, UTF-7): the bytes of its characters may be ASCII bytes ("/" among them).
bool isStatefulCodePage(const std::string& codePage);

// Runs a split or a listing as the options say; returns the exit status. Texts arrive in the
// terminal's encoding and are printed in it.
int runCli(CliOptions options, std::ostream& out, std::ostream& err);

}  // namespace folioknife::cli
