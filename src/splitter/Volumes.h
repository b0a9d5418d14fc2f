#pragma once
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "splitter/CodePage.h"
#include "splitter/DocumentEncoding.h"
#include "splitter/ExpressionMatcher.h"

namespace folioknife::splitter {

// One stretch of the text, from a heading's start to the next (the first piece is the
// preface, possibly empty). A view into the loaded text.
using ChapterPiece = std::string_view;

// Up to N consecutive pieces. Pieces that lie next to each other in memory are kept as one
// span, so a volume cut from one text is usually a single span.
struct Volume {
    std::vector<std::string_view> spans;
    std::uint64_t size() const;
};

// Cuts the text at the start of every match (offsets ascending, as the search gives them; one
// beyond the text counts as its end): n matches give n + 1 pieces, which joined are the text.
std::vector<ChapterPiece> segmentChapters(std::string_view text,
                                          const std::vector<ExpressionMatch>& matches);

// Joins the pieces N at a time; the last volume holds what remains.
std::vector<Volume> groupVolumes(const std::vector<ChapterPiece>& pieces, std::int64_t perVolume);

// The bytes a stretch of the text takes in a volume's file (its own size, unless the volumes
// are written in another encoding).
using MeasureBytes = std::function<std::uint64_t(std::string_view)>;

// As groupVolumes, but no volume takes more than 'maxBytes' in its file: a volume closes before
// the chapter that would take it past the limit, and a chapter longer than the limit is cut at
// line ends (between characters, where one line alone is longer). 'reserve' is what each file
// holds besides the volume's bytes (a byte-order mark). 'heading' receives, for each volume, the
// index of the piece whose heading it begins with or continues (0: the preface).
std::vector<Volume> groupVolumesWithin(const std::vector<ChapterPiece>& pieces,
                                       std::int64_t perVolume, std::uint64_t maxBytes,
                                       std::uint64_t reserve, CharacterSet characters,
                                       const MeasureBytes& measure,
                                       std::vector<std::size_t>* heading = nullptr);

// A title fit for a file name: the text from 'offset' to the end of its line, in the program's
// code page, blanks at either end taken off, characters that file systems refuse (\ / : * ? "
// < > | and control characters, and what the code page cannot hold) replaced by "_", at most
// 40 characters.
Text volumeTitle(std::string_view text, std::size_t offset, const DocumentEncoding& encoding);

}  // namespace folioknife::splitter
