#pragma once
#include <functional>
#include <ostream>
#include <string>

#include "cli/CliSplit.h"
#include "splitter/FileService.h"
#include "splitter/SourceDocument.h"
#include "splitter/SplitPlan.h"

namespace folioknife::cli {

// True when the name ends in ".epub", in any case: how --epub tells its own value from the
// novel that follows it.
bool isEpubName(const std::string& path);

// One novel made into an EPUB. Paths in the program's code page.
struct EpubRun {
    const CliOptions& options;  // title, author and language as typed in the terminal
    const splitter::Text& novel;
    const splitter::Text& book;
    const splitter::SourceDocument& document;
    const splitter::SplitPlan& plan;  // its headings and the volume lines that go with them
    splitter::FileService& files;
    const std::string& terminal;  // of what is printed
    const std::string& typed;     // of the options' texts as given
    std::ostream& out;
    const std::function<void(const std::string&)>& report;  // a UTF-8 message for stderr
};

// Writes the EPUB of the loaded novel with the headings planned in it, and deletes the novel
// when asked and the book read back holds it; returns the exit status.
int writeEpub(const EpubRun& run);

}  // namespace folioknife::cli
