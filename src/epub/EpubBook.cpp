#include "epub/EpubBook.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <utility>

#include "splitter/ChapterHeadings.h"
#include "splitter/CodePage.h"
#include "splitter/Path.h"
#include "splitter/Recode.h"

namespace folioknife::epub {

using splitter::CharacterSet;
using splitter::DocumentEncoding;

namespace {

constexpr const char* kReplacement = "\xEF\xBF\xBD";  // U+FFFD
// How many places of characters that do not convert are shown.
constexpr std::ptrdiff_t kShown = 20;

// Lines in the novel's own encoding. In UTF-16 a line feed is a unit of two bytes at an even
// offset; elsewhere it is the byte 0x0A, which no multi-byte character of GBK, GB18030 or
// UTF-8 holds.
struct Lines {
    std::string_view text;
    splitter::AsciiUnits units;
    CharacterSet characters;
    // What ends a line: a line feed, or in an old Mac novel (no line feed in its first 64 KB,
    // a carriage return there) a carriage return.
    char feed = '\n';

    Lines(std::string_view t, CharacterSet c) : text(t), units(c), characters(c) {
        bool lineFeed = false, carriageReturn = false;
        const std::size_t sample = std::min<std::size_t>(text.size(), 1 << 16);
        for (std::size_t at = 0; at + units.size <= sample && !lineFeed; at += units.size) {
            lineFeed = isAt(at, '\n');
            carriageReturn = carriageReturn || isAt(at, '\r');
        }
        if (!lineFeed && carriageReturn) feed = '\r';
    }
    bool isAt(std::size_t at, char c) const { return units.isAt(text, at, c); }
    // The offset of the next line end at or after 'from', or the end of the text.
    std::size_t lineFeedFrom(std::size_t from) const {
        if (units.size == 1) {
            const void* found = std::memchr(text.data() + from, feed, text.size() - from);
            return found ? static_cast<std::size_t>(static_cast<const char*>(found) - text.data())
                         : text.size();
        }
        for (std::size_t at = from; at + 2 <= text.size(); at += 2) {
            if (isAt(at, feed)) return at;
        }
        return text.size();
    }
    std::size_t nextLineStart(std::size_t from) const {
        const std::size_t feed = lineFeedFrom(from);
        return feed == text.size() ? feed : feed + units.size;
    }
    std::size_t lineStartOf(std::size_t offset) const {
        std::size_t start = offset - offset % units.size;
        while (start >= units.size && !isAt(start - units.size, feed)) start -= units.size;
        return start;
    }
    // The bytes of a character XML cannot hold that begins at 'at' (a unit below 0x20 but
    // tab, line feed and return; U+FFFE and U+FFFF in UTF-8 and UTF-16); 0 for any other.
    std::size_t forbiddenAt(std::size_t at) const {
        const auto c = static_cast<unsigned char>(units.asciiAt(text, at));
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return units.size;
        if (units.size == 2) {
            // FFFE or FFFF, in either byte order: the two bytes FF FF, or FE and FF.
            const std::string_view unit = text.substr(at, 2);
            if (unit == "\xFF\xFF" || unit == "\xFE\xFF" || unit == "\xFF\xFE") {
                const bool big = characters == CharacterSet::Utf16Be;
                const auto value = big ? (static_cast<unsigned char>(unit[0]) << 8 |
                                          static_cast<unsigned char>(unit[1]))
                                       : (static_cast<unsigned char>(unit[1]) << 8 |
                                          static_cast<unsigned char>(unit[0]));
                if (value == 0xFFFE || value == 0xFFFF) return 2;
            }
            return 0;
        }
        return characters == CharacterSet::Utf8 ? unfitForXmlAt(text, at) : 0;
    }
};

// Where the text begins: after its byte-order mark, which is no part of it.
std::size_t contentStart(std::string_view text, const DocumentEncoding& encoding) {
    std::string_view mark = splitter::byteOrderMarkOf(encoding.characters);
    if (encoding.characters == CharacterSet::Utf8) mark = "\xEF\xBB\xBF";
    return !mark.empty() && text.substr(0, mark.size()) == mark ? mark.size() : 0;
}

// A line of the text in UTF-8, for labels and for recognising volume lines: at most its first
// 1,000 bytes, characters that do not convert shown as '?' (in UTF-16 as U+FFFD).
std::string lineInUtf8(const Lines& lines, std::size_t start, const DocumentEncoding& encoding) {
    std::size_t end = lines.lineFeedFrom(start);
    if (end - start > 1000) {
        end = start + 1000;
        while (end > start && !splitter::isCharacterBoundary(lines.text, end, encoding.characters))
            --end;
    }
    return splitter::readableUtf8(lines.text.substr(start, end - start), encoding);
}

std::string labelOf(const std::string& line, std::size_t number) {
    const std::string_view shown = trimmed(line);
    return shown.empty() ? std::to_string(number) : shortened(shown, 40);
}

bool holdsText(std::string_view utf8) {
    for (std::size_t at = 0; at < utf8.size();) {
        std::size_t end = utf8.find('\n', at);
        if (end == std::string_view::npos) end = utf8.size();
        if (!paragraphOf(utf8.substr(at, end - at)).empty()) return true;
        at = end + 1;
    }
    return false;
}

// The value of an attribute in the tag that begins at 'tag'.
std::string attributeOf(std::string_view xml, std::size_t tag, std::string_view name) {
    const std::size_t close = xml.find('>', tag);
    const std::string_view element = xml.substr(tag, close - tag);
    const std::string key = " " + std::string(name) + "=\"";
    const std::size_t at = element.find(key);
    if (at == std::string_view::npos) return {};
    const std::size_t start = at + key.size();
    const std::size_t end = element.find('"', start);
    if (end == std::string_view::npos) return {};
    return std::string(element.substr(start, end - start));
}

const char* const kXhtmlHead =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!DOCTYPE html>\n"
    "<html xmlns=\"http://www.w3.org/1999/xhtml\" xmlns:epub=\"http://www.idpf.org/2007/ops\"";

const char* const kStyle =
    "body { margin: 0 0.5em; }\n"
    "h1, h2 { text-align: center; margin: 1em 0; }\n"
    "p { text-indent: 2em; margin: 0.3em 0; line-height: 1.5; }\n"
    "div.cover { text-align: center; margin: 0; padding: 0; height: 100%; }\n"
    "div.cover img { max-width: 100%; max-height: 100%; }\n"
    "div.cover-title { font-size: 2em; font-weight: bold; margin: 30% 0.5em 1em; }\n"
    "div.cover-author { font-size: 1.2em; margin: 0 0.5em; }\n";

}  // namespace

namespace {

// A novel without headings: pieces of about 'pieceBytes', cut at line ends.
std::vector<BookPart> piecesOf(std::string_view text, const Lines& lines, std::size_t start,
                               const PlanOptions& options) {
    std::vector<BookPart> parts;
    std::size_t at = start;
    do {
        const std::size_t target =
            std::min(text.size(), at + static_cast<std::size_t>(options.pieceBytes));
        const std::size_t end = target == text.size() ? target : lines.nextLineStart(target);
        BookPart piece;
        piece.kind = BookPart::Kind::Piece;
        piece.begin = static_cast<std::int64_t>(at);
        piece.end = static_cast<std::int64_t>(end);
        piece.label = options.english ? "Part " + std::to_string(parts.size() + 1)
                                      : "第 " + std::to_string(parts.size() + 1) + " 部分";
        parts.push_back(piece);
        at = end;
    } while (at < text.size());
    return parts;
}

// A volume that begins at the line at 'begin', titled by that line.
BookPart volumePart(std::size_t begin, std::string label) {
    BookPart volume;
    volume.kind = BookPart::Kind::Volume;
    volume.begin = static_cast<std::int64_t>(begin);
    volume.label = std::move(label);
    return volume;
}

bool isVolumeLineInUtf8(std::string_view line) { return splitter::isVolumeLine(line, "UTF-8"); }

// An introduction between a volume line and its first chapter: a few short paragraphs.
constexpr int kIntroductionParagraphs = 4;
constexpr std::size_t kIntroductionBytes = 600;  // of a paragraph, in UTF-8

// The nearest volume line above the chapter's at 'line', within a few lines and not above
// 'floor': blank lines between, or a volume's introduction of a few short paragraphs.
std::optional<BookPart> volumeLineAbove(const Lines& lines, const DocumentEncoding& encoding,
                                        std::size_t line, std::size_t floor, std::size_t start) {
    std::size_t above = line;
    int paragraphs = 0;
    for (int tries = 0; tries < 12 && above > floor; ++tries) {
        const std::size_t previous = std::max(lines.lineStartOf(above - lines.units.size), start);
        if (previous < floor) break;
        const std::string previousLine = lineInUtf8(lines, previous, encoding);
        above = previous;
        if (trimmed(previousLine).empty()) continue;
        if (isVolumeLineInUtf8(previousLine)) return volumePart(previous, previousLine);
        if (++paragraphs > kIntroductionParagraphs || previousLine.size() > kIntroductionBytes)
            break;
    }
    return std::nullopt;
}

// The volume line the heading search found at 'at' (-1: none), as a part.
std::optional<BookPart> reportedVolumeLine(const Lines& lines, const DocumentEncoding& encoding,
                                           std::int64_t at, std::size_t floor, std::size_t start) {
    if (at < 0) return std::nullopt;
    const std::size_t line = std::max(lines.lineStartOf(static_cast<std::size_t>(at)), start);
    if (line < floor) return std::nullopt;
    return volumePart(line, lineInUtf8(lines, line, encoding));
}

// Where each part ends, its level and its label. After the last volume, a prologue or
// epilogue heading (番外, 后记, 尾声) returns to the top level, with what follows it.
void finishParts(std::vector<BookPart>& parts, std::size_t textSize,
                 const std::vector<bool>& extras) {
    // A novel divided into volumes only has them as its chapters.
    const bool chapters = std::any_of(parts.begin(), parts.end(), [](const BookPart& p) {
        return p.kind == BookPart::Kind::Chapter;
    });
    std::size_t lastVolume = parts.size();
    for (std::size_t k = 0; k < parts.size(); ++k) {
        if (parts[k].kind == BookPart::Kind::Volume) lastVolume = k;
    }
    bool inVolume = false;
    for (std::size_t k = 0; k < parts.size(); ++k) {
        BookPart& part = parts[k];
        part.end = k + 1 < parts.size() ? parts[k + 1].begin : static_cast<std::int64_t>(textSize);
        if (!chapters) part.kind = BookPart::Kind::Chapter;
        if (part.kind == BookPart::Kind::Volume) inVolume = true;
        if (extras[k] && lastVolume < parts.size() && k > lastVolume) inVolume = false;
        part.level = part.kind == BookPart::Kind::Chapter && inVolume ? 2 : 1;
        part.label = labelOf(part.label, k + 1);
    }
}

// The front matter's label: the book's own 序言, 内容简介 or 前言 line among its first lines,
// else 前言 (Preface in an English book).
std::string frontMatterLabel(const std::string& utf8, bool english) {
    static const char* const kNames[] = {
        "序言",     "序",       "自序",    "前言",     "引言",         "内容简介", "简介",
        "作品简介", "内容提要", "Preface", "Foreword", "Introduction", "Prologue"};
    int lines = 0;
    for (std::size_t at = 0; at < utf8.size() && lines < 12;) {
        std::size_t end = utf8.find('\n', at);
        if (end == std::string::npos) end = utf8.size();
        std::string_view line = trimmed(std::string_view(utf8).substr(at, end - at));
        at = end + 1;
        if (line.empty()) continue;
        ++lines;
        // 【内容简介】, 序言：, [前言]
        for (const char* open : {"【", "[", "《", "〔"}) {
            if (line.substr(0, std::strlen(open)) == open) line.remove_prefix(std::strlen(open));
        }
        for (const char* close : {"】", "]", "》", "〕", "：", ":"}) {
            const std::size_t n = std::strlen(close);
            if (line.size() >= n && line.substr(line.size() - n) == close) line.remove_suffix(n);
        }
        line = trimmed(line);
        for (const char* name : kNames) {
            if (line == name) return std::string(line);
        }
    }
    return english ? "Preface" : "前言";
}

// Budget of the novel's bytes for one document, so that its XHTML stays within
// kDocumentBytes: UTF-8 grows by the markup only, two-byte encodings by half again.
std::int64_t novelBytesPerDocument(const DocumentEncoding& encoding, std::int64_t documentBytes) {
    return encoding.characters == CharacterSet::Utf8 ||
                   encoding.characters == CharacterSet::SingleByte
               ? documentBytes * 3 / 4
               : documentBytes / 2;
}

// Each part longer than the budget cut at line ends into parts that continue it; only its
// first stands in the contents.
std::vector<BookPart> cutLongParts(std::vector<BookPart> parts, const Lines& lines,
                                   std::int64_t budget) {
    std::vector<BookPart> cut;
    cut.reserve(parts.size());
    for (BookPart& part : parts) {
        while (part.end - part.begin > budget) {
            // The last line end within the budget; without one, the first after it.
            const auto limit = static_cast<std::size_t>(part.begin + budget);
            std::size_t end = lines.lineStartOf(limit);
            if (end <= static_cast<std::size_t>(part.begin)) end = lines.nextLineStart(limit);
            if (end >= static_cast<std::size_t>(part.end)) break;
            BookPart first = part;
            first.end = static_cast<std::int64_t>(end);
            cut.push_back(first);
            part.kind = BookPart::Kind::Continuation;
            part.begin = static_cast<std::int64_t>(end);
        }
        cut.push_back(std::move(part));
    }
    return cut;
}

}  // namespace

std::vector<BookPart> planBook(std::string_view text, const DocumentEncoding& encoding,
                               const std::vector<std::int64_t>& headings, std::int64_t pieceBytes,
                               const std::vector<std::int64_t>* volumeLines) {
    std::vector<PlannedHeading> planned;
    for (std::size_t k = 0; k < headings.size(); ++k) {
        PlannedHeading h;
        h.offset = headings[k];
        h.volumeLine = volumeLines ? (*volumeLines)[k] : kLookForVolume;
        planned.push_back(h);
    }
    PlanOptions options;
    options.pieceBytes = pieceBytes;
    return planBook(text, encoding, planned, options);
}

std::vector<BookPart> planBook(std::string_view text, const DocumentEncoding& encoding,
                               const std::vector<PlannedHeading>& headings,
                               const PlanOptions& options) {
    const Lines lines(text, encoding.characters);
    const std::size_t start = contentStart(text, encoding);
    const std::int64_t budget = novelBytesPerDocument(encoding, options.documentBytes);
    if (headings.empty()) return cutLongParts(piecesOf(text, lines, start, options), lines, budget);

    // One part per heading line, a volume line before it taking a part of its own.
    std::vector<BookPart> parts;
    std::vector<bool> extras;
    for (const PlannedHeading& heading : headings) {
        std::size_t line = lines.lineStartOf(static_cast<std::size_t>(heading.offset));
        line = std::max(line, start);
        if (!parts.empty() && static_cast<std::size_t>(parts.back().begin) >= line) continue;
        const std::string own = lineInUtf8(lines, line, encoding);
        // The heading itself is a volume's (第一卷 江湖) when what it matched is a volume line,
        // not a chapter's heading after a volume's (第一卷 第一章).
        std::string matched;
        const auto offset = static_cast<std::size_t>(heading.offset);
        if (heading.length > 0) {
            matched = splitter::readableUtf8(
                text.substr(offset, static_cast<std::size_t>(heading.length)), encoding);
        } else {
            const std::size_t end = lines.lineFeedFrom(offset);
            matched = splitter::readableUtf8(
                text.substr(offset, std::min<std::size_t>(end - offset, 1000) / lines.units.size *
                                        lines.units.size),
                encoding);
        }
        BookPart part;
        part.begin = static_cast<std::int64_t>(line);
        part.kind = isVolumeLineInUtf8(own) && isVolumeLineInUtf8(matched)
                        ? BookPart::Kind::Volume
                        : BookPart::Kind::Chapter;
        part.label = own;
        if (part.kind == BookPart::Kind::Chapter) {
            const std::size_t floor = parts.empty() ? start : parts.back().begin + lines.units.size;
            std::optional<BookPart> volume =
                heading.volumeLine == kLookForVolume
                    ? std::nullopt
                    : reportedVolumeLine(lines, encoding, heading.volumeLine, floor, start);
            // What the search did not report, a volume with an introduction, is looked for.
            if (!volume) volume = volumeLineAbove(lines, encoding, line, floor, start);
            if (volume) {
                parts.push_back(*volume);
                extras.push_back(false);
            }
        }
        parts.push_back(part);
        extras.push_back(heading.extra);
    }
    finishParts(parts, text.size(), extras);
    const std::size_t first = static_cast<std::size_t>(parts.front().begin);
    if (first > start) {
        const std::string front =
            splitter::readableUtf8(text.substr(start, first - start), encoding);
        if (holdsText(front)) {
            BookPart preface;
            preface.kind = BookPart::Kind::Preface;
            preface.begin = static_cast<std::int64_t>(start);
            preface.end = static_cast<std::int64_t>(first);
            preface.label = frontMatterLabel(front, options.english);
            parts.insert(parts.begin(), preface);
        }
    }
    return cutLongParts(std::move(parts), lines, budget);
}

NamedInFront titleAndAuthorIn(std::string_view text, const DocumentEncoding& encoding,
                              const std::vector<std::int64_t>& headings) {
    // The first 20 lines, or fewer before the first heading or within the first 4 KB.
    const Lines lines(text, encoding.characters);
    std::size_t end = contentStart(text, encoding);
    const std::size_t limit = std::min<std::size_t>(
        {text.size(), 4096, headings.empty() ? text.size() : lines.lineStartOf(headings[0])});
    for (int n = 0; n < 20 && end < limit; ++n) end = lines.nextLineStart(end);
    end = std::min(end, limit);
    while (end > 0 && !splitter::isCharacterBoundary(text, end, encoding.characters)) --end;
    const std::size_t start = contentStart(text, encoding);
    if (end <= start) return {};
    return findTitleAndAuthor(splitter::readableUtf8(text.substr(start, end - start), encoding));
}

std::int64_t modificationTime() {
    std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
    // Reproducible builds of a book: the time the build names.
    if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH")) {
        char* end = nullptr;
        const long long seconds = std::strtoll(epoch, &end, 10);
        if (end && *end == '\0' && end != epoch) now = seconds;
    }
    return now;
}

