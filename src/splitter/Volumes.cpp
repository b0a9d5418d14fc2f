#include "splitter/Volumes.h"

#include "splitter/ChapterHeadings.h"
#include "splitter/Recode.h"
#include "splitter/Unicode.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <string>

namespace folioknife::splitter {

std::uint64_t Volume::size() const {
    std::uint64_t n = 0;
    for (auto s : spans) n += s.size();
    return n;
}

std::vector<ChapterPiece> segmentChapters(std::string_view text,
                                          const std::vector<ExpressionMatch>& matches) {
    std::vector<ChapterPiece> pieces;
    pieces.reserve(matches.size() + 1);
    std::size_t from = 0;
    for (const ExpressionMatch& match : matches) {
        const auto at = static_cast<std::size_t>(std::clamp<std::int64_t>(
            match.offset, static_cast<std::int64_t>(from), static_cast<std::int64_t>(text.size())));
        pieces.push_back(text.substr(from, at - from));
        from = at;
    }
    pieces.push_back(text.substr(from));
    return pieces;
}

namespace {

// Appends the piece to the volume, joining it to the last span when they touch in memory.
void appendPiece(Volume& volume, std::string_view piece) {
    if (piece.empty()) return;
    if (!volume.spans.empty() &&
        volume.spans.back().data() + volume.spans.back().size() == piece.data()) {
        auto& last = volume.spans.back();
        last = std::string_view(last.data(), last.size() + piece.size());
    } else {
        volume.spans.push_back(piece);
    }
}

}  // namespace

std::vector<Volume> groupVolumes(const std::vector<ChapterPiece>& pieces, std::int64_t perVolume) {
    std::vector<Volume> volumes;
    if (perVolume < 1) perVolume = 1;
    Volume current;
    std::int64_t count = 0;
    for (ChapterPiece piece : pieces) {
        appendPiece(current, piece);
        if (++count == perVolume) {
            volumes.push_back(std::move(current));
            current = Volume();
            count = 0;
        }
    }
    if (count != 0) volumes.push_back(std::move(current));
    return volumes;
}

namespace {

// The end of the longest start of 'text' that takes at most 'limit' bytes: after the last
// line end that fits, or, when the first line alone does not fit, after the last character
// that does (at least one character, so that every cut moves on).
std::size_t cutWithin(std::string_view text, std::uint64_t limit, CharacterSet characters,
                      const MeasureBytes& measure) {
    const AsciiUnits units(characters);
    const std::size_t unit = units.size;
    const auto lineEndAt = [&](std::size_t at) { return units.isAt(text, at, '\n'); };
    const auto sizeOf = [&](std::string_view part) -> std::uint64_t {
        return measure ? measure(part) : part.size();
    };
    // A stretch takes at least half its bytes in any encoding written (UTF-16 to UTF-8 halves
    // ASCII): a line longer than this cannot fit, and its end need not be looked for.
    const auto beyond = [&](std::uint64_t room) { return 2 * room + 8; };
    std::size_t fits = 0;
    std::uint64_t used = 0;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = start;
        const std::uint64_t scanLimit = beyond(limit - used);
        while (end + unit <= text.size() && !lineEndAt(end) && end - start <= scanLimit)
            end += unit;
        if (end - start > scanLimit) break;
        end = std::min(text.size(), end + unit);
        const std::uint64_t bytes = sizeOf(text.substr(start, end - start));
        if (used + bytes > limit) break;
        used += bytes;
        fits = end;
        start = end;
    }
    if (fits > 0) return fits;
    // One line longer than the limit: characters, as many as fit.
    std::size_t at = 0;
    used = 0;
    while (at < text.size()) {
        const std::size_t next = nextCharacterBoundary(text, at, characters);
        const std::uint64_t bytes = sizeOf(text.substr(at, next - at));
        if (used + bytes > limit && at > 0) break;
        used += bytes;
        at = next;
    }
    return at;
}

}  // namespace

