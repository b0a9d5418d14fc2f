#pragma once
// An EPUB 3 book made from a novel's text and the headings the split uses: the preface, the
// volumes and the chapters as documents, the navigation document and an NCX for EPUB 2
// readers. The novel stays in its own encoding; each document is converted to UTF-8 when the
// archive reaches it.
#include <cstdint>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "epub/EpubArchive.h"
#include "epub/EpubText.h"
#include "splitter/DocumentEncoding.h"

namespace folioknife::epub {

// What the book says of itself, in UTF-8.
struct BookInfo {
    std::string title;
    std::string author;  // none when empty
    std::string language = "zh";
    std::string description;  // dc:description; none when empty
    // The reader's own cover picture (JPEG or PNG) and its media type; without it the book
    // makes a cover page of its title and author.
    std::string coverImage;
    std::string coverType;   // image/jpeg or image/png
    std::string identifier;  // urn:uuid:…; when empty, the book finds it (identifierOf)
    // Seconds since 1970 (UTC): the book's dcterms:modified and the time of every file in
    // its archive, so that a book made again at another time is the same bytes.
    std::int64_t modified = 0;
};

// One document of the book: a stretch of the novel from a line start.
struct BookPart {
    enum class Kind {
        Preface,  // the text before the first heading
        Volume,   // from a volume line to the next heading
        Chapter,  // from a heading's line to the next
        Piece,    // a stretch of about kPieceBytes of a novel without headings
        // The rest of a part too long for one document, cut at a line end: no heading, no
        // entry in the table of contents (its part's entry leads to the first document).
        Continuation,
    };
    Kind kind = Kind::Chapter;
    std::int64_t begin = 0;
    std::int64_t end = 0;
    std::string label;  // its entry in the table of contents (UTF-8)
    int level = 1;      // 2: a chapter under a volume
};

// A novel without headings is cut at the first line end after this many bytes.
constexpr std::int64_t kPieceBytes = 100 * 1024;
// A document's XHTML stays within this many bytes where the novel's lines allow: readers
// handle longer ones poorly.
constexpr std::int64_t kDocumentBytes = 256 * 1024;

// One heading as the search found it.
constexpr std::int64_t kLookForVolume = -2;
struct PlannedHeading {
    std::int64_t offset = 0;  // where the heading's text begins, in the novel's bytes
    std::int64_t length = 0;  // its bytes; 0: unknown, the rest of its line is taken
    // Where the volume line that went with it begins: -1 none found by the search; with
    // kLookForVolume the book looks for it a few lines above.
    std::int64_t volumeLine = kLookForVolume;
    bool extra = false;  // a prologue or epilogue heading: 楔子, 番外, 后记, 尾声 …
};

struct PlanOptions {
    std::int64_t pieceBytes = kPieceBytes;
    std::int64_t documentBytes = kDocumentBytes;
    bool english = false;  // the labels the book makes (前言, 第 1 部分) in English
};

// A character the novel holds that has no UTF-8 form here (a byte that is no character of its
// encoding, or a control character XML cannot hold); the book shows U+FFFD in its place.
struct Unconvertible {
    std::int64_t offset = 0;  // bytes into the novel
    std::int64_t line = 0;    // from 1
    // A character that converts, but that XML 1.0 cannot hold (a control character, U+FFFE,
    // U+FFFF), rather than one without a UTF-8 form.
    bool unfitForXml = false;
};

// The documents of the novel: the preface when it holds more than blanks (labelled by its own
// 序言, 内容简介 or 前言 line when it has one), then one per heading (headings on one line make
// one), with a volume line before a chapter's heading (blank lines or a short introduction
// between them) as a document of its own, one level above the chapters that follow; after
// the last volume, an extra heading returns to the top level. Without headings, pieces cut at
// line ends, "第 1 部分" …. A part too long for one document continues in others. Headings
// ascend. A volume line is one as the split's line rules know it (splitter::isVolumeLine).
std::vector<BookPart> planBook(std::string_view text, const splitter::DocumentEncoding& encoding,
                               const std::vector<PlannedHeading>& headings,
                               const PlanOptions& options = {});
// The same for headings known by their offsets only; 'volumeLines', when given, holds for each
// where the volume line that went with it begins (-1: none).
std::vector<BookPart> planBook(std::string_view text, const splitter::DocumentEncoding& encoding,
                               const std::vector<std::int64_t>& headings,
                               std::int64_t pieceBytes = kPieceBytes,
                               const std::vector<std::int64_t>* volumeLines = nullptr);

// The title and author the novel's first lines name, when it names them (see
// findTitleAndAuthor); the first heading ends the search.
NamedInFront titleAndAuthorIn(std::string_view text, const splitter::DocumentEncoding& encoding,
                              const std::vector<std::int64_t>& headings);

// The current time, or SOURCE_DATE_EPOCH's when that is set.
std::int64_t modificationTime();

class DoubleByteTable;

class Book {
public:
    Book(std::string_view text, splitter::DocumentEncoding encoding, std::vector<BookPart> parts,
         BookInfo info);
    ~Book();
    // A novel of this many bytes or more in GBK, GB18030 or Big5 converts through a table.
    static constexpr std::size_t kTableFrom = 1 << 20;
    // The archive's files in order, mimetype first, the package, navigation document and NCX
    // last (the identifier is found meanwhile). Each document is made when it is written,
    // and documents may be made on several threads at once; unconvertible() is complete once
    // the archive has been written.
    std::vector<ArchiveEntry> entries();
    const std::vector<BookPart>& parts() const { return parts_; }
    // The first few, in the order of the novel, once countLines() has sorted them and filled
    // in their line numbers.
    const std::vector<Unconvertible>& unconvertible() const { return unconvertible_; }
    std::int64_t unconvertibleCount() const { return unconvertibleCount_; }
    // Of those, the characters that do not decode at all (not those XML cannot hold).
    std::int64_t undecodableCount() const { return undecodableCount_; }
    // How many characters the novel holds, as its encoding groups its bytes.
    std::int64_t characterCount() const;
    void countLines();