namespace {

// Seconds since 1970 as EPUB writes a time. gmtime's result is shared by every thread, and
// documents are made on several: this runs once, before them.
std::string epubTime(std::int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    char buffer[32] = "1970-01-01T00:00:00Z";
    if (const std::tm* utc = std::gmtime(&t)) {
        std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%SZ", utc);
    }
    return buffer;
}

}  // namespace

// The characters of a code page whose lead bytes are 81 to FE (GBK, GB18030, Big5) in UTF-8,
// as the system's conversion gives them, one by one: a big novel converts several times faster
// through the table than through the system, and to the same bytes. A character the table
// does not hold (GB18030's four-byte ones, a byte that is no character) is left to the system.
class DoubleByteTable {
public:
    static std::unique_ptr<DoubleByteTable> make(const std::string& codePage) {
        bool known = false;
        for (const char* page : {"GBK", "GB18030", "BIG5", "CP950"})
            known = known || splitter::sameCodePage(codePage, page);
        if (!known) return nullptr;
        // ASCII as it is: the table leaves single bytes alone.
        std::string ascii;
        for (int c = 1; c < 0x80; ++c) ascii += static_cast<char>(c);
        if (splitter::recode(ascii, codePage, "UTF-8") != ascii) return nullptr;
        auto table = std::make_unique<DoubleByteTable>();
        for (int lead = 0x81; lead <= 0xFE; ++lead) {
            std::string row;
            for (int trail = kFirstTrail; trail <= 0xFE; ++trail) {
                if (trail == 0x7F) continue;
                row += static_cast<char>(lead);
                row += static_cast<char>(trail);
            }
            // A whole row at once; one character by one where it does not convert whole.
            const std::optional<std::string> utf8 = splitter::recode(row, codePage, "UTF-8");
            std::vector<std::string_view> characters;
            for (std::size_t at = 0; utf8 && at < utf8->size();) {
                const auto b = static_cast<unsigned char>((*utf8)[at]);
                const std::size_t n = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
                characters.push_back(std::string_view(*utf8).substr(at, n));
                at += n;
            }
            const bool whole = characters.size() * 2 == row.size();
            for (std::size_t k = 0; k * 2 < row.size(); ++k) {
                std::optional<std::string> one;
                if (whole) {
                    one = std::string(characters[k]);
                } else {
                    one = splitter::recode(row.substr(k * 2, 2), codePage, "UTF-8");
                }
                // Only single characters of the Basic Multilingual Plane, the table's room.
                if (!one || one->empty() || one->size() > 3 ||
                    (static_cast<unsigned char>((*one)[0]) < 0xC0) != (one->size() == 1))
                    continue;
                Entry& entry = table->entries_[index(static_cast<unsigned char>(row[k * 2]),
                                                     static_cast<unsigned char>(row[k * 2 + 1]))];
                std::memcpy(entry.bytes, one->data(), one->size());
                entry.length = static_cast<unsigned char>(one->size());
            }
        }
        return table;
    }

