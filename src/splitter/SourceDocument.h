#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <string_view>

#include "splitter/CodePage.h"
#include "splitter/DocumentEncoding.h"
#include "splitter/FileService.h"
#include "splitter/SharedBytes.h"

namespace folioknife::splitter {

// The one novel the next split works on.
class SourceDocument {
public:
    SourceDocument();
    std::string_view text() const { return text_.view(); }
    // The text, kept alive for a caller that must outlive a new load: a split's message box
    // lets the user open another file before the split has finished.
    const SharedBytes& sharedText() const { return text_; }
    // Decided when the text is loaded, from the text and the program's code page then.
    const DocumentEncoding& encoding() const { return encoding_; }
    // The text is read in 'encoding', whatever it looks like (a code page the user named).
    void readAs(DocumentEncoding encoding) { encoding_ = std::move(encoding); }
    // The file the text was loaded from, when known: what tidies an output folder before a
    // split never removes it.
    const std::optional<FileIdentity>& identity() const { return identity_; }
    void setIdentity(std::optional<FileIdentity> identity) { identity_ = identity; }
    // The text replaces what the document held.
    void replace(Text text);
    void replace(SharedBytes text);

private:
    SharedBytes text_;
    DocumentEncoding encoding_;
    std::optional<FileIdentity> identity_;
};

// How a novel gets into memory. Read: a copy of the file as it was when loaded, whatever
// happens to the file afterwards. Map: the file itself, mapped where the system can (much
// faster for a large novel, nothing copied), read where it cannot; for a caller that splits
// at once and has set what happens should the file be cut short meanwhile
// (exitOnLostMapping).
enum class Loading { Read, Map };

// Loads the file at 'path' into the document: every byte of it. 0x00 and 0x1A are bytes like
// any other (many downloaded novels end in NUL padding or carry a stray old end-of-file
// mark), so the volumes joined always give back the whole file. The file is opened for
// reading only and closed at once. On failure the document is left empty, and the open or read
// that failed is returned: a file that opens but cannot be read is no empty novel.
FileStatus loadSourceDocument(SourceDocument& document, FileService& files, const Text& path,
                              Loading loading = Loading::Read);

// The process-wide document.
SourceDocument& theSourceDocument();

}  // namespace folioknife::splitter
