#pragma once
// An EPUB reaches its name as volumes do: written to a temporary file beside it, flushed,
// renamed into place; and the novel is deleted only when the book read back from disk holds
// its text.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "epub/EpubArchive.h"
#include "epub/EpubBook.h"
#include "splitter/DocumentEncoding.h"
#include "splitter/FileService.h"

namespace folioknife::epub {

struct [[nodiscard]] EpubFailure {
    std::string reason;    // the system's or the zip library's words; may be empty
    bool refused = false;  // 'accept' refused the book written: nothing was installed
};

// Writes the archive to 'path' (in 'folder') through a temporary file, which is flushed and
// then given the name; what stood there is set aside until the folder's names are on stable
// storage. On failure (a failed flush of the folder included) the name keeps what it had and
// the temporary file is gone. First the leftovers of a run that was killed while it wrote this
// book are dealt with (recoverEpub); 'keep' is the novel, never touched. 'accept', when given,
// is asked once the archive is written (what it says may depend on what making the entries
// found); when it says no, the temporary file is removed and the name keeps what it had.
[[nodiscard]] std::optional<EpubFailure> installEpub(
    splitter::FileService& files, const std::string& path, const std::string& folder,
    const std::vector<ArchiveEntry>& entries,
    std::optional<splitter::FileIdentity> keep = std::nullopt,
    const std::function<bool()>& accept = {});

// The files a killed run left beside the book at 'path': a temporary book is removed, an older
// book set aside is put back when the name is free and removed when the new book took it. Only
// names of our making whose bytes are a book's beginning (or none) count; never 'keep'.
void recoverEpub(splitter::FileService& files, const std::string& path, const std::string& folder,
                 std::optional<splitter::FileIdentity> keep);

enum class SourceFate {
    Deleted,
    Differs,   // the book read back does not hold the novel's text; the reason says where
    IsOutput,  // the novel and the book are one file
    Failed,    // the system refused a step; the reason says why
};
struct [[nodiscard]] SourceDeletion {
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