    // Appends the text in UTF-8; false, 'out' as it was, when a character is not in the table.
    bool convert(std::string_view text, std::string& out) const {
        const std::size_t start = out.size();
        out.resize(start + text.size() / 2 * 3 + text.size() % 2);
        char* to = &out[start];
        const auto* b = reinterpret_cast<const unsigned char*>(text.data());
        const std::size_t size = text.size();
        for (std::size_t i = 0; i < size;) {
            if (b[i] < 0x80) {
                *to++ = static_cast<char>(b[i++]);
                continue;
            }
            if (b[i] == 0x80 || b[i] == 0xFF || i + 1 == size || b[i + 1] < kFirstTrail ||
                b[i + 1] == 0x7F || b[i + 1] == 0xFF) {
                out.resize(start);
                return false;
            }
            const Entry& entry = entries_[index(b[i], b[i + 1])];
            if (entry.length == 0) {
                out.resize(start);
                return false;
            }
            std::memcpy(to, entry.bytes, 3);
            to += entry.length;
            i += 2;
        }
        out.resize(static_cast<std::size_t>(to - out.data()));
        return true;
    }

private:
    static constexpr int kFirstTrail = 0x40;
    struct Entry {
        char bytes[3];
        unsigned char length = 0;  // 0: not in the table
    };
    static std::size_t index(unsigned lead, unsigned trail) {
        return (lead - 0x81) * 192 + (trail - kFirstTrail);
    }
    Entry entries_[126 * 192] = {};
};

