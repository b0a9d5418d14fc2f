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

// An in-memory byte stream with a 0-based position over the bytes of the text it was made
// from, shared, so a loaded novel sits in memory once although the document holds both a text
// and a stream. Nothing writes to it: the split reads it.
class DocumentStream {
public:
    // An open, empty stream at position 0.
    DocumentStream();
    // An open stream holding 'bytes', positioned at its end (as after writing them).
    static DocumentStream holding(SharedBytes bytes);

    bool isOpen() const { return open_; }
    std::int64_t size() const;
    std::int64_t position() const { return position_; }

    bool rewind();
    bool seek(std::int64_t offset);
    // The next count bytes (fewer at the end), and the rest, without a copy: the view stays
    // valid while the stream is open.
    std::string_view readView(std::int64_t count);
    std::string_view readRestView();
    void close();

private:
    SharedBytes bytes_;
    std::int64_t position_ = 0;
    bool open_ = true;
};

// The one novel the next split works on.
class SourceDocument {
public:
    SourceDocument();
    std::string_view text() const { return text_.view(); }
    // The text, kept alive for a caller that must outlive a new load: a split's message box
    // lets the user open another file before the split has finished.
    const SharedBytes& sharedText() const { return text_; }
    DocumentStream& stream() { return stream_; }
    // Decided when the text is loaded, from the text and the program's code page then.
    const DocumentEncoding& encoding() const { return encoding_; }
    // The text is read in 'encoding', whatever it looks like (a code page the user named).
    void readAs(DocumentEncoding encoding) { encoding_ = std::move(encoding); }
    // The file the text was loaded from, when known: what tidies an output folder before a
    // split never removes it.
    const std::optional<FileIdentity>& identity() const { return identity_; }
    void setIdentity(std::optional<FileIdentity> identity) { identity_ = identity; }
    // The text and a fresh stream holding it replace what the document held.
    void replace(Text text);
    void replace(SharedBytes text);
    // A split closes the stream when it is done; a later split of the same text gets a fresh
    // stream over the text rather than reading nothing from the closed one.
    void reopenStream();

private:
    SharedBytes text_;
    DocumentStream stream_;
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