std::vector<Volume> groupVolumesWithin(const std::vector<ChapterPiece>& pieces,
                                       std::int64_t perVolume, std::uint64_t maxBytes,
                                       std::uint64_t reserve, CharacterSet characters,
                                       const MeasureBytes& measure,
                                       std::vector<std::size_t>* heading) {
    if (perVolume < 1) perVolume = 1;
    const std::uint64_t limit = maxBytes > reserve ? maxBytes - reserve : 1;
    const auto sizeOf = [&](std::string_view text) -> std::uint64_t {
        return measure ? measure(text) : text.size();
    };
    std::vector<Volume> volumes;
    if (heading) heading->clear();
    Volume current;
    std::uint64_t used = 0;
    std::int64_t count = 0;
    std::size_t currentHeading = 0;
    const auto close = [&] {
        volumes.push_back(std::move(current));
        if (heading) heading->push_back(currentHeading);
        current = Volume();
        used = 0;
        count = 0;
    };
    for (std::size_t p = 0; p < pieces.size(); ++p) {
        std::string_view piece = pieces[p];
        const std::uint64_t bytes = sizeOf(piece);
        // Closed before a chapter that would take it past the limit; a volume that holds no
        // byte yet (an empty preface) takes the chapter's start rather than stand empty.
        if (count > 0 && used > 0 && used + bytes > limit) close();
        if (count == 0) currentHeading = p;
        // Longer than the limit (the volume is empty here): its parts fill volumes of their
        // own, and the last part stays open for what follows. The loop ends with the piece,
        // whatever the sizes say: a measure whose parts do not add up to the whole (text the
        // encoding cannot hold) must not leave it cutting nothing for ever.
        std::uint64_t left = bytes;
        bool cutUp = false;
        while (!piece.empty() && used + left > limit) {
            const std::size_t cut = cutWithin(piece, limit, characters, measure);
            // Every cut takes at least one character: no volume is closed empty here.
            assert(cut > 0);
            if (cut == 0) break;
            const std::string_view part = piece.substr(0, cut);
            appendPiece(current, part);
            left -= std::min(left, sizeOf(part));
            piece.remove_prefix(cut);
            count = 1;
            close();
            currentHeading = p;
            cutUp = true;
        }
        // Cut to its end: its last part closed a volume, and nothing of it stays open.
        if (cutUp && piece.empty()) continue;
        appendPiece(current, piece);
        used += left;
        if (++count == perVolume) close();
    }
    if (count != 0) close();
    return volumes;
}

namespace {

// The line from 'offset' to its end, at most 400 bytes of it, ending on a character boundary.
// A title needs no more than its first 40 characters: 200 bytes of any encoding hold them.
std::string_view titleLine(std::string_view text, std::size_t offset,
                           const DocumentEncoding& encoding) {
    const AsciiUnits units(encoding.characters);
    std::size_t end = offset;
    while (end + units.size <= text.size() && end - offset < 400 && !units.isAt(text, end, '\n') &&
           !units.isAt(text, end, '\r')) {
        end += units.size;
    }
    while (end > offset && !isCharacterBoundary(text, end, encoding.characters)) --end;
    return text.substr(offset, end - offset);
}

// The first 40 characters of a UTF-8 text, those that file systems refuse replaced by "_".
std::string fortyNameCharacters(const std::string& utf8) {
    std::string clean;
    std::size_t characters = 0;
    for (std::size_t i = 0; i < utf8.size() && characters < 40;) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        const std::size_t n = std::max<std::size_t>(1, utf8SequenceLength(b));
        std::string c = utf8.substr(i, n);
        i += n;
        if (b < 0x20 || b == 0x7F || std::strchr("\\/:*?\"<>|", static_cast<char>(b)) != nullptr)
            c = "_";
        // Not the same in every code page: left to the conversion to the program's.
        clean += c;
        ++characters;
    }
    return clean;
}

// Without blanks at either end (ASCII and the ideographic space), nor the dots at the end that
// Windows drops from a name, nor the byte-order mark a novel's first line begins with.
std::string trimmedName(std::string t) {
    const std::string ideographic = "\xE3\x80\x80";
    for (bool changed = true; changed;) {
        changed = false;
        if (t.rfind("\xEF\xBB\xBF", 0) == 0) {
            t.erase(0, 3);
            changed = true;
        }
        if (!t.empty() && (t.front() == ' ' || t.front() == '\t')) {
            t.erase(0, 1);
            changed = true;
        }
        if (!t.empty() && (t.back() == ' ' || t.back() == '\t' || t.back() == '.')) {
            t.pop_back();
            changed = true;
        }
        if (t.rfind(ideographic, 0) == 0) {
            t.erase(0, 3);
            changed = true;
        }
        if (t.size() >= 3 && t.compare(t.size() - 3, 3, ideographic) == 0) {
            t.resize(t.size() - 3);
            changed = true;
        }
    }
    return t;
}

}  // namespace

Text volumeTitle(std::string_view text, std::size_t offset, const DocumentEncoding& encoding) {
    const std::string_view line = titleLine(text, offset, encoding);
    // In UTF-8 first: there the characters to replace are easy to tell.
    const std::string utf8 = readableUtf8(line, encoding);
    const std::string clean = trimmedName(fortyNameCharacters(utf8));
    // What the program's code page cannot hold becomes "?", which no file system takes.
    Text title = convertForDisplay(clean, "UTF-8", programCodePage());
    for (char& c : title) {
        if (c == '?') c = '_';
    }
    return title;
}

}  // namespace folioknife::splitter