Book::Book(std::string_view text, DocumentEncoding encoding, std::vector<BookPart> parts,
           BookInfo info)
    : text_(text),
      encoding_(std::move(encoding)),
      parts_(std::move(parts)),
      info_(std::move(info)),
      modified_(epubTime(info_.modified)) {
    // Worth making for a novel of some size only: the table takes a few thousand conversions.
    if (encoding_.characters == CharacterSet::DoubleByte && text_.size() >= kTableFrom)
        table_ = DoubleByteTable::make(encoding_.codePage);
    // Hashing a big novel takes about as long as converting it: it runs alongside.
    if (info_.identifier.empty()) {
        identifier_ = std::async(std::launch::async, [t = text_] { return identifierOf(t); });
    } else {
        std::promise<std::string> known;
        known.set_value(info_.identifier);
        identifier_ = known.get_future();
    }
}

Book::~Book() = default;

const std::string& Book::identifier() const { return identifier_.get(); }

std::int64_t Book::characterCount() const {
    const auto* b = reinterpret_cast<const unsigned char*>(text_.data());
    const std::size_t size = text_.size();
    std::int64_t count = 0;
    switch (encoding_.characters) {
        case CharacterSet::SingleByte:
            return static_cast<std::int64_t>(size);
        case CharacterSet::Utf16Le:
        case CharacterSet::Utf16Be:
            return static_cast<std::int64_t>(size / 2);
        case CharacterSet::Utf8:
            for (std::size_t i = 0; i < size; ++i) count += (b[i] & 0xC0) != 0x80;
            return count;
        case CharacterSet::DoubleByte:
            // GB18030's four-byte characters have a digit as their second byte.
            for (std::size_t i = 0; i < size; ++count) {
                const bool lead = b[i] >= 0x81 && b[i] <= 0xFE && i + 1 < size;
                i += !lead ? 1 : b[i + 1] >= 0x30 && b[i + 1] <= 0x39 ? 4 : 2;
            }
            return count;
    }
    return count;
}

