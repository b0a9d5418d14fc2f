#pragma once
#include <ostream>
#include <vector>

#include "cli/CliSplit.h"
#include "splitter/ExpressionMatcher.h"
#include "splitter/FileService.h"
#include "splitter/SourceDocument.h"

namespace folioknife::cli {

// False in a build that writes no EPUB (the Windows build: no zip library there).
bool epubAvailable();

// True when the name ends in ".epub", in any case: how --epub tells its own value from the
// novel that follows it.
bool isEpubName(const std::string& path);

// Makes the EPUB of the loaded novel with the headings found in it, and deletes the novel
// when asked and the book read back holds it; returns the exit status. Paths are in the
// program's code page, the title and author as typed in the terminal.
int writeEpub(const CliOptions& options, const splitter::SourceDocument& document,
              const std::vector<splitter::ExpressionMatch>& headings, splitter::FileService& files,
              const std::string& terminal, std::ostream& out, std::ostream& err);

}  // namespace folioknife::cli
