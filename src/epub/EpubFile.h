#pragma once
// An EPUB reaches its name as volumes do: written to a temporary file beside it, flushed,
// renamed into place; and the novel is deleted only when the book read back from disk holds
// its text.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "epub/EpubArchive.h"
#include "epub/EpubBook.h"
#include "splitter/DocumentEncoding.h"
#include "splitter/FileService.h"

namespace folioknife::epub {

struct EpubFailure {
    std::string reason;  // the system's or the zip library's words; may be empty
};

// Writes the archive to 'path' (in 'folder') through a temporary file, which is flushed and
// then given the name, replacing what stood there. On failure the name keeps what it had and
// the temporary file is gone.
std::optional<EpubFailure> installEpub(splitter::FileService& files, const std::string& path,
                                       const std::string& folder,
                                       const std::vector<ArchiveEntry>& entries);

enum class SourceFate {
    Deleted,
    Differs,   // the book read back does not hold the novel's text; the reason says where
    IsOutput,  // the novel and the book are one file
    Failed,    // the system refused a step; the reason says why
};
struct SourceDeletion {
    SourceFate fate = SourceFate::Failed;
    std::string reason;     // with Failed: the system's words, in the program's code page
    Difference difference;  // with Differs
};

// Deletes the novel at 'source' when the EPUB at 'epub', read back from disk, holds every line
// of 'text' (the novel as it is now; see compareWithNovel).
SourceDeletion deleteSourceIfEpubHolds(splitter::FileService& files, const std::string& source,
                                       const std::string& epub, std::string_view text,
                                       const splitter::DocumentEncoding& encoding);

}  // namespace folioknife::epub