void Book::markUnconvertible(std::int64_t offset, std::string& out, bool unfitForXml) {
    out += kReplacement;
    // The first few places are kept to be shown, the rest counted. Documents are made in
    // parallel, so "first" is settled by countLines(): a place is kept while fewer than
    // kShown lie before it.
    std::lock_guard<std::mutex> lock(reportsMutex_);
    ++unconvertibleCount_;
    if (!unfitForXml) ++undecodableCount_;
    const auto before = std::count_if(unconvertible_.begin(), unconvertible_.end(),
                                      [&](const Unconvertible& u) { return u.offset < offset; });
    if (before < kShown) unconvertible_.push_back({offset, 0, unfitForXml});
}

void Book::convertPiece(std::int64_t begin, std::int64_t end, std::string& out) {
    if (begin >= end) return;
    const std::string_view piece =
        text_.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin));
    if (table_ && table_->convert(piece, out)) return;
    if (auto converted = splitter::recode(piece, encoding_.codePage, "UTF-8")) {
        out += *converted;
        return;
    }
    // Something does not convert: find it character by character, within the lines that fail.
    const Lines lines(text_, encoding_.characters);
    for (std::size_t line = static_cast<std::size_t>(begin);
         line < static_cast<std::size_t>(end);) {
        const std::size_t next = std::min(lines.nextLineStart(line), static_cast<std::size_t>(end));
        const std::string_view whole = text_.substr(line, next - line);
        if (auto converted = splitter::recode(whole, encoding_.codePage, "UTF-8")) {
            out += *converted;
        } else {
            for (std::size_t at = line; at < next;) {
                const std::size_t after = std::min(
                    splitter::nextCharacterBoundary(text_, at, encoding_.characters), next);
                auto character =
                    splitter::recode(text_.substr(at, after - at), encoding_.codePage, "UTF-8");
                if (character) {
                    out += *character;
                } else {
                    markUnconvertible(static_cast<std::int64_t>(at), out);
                }
                at = after;
            }
        }
        line = next;
    }
}

std::string Book::toUtf8(std::int64_t begin, std::int64_t end) {
    std::string out;
    out.reserve(static_cast<std::size_t>(end - begin) * 3 / 2 + 16);
    const Lines lines(text_, encoding_.characters);
    // Characters that XML cannot hold are cut out first; the rest converts in one go.
    std::int64_t from = begin;
    for (std::int64_t at = begin; at < end; at += static_cast<std::int64_t>(lines.units.size)) {
        const std::size_t forbidden = lines.forbiddenAt(static_cast<std::size_t>(at));
        if (forbidden == 0) continue;
        convertPiece(from, at, out);
        markUnconvertible(at, out, true);
        from = at + static_cast<std::int64_t>(forbidden);
        at = from - static_cast<std::int64_t>(lines.units.size);
    }
    convertPiece(from, end, out);
    return out;
}

void Book::countLines() {
    std::sort(unconvertible_.begin(), unconvertible_.end(),
              [](const Unconvertible& a, const Unconvertible& b) { return a.offset < b.offset; });
    if (unconvertible_.size() > kShown) unconvertible_.resize(kShown);
    const Lines lines(text_, encoding_.characters);
    std::size_t at = 0;
    std::int64_t line = 1;
    for (Unconvertible& u : unconvertible_) {
        for (;;) {
            const std::size_t feed = lines.lineFeedFrom(at);
            if (feed >= static_cast<std::size_t>(u.offset)) break;
            at = feed + lines.units.size;
            ++line;
        }
        u.line = line;
    }
}

std::string Book::href(std::size_t k) const {
    std::string number = std::to_string(k + 1);
    const std::size_t width = std::max<std::size_t>(4, std::to_string(parts_.size()).size());
    return "text/part" + std::string(width - number.size(), '0') + number + ".xhtml";
}

std::string Book::document(std::size_t k) {
    const BookPart& part = parts_[k];
    const std::string utf8 = toUtf8(part.begin, part.end);
    std::string out;
    out.reserve(utf8.size() + utf8.size() / 16 + 1024);
    out += kXhtmlHead;
    out += " xml:lang=\"" + info_.language + "\" lang=\"" + info_.language + "\">\n<head>\n";
    out += "<meta charset=\"utf-8\"/>\n<title>";
    appendEscaped(out, part.label);
    out += "</title>\n<link rel=\"stylesheet\" type=\"text/css\" href=\"../style.css\"/>\n";
    out += "</head>\n<body>\n";
    bool heading = part.kind == BookPart::Kind::Volume || part.kind == BookPart::Kind::Chapter;
    const char feed = Lines(text_, encoding_.characters).feed;
    for (std::size_t at = 0; at < utf8.size();) {
        std::size_t end = utf8.find(feed, at);
        if (end == std::string::npos) end = utf8.size();
        const std::string_view paragraph = paragraphOf(std::string_view(utf8).substr(at, end - at));
        at = end + 1;
        if (paragraph.empty()) continue;
        const char* tag = heading ? (part.kind == BookPart::Kind::Volume ? "h1" : "h2") : "p";
        heading = false;
        out += '<';
        out += tag;
        out += '>';
        appendEscaped(out, paragraph);
        out += "</";
        out += tag;
        out += ">\n";
    }
    out += "</body>\n</html>\n";
    return out;
}