    // The document of part k (0-based) as XHTML.
    std::string document(std::size_t k);

private:
    std::string toUtf8(std::int64_t begin, std::int64_t end);
    void convertPiece(std::int64_t begin, std::int64_t end, std::string& out);
    void markUnconvertible(std::int64_t offset, std::string& out, bool unfitForXml = false);
    std::string packageDocument() const;
    std::string navigationDocument() const;
    std::string ncx() const;
    std::string coverDocument() const;
    std::string coverImageName() const;
    // The parts that stand in the table of contents, in order.
    std::vector<std::size_t> listedParts() const;
    std::string href(std::size_t k) const;
    const std::string& identifier() const;

    std::string_view text_;
    splitter::DocumentEncoding encoding_;
    std::unique_ptr<DoubleByteTable> table_;
    std::vector<BookPart> parts_;
    BookInfo info_;
    std::string modified_;  // info_.modified as EPUB writes it, CCYY-MM-DDThh:mm:ssZ
    std::shared_future<std::string> identifier_;
    std::mutex reportsMutex_;
    std::vector<Unconvertible> unconvertible_;
    std::int64_t unconvertibleCount_ = 0;
    std::int64_t undecodableCount_ = 0;
};

// Where an EPUB read back first parts from the novel it was made from.
struct Difference {
    enum class Kind {
        None,
        Unreadable,     // no zip archive, or its container, package or a document unreadable
        Differs,        // the novel's line and the paragraph differ
        Unconvertible,  // the paragraph does not convert back to the novel's encoding
        MoreInBook,     // paragraphs past the novel's last line
        MoreInNovel,    // lines past the book's last paragraph
    };
    Kind kind = Kind::None;
    std::int64_t line = 0;       // of the novel, from 1
    std::int64_t paragraph = 0;  // of the document, from 1
    std::string document;        // its name in the archive; with Unreadable, what could not be
                                 // read and why
};

// Compares an EPUB, read as a reader would (container, package, spine, documents), with the
// novel: every paragraph and heading, unescaped and converted back to the novel's encoding,
// against the novel's lines less their leading blanks, blank lines left out.
Difference compareWithNovel(std::string_view epub, std::string_view text,
                            const splitter::DocumentEncoding& encoding);
// The same with the archive read as the reader gives it, a document at a time.
Difference compareWithNovel(const ArchiveReader& archive, std::string_view text,
                            const splitter::DocumentEncoding& encoding);

}  // namespace folioknife::epub