std::string Book::coverImageName() const {
    return info_.coverType == "image/png" ? "cover.png" : "cover.jpg";
}

std::string Book::coverDocument() const {
    std::string out = kXhtmlHead;
    out += " xml:lang=\"" + info_.language + "\" lang=\"" + info_.language + "\">\n<head>\n";
    out += "<meta charset=\"utf-8\"/>\n<title>";
    appendEscaped(out, info_.title);
    out += "</title>\n<link rel=\"stylesheet\" type=\"text/css\" href=\"style.css\"/>\n";
    out += "</head>\n<body epub:type=\"cover\">\n<div class=\"cover\">\n";
    if (!info_.coverImage.empty()) {
        out += "<img src=\"" + coverImageName() + "\" alt=\"";
        appendEscaped(out, info_.title);
        out += "\"/>\n";
    } else {
        out += "<div class=\"cover-title\">";
        appendEscaped(out, info_.title);
        out += "</div>\n";
        if (!info_.author.empty()) {
            out += "<div class=\"cover-author\">";
            appendEscaped(out, info_.author);
            out += "</div>\n";
        }
    }
    out += "</div>\n</body>\n</html>\n";
    return out;
}

std::string Book::packageDocument() const {
    std::string out =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
        "<package xmlns=\"http://www.idpf.org/2007/opf\" version=\"3.0\" "
        "unique-identifier=\"bookid\" xml:lang=\"" +
        info_.language +
        "\">\n"
        "<metadata xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n"
        "<dc:identifier id=\"bookid\">" +
        identifier() + "</dc:identifier>\n<dc:title>";
    appendEscaped(out, info_.title);
    out += "</dc:title>\n<dc:language>" + info_.language + "</dc:language>\n";
    if (!info_.author.empty()) {
        out += "<dc:creator>";
        appendEscaped(out, info_.author);
        out += "</dc:creator>\n";
    }
    if (!info_.description.empty()) {
        out += "<dc:description>";
        appendEscaped(out, info_.description);
        out += "</dc:description>\n";
    }
    // EPUB 2 readers find the cover picture by this.
    if (!info_.coverImage.empty()) out += "<meta name=\"cover\" content=\"cover-image\"/>\n";
    out += "<meta property=\"dcterms:modified\">" + modified_ + "</meta>\n</metadata>\n";
    out +=
        "<manifest>\n"
        "<item id=\"nav\" href=\"nav.xhtml\" media-type=\"application/xhtml+xml\" "
        "properties=\"nav\"/>\n"
        "<item id=\"ncx\" href=\"toc.ncx\" media-type=\"application/x-dtbncx+xml\"/>\n"
        "<item id=\"style\" href=\"style.css\" media-type=\"text/css\"/>\n"
        "<item id=\"cover\" href=\"cover.xhtml\" media-type=\"application/xhtml+xml\"/>\n";
    if (!info_.coverImage.empty()) {
        out += "<item id=\"cover-image\" href=\"" + coverImageName() + "\" media-type=\"" +
               info_.coverType + "\" properties=\"cover-image\"/>\n";
    }
    for (std::size_t k = 0; k < parts_.size(); ++k) {
        out += "<item id=\"part" + std::to_string(k + 1) + "\" href=\"" + href(k) +
               "\" media-type=\"application/xhtml+xml\"/>\n";
    }
    out += "</manifest>\n<spine toc=\"ncx\">\n<itemref idref=\"cover\"/>\n";
    for (std::size_t k = 0; k < parts_.size(); ++k) {
        out += "<itemref idref=\"part" + std::to_string(k + 1) + "\"/>\n";
    }
    out += "</spine>\n";
    // EPUB 2 readers find the cover page and the text by the guide.
    out += "<guide>\n<reference type=\"cover\" title=\"Cover\" href=\"cover.xhtml\"/>\n";
    if (!parts_.empty())
        out += "<reference type=\"text\" title=\"Text\" href=\"" + href(0) + "\"/>\n";
    out += "</guide>\n</package>\n";
    return out;
}

std::vector<std::size_t> Book::listedParts() const {
    std::vector<std::size_t> listed;
    for (std::size_t k = 0; k < parts_.size(); ++k) {
        if (parts_[k].kind != BookPart::Kind::Continuation) listed.push_back(k);
    }
    return listed;
}

std::string Book::navigationDocument() const {
    std::string out = kXhtmlHead;
    out += " xml:lang=\"" + info_.language + "\" lang=\"" + info_.language + "\">\n<head>\n";
    out += "<meta charset=\"utf-8\"/>\n<title>";
    appendEscaped(out, info_.title);
    out += "</title>\n</head>\n<body>\n<nav epub:type=\"toc\" id=\"toc\">\n<h1>";
    appendEscaped(out, info_.title);
    out += "</h1>\n<ol>\n";
    // A volume's chapters are a list inside its entry; the entry closes at the next part of
    // level 1.
    bool open = false;  // a volume's list is open
    const std::vector<std::size_t> listed = listedParts();
    for (std::size_t n = 0; n < listed.size(); ++n) {
        const std::size_t k = listed[n];
        const BookPart& part = parts_[k];
        if (part.level == 1 && open) {
            out += "</ol>\n</li>\n";
            open = false;
        }
        out += "<li><a href=\"" + href(k) + "\">";
        appendEscaped(out, part.label);
        out += "</a>";
        const bool chaptersFollow = n + 1 < listed.size() && parts_[listed[n + 1]].level == 2;
        if (part.level == 1 && chaptersFollow) {
            out += "\n<ol>\n";
            open = true;
        } else {
            out += "</li>\n";
        }
    }
    if (open) out += "</ol>\n</li>\n";
    out += "</ol>\n</nav>\n";
    // Where a reader opens the book, and its cover.
    out += "<nav epub:type=\"landmarks\" id=\"landmarks\" hidden=\"hidden\">\n<ol>\n";
    out += "<li><a epub:type=\"cover\" href=\"cover.xhtml\">Cover</a></li>\n";
    if (!parts_.empty())
        out += "<li><a epub:type=\"bodymatter\" href=\"" + href(0) + "\">Text</a></li>\n";
    out += "</ol>\n</nav>\n</body>\n</html>\n";
    return out;
}

std::string Book::ncx() const {
    const bool nested =
        std::any_of(parts_.begin(), parts_.end(), [](const BookPart& p) { return p.level == 2; });
    std::string out =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
        "<ncx xmlns=\"http://www.daisy.org/z3986/2005/ncx/\" version=\"2005-1\" xml:lang=\"" +
        info_.language +
        "\">\n<head>\n"
        "<meta name=\"dtb:uid\" content=\"" +
        identifier() +
        "\"/>\n"
        "<meta name=\"dtb:depth\" content=\"" +
        (nested ? "2" : "1") +
        "\"/>\n"
        "<meta name=\"dtb:totalPageCount\" content=\"0\"/>\n"
        "<meta name=\"dtb:maxPageNumber\" content=\"0\"/>\n"
        "</head>\n<docTitle><text>";
    appendEscaped(out, info_.title);
    out += "</text></docTitle>\n";
    if (!info_.author.empty()) {
        out += "<docAuthor><text>";
        appendEscaped(out, info_.author);
        out += "</text></docAuthor>\n";
    }
    out += "<navMap>\n";
    bool open = false;
    const std::vector<std::size_t> listed = listedParts();
    for (std::size_t n = 0; n < listed.size(); ++n) {
        const std::size_t k = listed[n];
        const BookPart& part = parts_[k];
        if (part.level == 1 && open) {
            out += "</navPoint>\n";
            open = false;
        }
        const std::string number = std::to_string(n + 1);
        out += "<navPoint id=\"nav" + number + "\" playOrder=\"" + number + "\"><navLabel><text>";
        appendEscaped(out, part.label);
        out += "</text></navLabel><content src=\"" + href(k) + "\"/>";
        if (part.level == 1 && n + 1 < listed.size() && parts_[listed[n + 1]].level == 2) {
            out += "\n";
            open = true;
        } else {
            out += "</navPoint>\n";
        }
    }
    if (open) out += "</navPoint>\n";
    out += "</navMap>\n</ncx>\n";
    return out;
}

std::vector<ArchiveEntry> Book::entries() {
    std::vector<ArchiveEntry> entries;
    const auto fixed = [&](std::string name, std::string bytes, bool compressed = true) {
        entries.push_back(
            {std::move(name), compressed, [b = std::move(bytes)] { return b; }, info_.modified});
    };
    fixed("mimetype", "application/epub+zip", false);
    fixed("META-INF/container.xml",
          "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
          "<container version=\"1.0\" xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\">\n"
          "<rootfiles>\n<rootfile full-path=\"OEBPS/content.opf\" "
          "media-type=\"application/oebps-package+xml\"/>\n</rootfiles>\n</container>\n");
    fixed("OEBPS/style.css", kStyle);
    fixed("OEBPS/cover.xhtml", coverDocument());
    // A picture is compressed already.
    if (!info_.coverImage.empty()) fixed("OEBPS/" + coverImageName(), info_.coverImage, false);
    for (std::size_t k = 0; k < parts_.size(); ++k) {
        entries.push_back(
            {"OEBPS/" + href(k), true, [this, k] { return document(k); }, info_.modified});
    }
    entries.push_back(
        {"OEBPS/content.opf", true, [this] { return packageDocument(); }, info_.modified});
    entries.push_back(
        {"OEBPS/nav.xhtml", true, [this] { return navigationDocument(); }, info_.modified});
    entries.push_back({"OEBPS/toc.ncx", true, [this] { return ncx(); }, info_.modified});
    return entries;
}

namespace {

// The novel's lines as the book holds them: less the line end and the leading blanks, blank
// lines left out. In the novel's own encoding.
class NovelLines {
public:
    NovelLines(std::string_view text, const DocumentEncoding& encoding)
        : lines_(text, encoding.characters), at_(contentStart(text, encoding)) {
        for (const char* blank : {" ", "\t", "\xE3\x80\x80", "\xC2\xA0"}) {
            if (auto converted = splitter::recode(blank, "UTF-8", encoding.codePage)) {
                if (!converted->empty()) blanks_.push_back(*converted);
            }
        }
        carriageReturn_ = lines_.units.size == 1  ? std::string("\r")
                          : lines_.units.low == 0 ? std::string("\r\0", 2)
                                                  : std::string("\0\r", 2);
    }
    // The next line that is not blank; false at the end.
    bool next(std::string_view& line) {
        while (at_ < lines_.text.size()) {
            const std::size_t feed = lines_.lineFeedFrom(at_);
            line = lines_.text.substr(at_, feed - at_);
            at_ = feed == lines_.text.size() ? feed : feed + lines_.units.size;
            ++number_;
            if (line.size() >= carriageReturn_.size() &&
                line.substr(line.size() - carriageReturn_.size()) == carriageReturn_) {
                line.remove_suffix(carriageReturn_.size());
            }
            for (bool stripped = true; stripped;) {
                stripped = false;
                for (const std::string& blank : blanks_) {
                    if (line.substr(0, blank.size()) == blank) {
                        line.remove_prefix(blank.size());
                        stripped = true;
                    }
                }
            }
            if (!line.empty()) return true;
        }
        return false;
    }
    std::int64_t number() const { return number_; }
    std::size_t unit() const { return lines_.units.size; }
    bool isLineFeed(std::string_view bytes, std::size_t at) const {
        return lines_.units.isAt(bytes, at, '\n');
    }

private:
    Lines lines_;
    std::size_t at_;
    std::int64_t number_ = 0;
    std::vector<std::string> blanks_;
    std::string carriageReturn_;
};

// The text of every <p>, <h1> and <h2> of a document, in order, unescaped; false when one is
// not well formed.
bool paragraphsOf(std::string_view xhtml, std::vector<std::string>& paragraphs) {
    for (std::size_t at = xhtml.find('<'); at != std::string_view::npos;
         at = xhtml.find('<', at + 1)) {
        std::string_view tag;
        for (std::string_view candidate : {"p", "h1", "h2"}) {
            if (xhtml.substr(at + 1, candidate.size() + 1) == std::string(candidate) + ">")
                tag = candidate;
        }
        if (tag.empty()) continue;
        const std::size_t start = at + tag.size() + 2;
        const std::size_t close = xhtml.find("</" + std::string(tag) + ">", start);
        if (close == std::string_view::npos) return false;
        paragraphs.emplace_back();
        if (!unescapeInto(paragraphs.back(), xhtml.substr(start, close - start))) return false;
        at = close;
    }
    return true;
}

// The package document the container names, and the folder it stands in; nothing when
// there is none.
std::optional<std::string> packageOf(const ArchiveReader& archive, std::string& folder) {
    const std::optional<std::string> container = archive.read("META-INF/container.xml");
    const std::size_t rootfile = container ? container->find("<rootfile ") : std::string::npos;
    const std::string packagePath = rootfile == std::string::npos
                                        ? std::string()
                                        : attributeOf(*container, rootfile, "full-path");
    if (packagePath.empty()) return std::nullopt;
    folder = splitter::folderPrefix(packagePath, splitter::PathStyle::Posix);
    return archive.read(packagePath);
}

// The paragraphs of the document 'name' against the novel's next lines; nothing while they
// agree.
std::optional<Difference> compareDocument(NovelLines& novel, const std::string& name,
                                          const std::vector<std::string>& paragraphs,
                                          const DocumentEncoding& encoding) {
    // Back to the novel's encoding in one conversion per document.
    std::string joined;
    for (const std::string& p : paragraphs) (joined += p) += '\n';
    const std::optional<std::string> back = splitter::recode(joined, "UTF-8", encoding.codePage);
    std::size_t k = 0;  // the paragraph compared
    std::size_t from = 0;
    std::string_view line;
    while (k < paragraphs.size()) {
        const auto at = [&](Difference::Kind kind) {
            return Difference{kind, novel.number(), static_cast<std::int64_t>(k + 1), name};
        };
        if (!novel.next(line)) return at(Difference::Kind::MoreInBook);
        std::string_view got;
        std::string single;
        if (back) {
            std::size_t feed = from;
            while (feed < back->size() && !novel.isLineFeed(*back, feed)) feed += novel.unit();
            got = std::string_view(*back).substr(from, feed - from);
            from = feed + novel.unit();
        } else {
            // Some paragraph does not convert: this one, or one further on.
            std::optional<std::string> converted =
                splitter::recode(paragraphs[k], "UTF-8", encoding.codePage);
            if (!converted) return at(Difference::Kind::Unconvertible);
            single = std::move(*converted);
            got = single;
        }
        if (got != line) return at(Difference::Kind::Differs);
        ++k;
    }
    return std::nullopt;
}

}  // namespace

Difference compareWithNovel(std::string_view epub, std::string_view text,
                            const DocumentEncoding& encoding) {
    return compareWithNovel(ArchiveReader(epub), text, encoding);
}

Difference compareWithNovel(const ArchiveReader& archive, std::string_view text,
                            const DocumentEncoding& encoding) {
    const auto unreadable = [](std::string what) {
        return Difference{Difference::Kind::Unreadable, 0, 0, std::move(what)};
    };
    if (!archive.isOpen()) return unreadable("the zip archive: " + archive.failure());
    const std::vector<std::string> names = archive.names();
    const std::optional<std::string> mimetype = archive.read("mimetype");
    if (names.empty() || names.front() != "mimetype" || !archive.isStored("mimetype") ||
        !mimetype || *mimetype != "application/epub+zip") {
        return unreadable("mimetype, stored first");
    }
    std::string folder;
    const std::optional<std::string> package = packageOf(archive, folder);
    if (!package) return unreadable("the package document");

    std::vector<std::pair<std::string, std::string>> manifest;  // id, href
    for (std::size_t at = package->find("<item "); at != std::string::npos;
         at = package->find("<item ", at + 1)) {
        manifest.emplace_back(attributeOf(*package, at, "id"), attributeOf(*package, at, "href"));
    }
    NovelLines novel(text, encoding);
    std::size_t spineItems = 0;
    for (std::size_t at = package->find("<itemref "); at != std::string::npos;
         at = package->find("<itemref ", at + 1)) {
        ++spineItems;
        const std::string id = attributeOf(*package, at, "idref");
        const auto item = std::find_if(manifest.begin(), manifest.end(),
                                       [&](const auto& entry) { return entry.first == id; });
        if (item == manifest.end()) return unreadable("the spine's " + id);
        const std::string name = folder + item->second;
        const std::optional<std::string> xhtml = archive.read(name);
        std::vector<std::string> paragraphs;
        if (!xhtml || !paragraphsOf(*xhtml, paragraphs)) return unreadable(name);
        if (paragraphs.empty()) continue;
        if (auto difference = compareDocument(novel, name, paragraphs, encoding))
            return *difference;
    }
    if (spineItems == 0) return unreadable("the spine");
    std::string_view rest;
    if (novel.next(rest)) return Difference{Difference::Kind::MoreInNovel, novel.number(), 0, {}};
    return {};
}

}  // namespace folioknife::epub
